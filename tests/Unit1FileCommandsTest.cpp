// The file commands and the settings dialog command on a real main window:
// the unsaved-text question, the dialogs answered through their seams, the
// refusals, write and read failures, and the bytes that reach the disk.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Application.h"
#include "DailyLogDialog.h"
#include "FileDialogs.h"
#include "LogView.h"
#include "RadioGroup.h"
#include "SettingsStore.h"
#include "SpinEdit.h"
#include "TextCodec.h"
#include "Unit1.h"
#include "Unit2.h"
#include "support/AppFixture.h"
#include "support/FileSizeLimit.h"

namespace quenza {
namespace {

constexpr char kDiscardQuestion[] = "内容が保存されていません。破棄されますがよろしいですか？";
constexpr char kReadOnlyWarning[] = "読取専用ファイルです。内容を保存できませんでした。";
constexpr char kHiddenWarning[] = "隠しファイルです。内容を保存できませんでした。";
constexpr char kSystemWarning[] = "システムファイルです。内容を保存できませんでした。";

std::string ReadBytes(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return "<unreadable>";
  return file.readAll().toStdString();
}

void WriteBytes(const QString& path, const std::string& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

class Unit1FileCommandsTest : public AppFixture {
 protected:
  void SetUp() override {
    AppFixture::SetUp();
    previousDialogs_ = TESTING_ONLY_SetFileDialogAnswerer([this](const TFileDialogRequest& request) {
      dialogs_.push_back(request.kind);
      if (picks_.empty()) return TFileDialogAnswer{};  // cancelled
      TFileDialogAnswer answer{true, picks_.front()};
      picks_.pop_front();
      return answer;
    });
    form_ = std::make_unique<TForm1>();
    ASSERT_EQ(form_->IniFile->FileName(), SettingsPath());
  }
  void TearDown() override {
    form_.reset();
    TESTING_ONLY_SetFileDialogAnswerer(previousDialogs_);
    EXPECT_TRUE(picks_.empty()) << picks_.size() << " file dialog answers left unused";
    AppFixture::TearDown();
  }

  QString Path(const QString& name) const { return dir_->filePath(name); }
  void Pick(const QString& path) { picks_.push_back(path); }

  // The view holding `text`, marked modified as if typed.
  void Typed(const std::string& text) {
    form_->Memo1->SetText(text);
    form_->Memo1->SetModified(true);
  }

  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const TMessageRequest& request : Asked()) texts.push_back(request.text);
    return texts;
  }

  std::unique_ptr<TForm1> form_;
  std::deque<QString> picks_;
  std::vector<TFileDialogKind> dialogs_;
  TFileDialogAnswerer previousDialogs_;
};

// ---- the unsaved-text question ------------------------------------------

struct DiscardRow {
  const char* label;
  std::function<void(TLogView&)> prepare;
  bool asks;
};

std::vector<DiscardRow> DiscardRows() {
  return {
      {"unmodified text", [](TLogView& v) { v.SetText("kept\r\n"); }, false},
      {"modified text",
       [](TLogView& v) {
         v.SetText("x");
         v.SetModified(true);
       },
       true},
      {"edited and emptied again",
       [](TLogView& v) {
         v.setFocus();
         QTest::keyClicks(&v, "abc");
         v.DoSelectAll();
         v.DoClearSelection();
       },
       false},
      {"only line breaks",
       [](TLogView& v) {
         v.SetText("\r\n\r\n");
         v.SetModified(true);
       },
       true},
      {"filled only by capture", [](TLogView& v) { v.AppendLine("<13>captured"); }, true},
  };
}

TEST_F(Unit1FileCommandsTest, NewAsksOnlyForModifiedNonEmptyText) {
  for (const DiscardRow& row : DiscardRows()) {
    SCOPED_TRACE(row.label);
    asked_.clear();
    form_->SetCurrentFile(Path("current.log"));
    row.prepare(*form_->Memo1);
    const std::string before = form_->Memo1->Text();
    if (row.asks) Answer({TModalResult::mrNo});
    form_->New1Click();
    if (row.asks) {
      ASSERT_EQ(Texts(), std::vector<std::string>{kDiscardQuestion});
      EXPECT_EQ(Asked()[0].type, TMsgDlgType::mtWarning);
      EXPECT_EQ(Asked()[0].buttons, TMsgDlgButtons::mbYesNo);
      // No abandons the command: nothing changed.
      EXPECT_EQ(form_->Memo1->Text(), before);
      EXPECT_TRUE(form_->Memo1->Modified());
      EXPECT_EQ(form_->CurrentFile(), Path("current.log"));
      Answer({TModalResult::mrYes});
      form_->New1Click();
    } else {
      EXPECT_TRUE(Asked().empty());
    }
    EXPECT_TRUE(form_->Memo1->IsEmpty());
    EXPECT_FALSE(form_->Memo1->Modified());
    EXPECT_FALSE(form_->Memo1->CanUndo());
    EXPECT_EQ(form_->CurrentFile(), "");
  }
}

TEST_F(Unit1FileCommandsTest, OpenAsksOnlyForModifiedNonEmptyText) {
  for (const DiscardRow& row : DiscardRows()) {
    SCOPED_TRACE(row.label);
    asked_.clear();
    dialogs_.clear();
    row.prepare(*form_->Memo1);
    if (row.asks) Answer({TModalResult::mrNo});
    form_->Open1Click();  // cancelled at the dialog when it gets there
    EXPECT_EQ(Texts(), row.asks ? std::vector<std::string>{kDiscardQuestion} : std::vector<std::string>{});
    EXPECT_EQ(dialogs_.size(), row.asks ? 0u : 1u);
    form_->Memo1->Clear();
    form_->Memo1->SetModified(false);
  }
}

TEST_F(Unit1FileCommandsTest, OpenAnsweredYesThenCancelledKeepsEverything) {
  Typed("unsaved\r\nlines");
  form_->SetCurrentFile(Path("before.log"));
  Answer({TModalResult::mrYes});
  form_->Open1Click();
  EXPECT_EQ(dialogs_, std::vector<TFileDialogKind>{TFileDialogKind::fdOpen});
  EXPECT_EQ(form_->Memo1->Text(), "unsaved\r\nlines");
  EXPECT_TRUE(form_->Memo1->Modified());
  EXPECT_EQ(form_->CurrentFile(), Path("before.log"));
}

// ---- Open ----------------------------------------------------------------

TEST_F(Unit1FileCommandsTest, OpenReadsLfOnlyAndCrLfFiles) {
  struct Row {
    const char* name;
    std::string bytes;
  };
  const std::vector<Row> rows = {
      {"lf.log", "first\nsecond\nthird\n"},
      {"crlf.log", "first\r\nsecond\r\nthird\r\n"},
      {"cr.log", "first\rsecond\rthird\r"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    WriteBytes(Path(row.name), row.bytes);
    Pick(Path(row.name));
    form_->Open1Click();
    EXPECT_EQ(form_->CurrentFile(), Path(row.name));
    EXPECT_FALSE(form_->Memo1->Modified());
    EXPECT_FALSE(form_->Memo1->CanUndo());
    const TLogStore& store = form_->Memo1->Store();
    ASSERT_GE(store.LineCount(), 3u);
    EXPECT_EQ(store.Line(0), "first");
    EXPECT_EQ(store.Line(1), "second");
    EXPECT_EQ(store.Line(2), "third");
    EXPECT_EQ(form_->Memo1->Text(), "first\r\nsecond\r\nthird\r\n");
  }
}

TEST_F(Unit1FileCommandsTest, OpenTellsUtf8FromShiftJis) {
  const std::string log_sjis = "\x83\x8D\x83\x4F";  // ログ
  struct Row {
    const char* label;
    std::string bytes;
    bool utf8;
    std::string text;  // what the view holds
  } rows[] = {
      {"byte-order mark, ASCII after it", "\xEF\xBB\xBFplain\n", true, "plain\r\n"},
      {"UTF-8 Japanese, no mark", "ログ\n" + std::string("ok"), true, log_sjis + "\r\nok"},
      {"Shift_JIS Japanese: not well-formed UTF-8", log_sjis + "\r\n", false, log_sjis + "\r\n"},
      {"well-formed but a byte short at the end", "ログ\xE3\x83", false, "ログ\xE3\x83"},
      // Also two half-width katakana in Shift_JIS ("ﾃｩ"): kept as they are.
      {"two-byte characters alone", "caf\xC3\xA9", false, "caf\xC3\xA9"},
      {"byte-order mark, broken bytes after it", "\xEF\xBB\xBF\x83\x8D", true, "<0x83><0x8D>"},
      {"ASCII alone", "plain\r\n", false, "plain\r\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    WriteBytes(Path("in.log"), row.bytes);
    Pick(Path("in.log"));
    form_->Open1Click();
    EXPECT_EQ(form_->Memo1->Text(), row.text);
    EXPECT_EQ(form_->CurrentFile(), Path("in.log"));
    EXPECT_EQ(form_->Memo1->LoadedFromUtf8(), row.utf8);
    EXPECT_EQ(form_->EncodingStatus1->isVisibleTo(form_.get()), row.utf8);
    EXPECT_EQ(form_->EncodingStatus1->text(), QStringLiteral("UTF-8 から変換"));
    EXPECT_FALSE(form_->Memo1->Modified());
  }
  form_->New1Click();
  EXPECT_FALSE(form_->EncodingStatus1->isVisibleTo(form_.get()));
}

// A UTF-8 file saved again is Shift_JIS with CR LF; what code page 932 lacks
// stays as the <U+XXXX> text it was shown as.
TEST_F(Unit1FileCommandsTest, Utf8FileSavedAgainIsShiftJisWithCrLf) {
  WriteBytes(Path("utf8.log"), "日本語 ｱ\ncafé 😀\n〜①\r\n");
  Pick(Path("utf8.log"));
  form_->Open1Click();
  ASSERT_TRUE(form_->Memo1->LoadedFromUtf8());
  form_->Save1Click();
  EXPECT_EQ(ReadBytes(Path("utf8.log")),
            "\x93\xFA\x96\x7B\x8C\xEA \xB1\r\ncaf<U+00E9> <U+1F600>\r\n\x81\x60\x87\x40\r\n");
  EXPECT_FALSE(form_->EncodingStatus1->isVisibleTo(form_.get()));
  // Read again, it is Shift_JIS: the same bytes.
  Pick(Path("utf8.log"));
  form_->Open1Click();
  EXPECT_FALSE(form_->Memo1->LoadedFromUtf8());
  EXPECT_EQ(form_->Memo1->Text(), ReadBytes(Path("utf8.log")));
}

TEST_F(Unit1FileCommandsTest, FailedLoadLeavesCurrentFileAndViewAsTheyWere) {
  // Root reads any file whatever its mode, but not this one: reading process
  // memory at address 0 fails.
  const QString unreadable = QStringLiteral("/proc/self/mem");
  if (!QFileInfo::exists(unreadable)) GTEST_SKIP() << "no " << unreadable.toStdString();
  Typed("old text");
  form_->SetCurrentFile(Path("old.log"));
  Answer({TModalResult::mrYes, TModalResult::mrOk});  // discard? then the error report
  Pick(unreadable);
  form_->Open1->trigger();
  ASSERT_EQ(Asked().size(), 2u);
  EXPECT_EQ(Asked()[1].type, TMsgDlgType::mtError);
  EXPECT_EQ(Asked()[1].title, "Quenza");
  EXPECT_NE(Asked()[1].text.find("ファイル \"/proc/self/mem\". "), std::string::npos) << Asked()[1].text;
  EXPECT_NE(Asked()[1].text.find(" は開けません"), std::string::npos) << Asked()[1].text;
  EXPECT_EQ(form_->CurrentFile(), Path("old.log"));
  EXPECT_EQ(form_->Memo1->Text(), "old text");
  EXPECT_TRUE(form_->Memo1->Modified());
}

// ---- Open from the desktop: the command line and a drop -------------------

// Drags `urls` over the window and drops them; returns whether the window took the drop.
bool DropOn(TForm1& form, const QList<QUrl>& urls) {
  QMimeData data;
  data.setUrls(urls);
  const QPoint at = form.Memo1->geometry().center();
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&form, &enter);
  QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&form, &drop);
  EXPECT_EQ(enter.isAccepted(), drop.isAccepted());
  return drop.isAccepted();
}

TEST_F(Unit1FileCommandsTest, CommandLineFileAndDropAskFirstThenOpenAsOpenDoes) {
  WriteBytes(Path("desktop.log"), "from the desktop\r\nsecond\r\n");
  // The command line names a file relative to the working folder.
  const QString home = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(dir_->path()));
  struct Way {
    const char* label;
    std::function<void()> open;
  };
  const Way ways[] = {
      {"command line", [&] { form_->OpenFileFromDesktop(QStringLiteral("desktop.log")); }},
      {"drop", [&] { EXPECT_TRUE(DropOn(*form_, {QUrl::fromLocalFile(Path("desktop.log"))})); }},
  };
  for (const Way& way : ways) {
    SCOPED_TRACE(way.label);
    asked_.clear();
    Typed("unsaved");
    form_->SetCurrentFile(Path("before.log"));
    form_->Memo1->SetFollow(false);
    // No: nothing changes.
    Answer({TModalResult::mrNo});
    way.open();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Asked().empty(); }, 5000));
    EXPECT_EQ(Texts(), std::vector<std::string>{kDiscardQuestion});
    EXPECT_EQ(form_->Memo1->Text(), "unsaved");
    EXPECT_TRUE(form_->Memo1->Modified());
    EXPECT_EQ(form_->CurrentFile(), Path("before.log"));
    EXPECT_FALSE(form_->Memo1->Follow());
    // Yes: the file as Open gives it, and following again.
    Answer({TModalResult::mrYes});
    way.open();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form_->CurrentFile() == Path("desktop.log"); }, 5000));
    EXPECT_EQ(Asked().size(), 2u);
    EXPECT_EQ(form_->Memo1->Text(), "from the desktop\r\nsecond\r\n");
    EXPECT_FALSE(form_->Memo1->Modified());
    EXPECT_FALSE(form_->Memo1->CanUndo());
    EXPECT_TRUE(form_->Memo1->Follow());
  }
  EXPECT_TRUE(dialogs_.empty()) << "no file dialog on the way from the desktop";
  QDir::setCurrent(home);
}

TEST_F(Unit1FileCommandsTest, DropOfSeveralFilesOrOfNoFileIsNotTaken) {
  WriteBytes(Path("a.log"), "a");
  WriteBytes(Path("b.log"), "b");
  Typed("unsaved");
  const QList<QUrl> refused[] = {
      {QUrl::fromLocalFile(Path("a.log")), QUrl::fromLocalFile(Path("b.log"))},
      {QUrl(QStringLiteral("https://example.org/a.log"))},
      {},
  };
  for (const QList<QUrl>& urls : refused) {
    EXPECT_FALSE(DropOn(*form_, urls)) << urls.size();
  }
  EXPECT_TRUE(Asked().empty());
  EXPECT_EQ(form_->Memo1->Text(), "unsaved");
}

// ---- loads that take a while: 中止, capture meanwhile, capacity ------------

// A named pipe the test writes into: a load of it waits for as long as the
// test wants, then ends when the test closes it.
class TSlowFile {
 public:
  explicit TSlowFile(const QString& path) : path_(path) {
    const QByteArray name = QFile::encodeName(path);
    EXPECT_EQ(mkfifo(name.constData(), 0644), 0);
    fd_ = open(name.constData(), O_RDWR | O_NONBLOCK);  // no wait for a reader
  }
  ~TSlowFile() { Close(); }
  void Write(const std::string& bytes) {
    EXPECT_EQ(write(fd_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  // The load has read everything written so far.
  bool Drained() const {
    int unread = -1;
    return ioctl(fd_, FIONREAD, &unread) == 0 && unread == 0;
  }
  void Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }
  const QString& Path() const { return path_; }

 private:
  QString path_;
  int fd_ = -1;
};

TEST_F(Unit1FileCommandsTest, CancelledLoadLeavesViewFlagUndoAndFileAsTheyWere) {
  form_->Memo1->InsertText("typed");
  form_->SetCurrentFile(Path("before.log"));
  TSlowFile slow(Path("slow.log"));
  slow.Write("first line\r\n");
  Answer({TModalResult::mrYes});
  Pick(slow.Path());
  form_->Open1Click();
  ASSERT_TRUE(form_->Loading());
  // Past half a second the progress and 中止 show; the old text stays meanwhile.
  ASSERT_TRUE(QTest::qWaitFor([&] { return form_->LoadCancel1->isVisibleTo(form_.get()); }, 5000));
  EXPECT_TRUE(form_->LoadProgress1->isVisibleTo(form_.get()));
  EXPECT_EQ(form_->Memo1->Text(), "typed");
  ASSERT_TRUE(slow.Drained());
  form_->LoadCancel1->click();
  EXPECT_FALSE(form_->Loading());
  EXPECT_FALSE(form_->LoadCancel1->isVisibleTo(form_.get()));
  slow.Write("second line\r\n");
  slow.Close();
  Pump(100);
  EXPECT_EQ(form_->Memo1->Text(), "typed");
  EXPECT_TRUE(form_->Memo1->Modified());
  EXPECT_TRUE(form_->Memo1->CanUndo());
  EXPECT_EQ(form_->CurrentFile(), Path("before.log"));
}

TEST_F(Unit1FileCommandsTest, LinesCapturedWhileLoadingFollowTheLoadedText) {
  form_->Memo1->SetText("old\r\n");
  TSlowFile slow(Path("slow.log"));
  slow.Write("file 1\r\n");
  Pick(slow.Path());
  form_->Open1Click();
  ASSERT_TRUE(form_->Loading());
  ASSERT_TRUE(QTest::qWaitFor([&] { return slow.Drained(); }, 5000));
  form_->AppendLine("captured", 3);
  form_->Memo1->FlushPending();
  EXPECT_EQ(form_->Memo1->Text(), "old\r\ncaptured\r\n");
  slow.Write("file 2\r\n");
  slow.Close();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !form_->Loading(); }, 5000));
  EXPECT_EQ(form_->Memo1->Text(), "file 1\r\nfile 2\r\ncaptured\r\n");
  EXPECT_EQ(form_->Memo1->SeverityOfLine(2), 3);
  EXPECT_EQ(form_->CurrentFile(), slow.Path());
  EXPECT_TRUE(form_->Memo1->Modified());  // the captured line came after the file
  EXPECT_FALSE(form_->Memo1->CanUndo());
}

TEST_F(Unit1FileCommandsTest, FileOverTheCapacityIsRefusedChangingNothing) {
  WriteBytes(Path("big.log"), "0123456789\r\n0123456789\r\n");  // counts 22
  for (const bool threaded : {false, true}) {
    SCOPED_TRACE(threaded ? "on a thread" : "at once");
    asked_.clear();
    TForm1::TESTING_ONLY_SetInlineLoadBytes(threaded ? 0 : 4 << 20);
    form_->Memo1->TESTING_ONLY_SetCapacity(21);
    Typed("kept");
    form_->SetCurrentFile(Path("before.log"));
    Answer({TModalResult::mrYes, TModalResult::mrOk});
    Pick(Path("big.log"));
    form_->Open1->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Asked().size() == 2; }, 5000));
    EXPECT_EQ(Asked()[1].type, TMsgDlgType::mtError);
    EXPECT_NE(Asked()[1].text.find("big.log\" は大きすぎるため開けません"), std::string::npos) << Asked()[1].text;
    EXPECT_FALSE(form_->Loading());
    EXPECT_EQ(form_->Memo1->Text(), "kept");
    EXPECT_TRUE(form_->Memo1->Modified());
    EXPECT_EQ(form_->CurrentFile(), Path("before.log"));
  }
  TForm1::TESTING_ONLY_SetInlineLoadBytes(4 << 20);
}

// ---- the daily log files of a range of dates as one text ------------------

TEST_F(Unit1FileCommandsTest, DailyLogsOpenAsOneTextInDateOrder) {
  const QString folder = Path("logs");
  ASSERT_TRUE(QDir().mkpath(folder));
  const auto daily = [&](const char* name, const std::string& bytes) { WriteBytes(folder + "/" + name, bytes); };
  daily("quenza-20261203.log", "third \xE3\x83\xAD\xE3\x82\xB0\r\n");  // UTF-8 (LOGFILE Encoding utf8)
  daily("quenza-20261201.log", "first \x83\x8D\x83\x4F\r\n");          // Shift_JIS
  daily("quenza-20261202.log", "second\r\n");
  daily("quenza-20261204.log", "outside the range\r\n");
  daily("other.log", "not a daily file\r\n");
  std::optional<TDailyLogRange> answer;
  const TDailyLogChooser previous =
      TESTING_ONLY_SetDailyLogChooser([&](const TDailyLogRange&) -> std::optional<TDailyLogRange> { return answer; });
  struct Row {
    const char* label;
    std::optional<TDailyLogRange> range;
    std::string text;  // what the view holds after
  } rows[] = {
      {"cancelled", std::nullopt, "unsaved"},
      {"no file in the range", TDailyLogRange{folder, QDate(2026, 11, 1), QDate(2026, 11, 30)}, "unsaved"},
      {"three days, the last first in the dialog", TDailyLogRange{folder, QDate(2026, 12, 1), QDate(2026, 12, 3)},
       "first \x83\x8D\x83\x4F\r\nsecond\r\nthird \x83\x8D\x83\x4F\r\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    asked_.clear();
    Typed("unsaved");
    form_->SetCurrentFile(Path("before.log"));
    answer = row.range;
    const bool none = row.range && row.text == "unsaved";
    Answer(none ? std::initializer_list<TModalResult>{TModalResult::mrYes, TModalResult::mrOk}
                : std::initializer_list<TModalResult>{TModalResult::mrYes});
    form_->OpenDaily1->trigger();
    ASSERT_FALSE(Asked().empty());
    EXPECT_EQ(Asked()[0].text, kDiscardQuestion);
    EXPECT_EQ(form_->Memo1->Text(), row.text);
    if (none) {
      ASSERT_EQ(Asked().size(), 2u);
      EXPECT_EQ(Asked()[1].type, TMsgDlgType::mtInformation);
    }
    if (row.text == "unsaved") {
      EXPECT_EQ(form_->CurrentFile(), Path("before.log"));
      continue;
    }
    EXPECT_EQ(form_->CurrentFile(), "");
    EXPECT_FALSE(form_->Memo1->Modified());
    EXPECT_TRUE(form_->EncodingStatus1->isVisibleTo(form_.get()));
    form_->Save1Click();  // no file: Save asks for a name (cancelled here)
    EXPECT_EQ(dialogs_, std::vector<TFileDialogKind>{TFileDialogKind::fdSave});
  }
  TESTING_ONLY_SetDailyLogChooser(previous);
}

// ---- Save and Save As ------------------------------------------------------

TEST_F(Unit1FileCommandsTest, SaveWithoutCurrentFileActsAsSaveAs) {
  Typed("text");
  form_->Save1Click();  // cancelled
  EXPECT_EQ(dialogs_, std::vector<TFileDialogKind>{TFileDialogKind::fdSave});
  EXPECT_EQ(form_->CurrentFile(), "");
  EXPECT_TRUE(form_->Memo1->Modified());

  Pick(Path("chosen"));  // typed without an extension
  form_->Save1Click();
  EXPECT_EQ(form_->CurrentFile(), Path("chosen.log"));
  EXPECT_EQ(ReadBytes(Path("chosen.log")), "text");
  EXPECT_FALSE(QFileInfo::exists(Path("chosen")));
  EXPECT_FALSE(form_->Memo1->Modified());
  EXPECT_TRUE(Asked().empty());
}

TEST_F(Unit1FileCommandsTest, SaveRefusesReadOnlyHiddenAndSystemFiles) {
  struct Row {
    const char* name;
    mode_t mode;
    bool fifo;
    const char* warning;
  };
  const std::vector<Row> rows = {
      {"ro.log", 0444, false, kReadOnlyWarning},
      {".hidden.log", 0644, false, kHiddenWarning},
      {".both.log", 0444, false, kReadOnlyWarning},  // read-only comes first
      {"pipe.log", 0644, true, kSystemWarning},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    asked_.clear();
    const QString path = Path(row.name);
    if (row.fifo) {
      ASSERT_EQ(mkfifo(QFile::encodeName(path).constData(), row.mode), 0);
    } else {
      WriteBytes(path, "previous");
      ASSERT_EQ(chmod(QFile::encodeName(path).constData(), row.mode), 0);
    }
    Typed("new text");
    form_->SetCurrentFile(path);
    Answer({TModalResult::mrOk});
    form_->Save1Click();
    ASSERT_EQ(Texts(), std::vector<std::string>{row.warning});
    EXPECT_EQ(Asked()[0].type, TMsgDlgType::mtWarning);
    EXPECT_EQ(Asked()[0].buttons, TMsgDlgButtons::mbOK);
    if (!row.fifo) {
      EXPECT_EQ(ReadBytes(path), "previous");
    }
    EXPECT_TRUE(form_->Memo1->Modified());
    EXPECT_EQ(form_->CurrentFile(), path);
  }
  EXPECT_EQ(QDir(dir_->path()).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot).size(), 4);
}

TEST_F(Unit1FileCommandsTest, SaveAsOntoHiddenFileKeepsItsPath) {
  const QString hidden = Path(".hidden.log");
  WriteBytes(hidden, "previous");
  Typed("new text");
  Pick(hidden);
  Answer({TModalResult::mrYes, TModalResult::mrOk});  // replace it? then the refusal
  form_->SaveAs1Click();
  ASSERT_EQ(Asked().size(), 2u);
  EXPECT_EQ(Asked()[0].buttons, TMsgDlgButtons::mbYesNo);
  EXPECT_EQ(Asked()[1].text, kHiddenWarning);
  EXPECT_EQ(ReadBytes(hidden), "previous");
  EXPECT_EQ(form_->CurrentFile(), hidden);
  EXPECT_TRUE(form_->Memo1->Modified());
}

TEST_F(Unit1FileCommandsTest, SavedFileReopensWithTheSameLinesAndBytes) {
  // Shift_JIS text with CR LF lines, a half-width kana, a lead byte with a bad
  // trail byte, bytes that are no Shift_JIS at all, and no final line break.
  const std::string bytes =
      "\x93\xFA\x96\x7B\x8C\xEA line\r\n\xB1\xB2\r\n\x81\x20 bad trail\r\n\xFD\xFE\xFF\x80\r\n\r\nlast";
  const QString source = Path("source.log");
  WriteBytes(source, bytes);
  Pick(source);
  form_->Open1Click();
  const int lines = form_->Memo1->LineCount();
  EXPECT_EQ(lines, 6);
  EXPECT_EQ(DecodeSjis(form_->Memo1->Store().Line(0)), QStringLiteral("日本語 line"));

  Pick(Path("copy.log"));
  form_->SaveAs1Click();
  EXPECT_EQ(ReadBytes(Path("copy.log")), bytes);

  form_->Memo1->SetText("");
  Pick(Path("copy.log"));
  form_->Open1Click();
  EXPECT_EQ(form_->Memo1->LineCount(), lines);
  EXPECT_EQ(form_->Memo1->Text(), bytes);

  // Lines typed in the view are saved with CR LF.
  form_->New1Click();
  form_->Memo1->setFocus();
  QTest::keyClicks(form_->Memo1, "a");
  QTest::keyClick(form_->Memo1, Qt::Key_Return);
  QTest::keyClicks(form_->Memo1, "b");
  Pick(Path("typed.log"));
  form_->Save1Click();
  EXPECT_EQ(ReadBytes(Path("typed.log")), "a\r\nb");
}

TEST_F(Unit1FileCommandsTest, SaveThroughLinkUpdatesTargetAndKeepsItsMode) {
  const QString target = Path("target.log");
  const QString link = Path("link.log");
  WriteBytes(target, "old");
  ASSERT_EQ(chmod(QFile::encodeName(target).constData(), 0640), 0);
  ASSERT_TRUE(QFile::link(target, link));
  Typed("new");
  form_->SetCurrentFile(link);
  form_->Save1Click();
  EXPECT_TRUE(Asked().empty());
  EXPECT_TRUE(QFileInfo(link).isSymLink());
  EXPECT_EQ(ReadBytes(target), "new");
  struct stat st {};
  ASSERT_EQ(stat(QFile::encodeName(target).constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_FALSE(form_->Memo1->Modified());
}

TEST_F(Unit1FileCommandsTest, FailedWriteKeepsOldFileAndModifiedFlag) {
  const QString path = Path("full.log");
  WriteBytes(path, "old contents\r\n");
  form_->SetCurrentFile(path);
  Typed(std::string(64 * 1024, 'x'));

  TFileSizeLimit full_disk(4096);
  ASSERT_TRUE(full_disk.Active());
  Answer({TModalResult::mrOk});
  form_->Save1Click();
  full_disk.Lift();

  ASSERT_EQ(Texts(), std::vector<std::string>{"ストリームへの書き込みに失敗しました"});
  EXPECT_EQ(Asked()[0].type, TMsgDlgType::mtError);
  EXPECT_EQ(Asked()[0].buttons, TMsgDlgButtons::mbOK);
  EXPECT_EQ(ReadBytes(path), "old contents\r\n");
  EXPECT_TRUE(form_->Memo1->Modified());
  EXPECT_EQ(QDir(dir_->path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList{QStringLiteral("full.log")});  // no temporary file left behind
}

TEST_F(Unit1FileCommandsTest, FileThatCannotBeCreatedShowsTheCreateError) {
  const QString folder = Path("gone");
  ASSERT_TRUE(QDir().mkdir(folder));
  const QString path = folder + QStringLiteral("/file.log");
  form_->SetCurrentFile(path);
  ASSERT_TRUE(QDir(folder).removeRecursively());
  Typed("text");
  Answer({TModalResult::mrOk});
  form_->Save1Click();
  ASSERT_EQ(Asked().size(), 1u);
  EXPECT_EQ(Asked()[0].type, TMsgDlgType::mtError);
  EXPECT_EQ(Asked()[0].text.rfind("ファイル \"" + path.toStdString() + "\". ", 0), 0u) << Asked()[0].text;
  EXPECT_NE(Asked()[0].text.find(" を作成できません"), std::string::npos);
  EXPECT_TRUE(form_->Memo1->Modified());
  EXPECT_EQ(form_->CurrentFile(), path);
}

TEST_F(Unit1FileCommandsTest, DeletedCurrentFileIsSimplyCreated) {
  const QString path = Path("deleted.log");
  form_->SetCurrentFile(path);
  Typed("again");
  form_->Save1Click();
  EXPECT_EQ(ReadBytes(path), "again");
  EXPECT_FALSE(form_->Memo1->Modified());
}

// ---- the settings dialog command ------------------------------------------

// Runs `act` on the settings dialog once mmConfig1Click has shown it.
void WhenDialogShows(std::function<void(TForm2&)> act) {
  QTimer::singleShot(0, [act = std::move(act)] {
    auto* dialog = qobject_cast<TForm2*>(QApplication::activeModalWidget());
    if (dialog == nullptr) {
      ADD_FAILURE() << "no settings dialog";
      QApplication::activeModalWidget()->close();
      return;
    }
    act(*dialog);
  });
}

TEST_F(Unit1FileCommandsTest, SettingsDialogOkWritesWhatWasChosen) {
  QString caption;
  QString shown_preview;
  WhenDialogShows([&](TForm2& dialog) {
    caption = dialog.windowTitle();
    shown_preview = dialog.Label3->text();
    dialog.SpinEdit1->SetValue(10514);
    dialog.RadioGroup1->SetItemIndex(1);
    dialog.CheckBox2->setChecked(false);
    dialog.ComboBox1->setCurrentIndex(4);
    dialog.Button1->click();
  });
  form_->mmConfig1->trigger();  // the View menu's item
  EXPECT_EQ(caption, QStringLiteral("環境設定"));
  EXPECT_TRUE(shown_preview.startsWith(QStringLiteral("※")));
  EXPECT_EQ(form_->IniFile->FileText(),
            "[SYSLOG]\r\nPort=10514\r\nCharcode=1\r\nEnableDate=1\r\nEnableIP=0\r\n"
            "EnablePriority=1\r\nDateFormat=yy/m/d h:m:s\r\nDetectUTF8=1\r\nTCP=0\r\nTLS=0\r\nTLSPort=6514\r\n"
            "TLSCert=\r\nTLSKey=\r\nTLSCA=\r\nAutoStart=0\r\nDetectCharcode=1\r\nTidy5424=1\r\nShowSD=0\r\n\r\n"
            "[LOGFILE]\r\nEnable=0\r\nFolder=\r\nEncoding=sjis\r\n\r\n[VIEW]\r\nMaxLines=0\r\n\r\n");
  EXPECT_TRUE(form_->findChildren<TForm2*>().isEmpty());                    // released after use
  EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(SettingsPath())));  // nothing on disk yet
}

TEST_F(Unit1FileCommandsTest, SettingsDialogCancelAndCloseBoxWriteNothing) {
  form_->IniFile->WriteText("SYSLOG", "port", " 0x1F");
  form_->IniFile->WriteText("SYSLOG", "Charcode", "7");
  const std::string before = form_->IniFile->FileText();
  for (int way = 0; way < 3; ++way) {
    SCOPED_TRACE(way);
    WhenDialogShows([way](TForm2& dialog) {
      EXPECT_EQ(dialog.SpinEdit1->Value(), 31);
      EXPECT_EQ(dialog.RadioGroup1->ItemIndex(), 2);
      dialog.SpinEdit1->SetValue(2000);
      dialog.RadioGroup1->SetItemIndex(-1);
      dialog.CheckBox1->setChecked(false);
      dialog.CheckBox2->setChecked(false);
      dialog.CheckBox3->setChecked(false);
      dialog.ComboBox1->setEditText(QStringLiteral("hh"));
      if (way == 0) dialog.Button2->click();
      if (way == 1) QTest::keyClick(&dialog, Qt::Key_Escape);
      if (way == 2) dialog.close();
    });
    form_->mmConfig1Click();
    EXPECT_EQ(form_->IniFile->FileText(), before);
  }
}

}  // namespace
}  // namespace quenza
