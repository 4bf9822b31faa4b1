// The Open and Save As dialogs: their file types, and what they make of the
// name a person picks (default extension, folder and file checks, read-only
// refusal, replace question), answered through the two dialog seams.
#include <sys/stat.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTreeView>

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "FileDialogs.h"
#include "MessageDialogs.h"

namespace quenza {
namespace {

class FileDialogsTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    previousFiles_ = TESTING_ONLY_SetFileDialogAnswerer([this](const TFileDialogRequest& request) {
      requests_.push_back(request);
      if (answers_.empty()) return TFileDialogAnswer{};  // cancel
      TFileDialogAnswer answer = answers_.front();
      answers_.pop_front();
      return answer;
    });
    previousMessages_ = TESTING_ONLY_SetMessageAnswerer([this](const TMessageRequest& request) {
      messages_.push_back(request);
      if (replies_.empty()) return TModalResult::mrOk;
      TModalResult reply = replies_.front();
      replies_.pop_front();
      return reply;
    });
  }
  void TearDown() override {
    TESTING_ONLY_SetFileDialogAnswerer(previousFiles_);
    TESTING_ONLY_SetMessageAnswerer(previousMessages_);
  }

  QString Path(const QString& name) const { return dir_.path() + u'/' + name; }
  void Create(const QString& name, QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner) {
    QFile file(Path(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("x\r\n");
    file.close();
    ASSERT_TRUE(file.setPermissions(permissions));
  }
  void Pick(const QString& path) { answers_.push_back(TFileDialogAnswer{true, path}); }

  QTemporaryDir dir_;
  std::deque<TFileDialogAnswer> answers_;
  std::deque<TModalResult> replies_;
  std::vector<TFileDialogRequest> requests_;
  std::vector<TMessageRequest> messages_;
  TFileDialogAnswerer previousFiles_;
  TMessageAnswerer previousMessages_;
};

TEST_F(FileDialogsTest, FilterTextGivesThreeFileTypes) {
  const std::vector<TFileFilter> filters = ParseFileFilter(QString::fromUtf8(kLogFileFilter));
  ASSERT_EQ(filters.size(), 3u);
  EXPECT_EQ(filters[0].description, QStringLiteral("ログファイル(*.log)"));
  EXPECT_EQ(filters[0].pattern, "*.log");
  EXPECT_EQ(filters[1].description, QStringLiteral("テキストファイル(*.txt)"));
  EXPECT_EQ(filters[1].pattern, "*.txt");
  EXPECT_EQ(filters[2].description, QStringLiteral("すべてのファイル(*.*)"));
  EXPECT_EQ(filters[2].pattern, "*.*");
}

TEST_F(FileDialogsTest, RealDialogShowsTheThreeDescriptionsFirstSelected) {
  for (TFileDialogKind kind : {TFileDialogKind::fdOpen, TFileDialogKind::fdSave}) {
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    ConfigureFileDialog(
        dialog, TFileDialogRequest{kind, QStringLiteral("t"), ParseFileFilter(QString::fromUtf8(kLogFileFilter)), {}});
    auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    ASSERT_NE(types, nullptr);
    ASSERT_EQ(types->count(), 3);
    EXPECT_EQ(types->itemText(0), QStringLiteral("ログファイル(*.log)"));
    EXPECT_EQ(types->itemText(1), QStringLiteral("テキストファイル(*.txt)"));
    EXPECT_EQ(types->itemText(2), QStringLiteral("すべてのファイル(*.*)"));
    EXPECT_EQ(types->currentIndex(), 0);
    if (kind == TFileDialogKind::fdOpen) {
      EXPECT_EQ(dialog.fileMode(), QFileDialog::ExistingFile);
    } else {
      EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
      EXPECT_TRUE(dialog.testOption(QFileDialog::DontConfirmOverwrite));  // asked afterwards, by us
    }
  }
}

TEST_F(FileDialogsTest, AllFilesTypeMatchesNamesWithoutADot) {
  QFileDialog dialog;
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  ConfigureFileDialog(
      dialog, TFileDialogRequest{TFileDialogKind::fdOpen, {}, ParseFileFilter(QString::fromUtf8(kLogFileFilter)), {}});
  auto* model = dialog.findChild<QFileSystemModel*>();
  ASSERT_NE(model, nullptr);
  // What the toolkit filters the listing with, as read from each type.
  const QStringList filters = dialog.nameFilters();
  ASSERT_EQ(filters.size(), 3);
  dialog.selectNameFilter(filters[0]);
  EXPECT_EQ(model->nameFilters(), QStringList{QStringLiteral("*.log")});
  dialog.selectNameFilter(filters[2]);
  EXPECT_EQ(model->nameFilters(), QStringList{QStringLiteral("*")});
}

TEST_F(FileDialogsTest, SaveAsResolvesTheTypedName) {
  Create(QStringLiteral("old.log"));
  Create(QStringLiteral(".hidden.log"));
  Create(QStringLiteral("locked.log"), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
  struct Row {
    const char* label;
    std::vector<QString> picks;         // answers in turn; then cancel
    std::vector<TModalResult> replies;  // to the replace question(s)
    QString result;
    std::vector<std::string> warnings;  // the start of each message shown
  };
  const QString missing_dir = Path(QStringLiteral("no/such/dir/name"));
  const std::vector<Row> rows = {
      {"no extension gets .log", {Path("new")}, {}, Path("new.log"), {}},
      {"an extension stays", {Path("new.txt")}, {}, Path("new.txt"), {}},
      {"existing file, Yes", {Path("old.log")}, {TModalResult::mrYes}, Path("old.log"), {"old.log は既に存在します。"}},
      {"existing found only after adding .log",
       {Path("old")},
       {TModalResult::mrYes},
       Path("old.log"),
       {"old.log は既に存在します。"}},
      {"existing file, No, then another",
       {Path("old.log"), Path("fresh")},
       {TModalResult::mrNo},
       Path("fresh.log"),
       {"old.log は既に存在します。"}},
      {"hidden file is asked about, not refused",
       {Path(".hidden.log")},
       {TModalResult::mrYes},
       Path(".hidden.log"),
       {".hidden.log は既に存在します。"}},
      {"read-only file refused without the question",
       {Path("locked.log")},
       {},
       "",
       {"locked.log\nこのファイルは読み取り専用です。"}},
      {"missing folder refused",
       {missing_dir},
       {},
       "",
       {(missing_dir + ".log").toStdString() + "\nパスが存在しません。"}},
      {"cancel", {}, {}, "", {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    answers_.clear();
    messages_.clear();
    requests_.clear();
    for (const QString& pick : row.picks) Pick(pick);
    replies_.assign(row.replies.begin(), row.replies.end());
    EXPECT_EQ(ExecuteSaveDialog(nullptr), row.result);
    ASSERT_EQ(messages_.size(), row.warnings.size());
    for (size_t i = 0; i < row.warnings.size(); ++i) {
      EXPECT_EQ(messages_[i].text.rfind(row.warnings[i], 0), 0u) << messages_[i].text;
      EXPECT_EQ(messages_[i].type, TMsgDlgType::mtWarning);
    }
    EXPECT_TRUE(replies_.empty());
    EXPECT_EQ(requests_.size(), row.picks.size() + (row.result.isEmpty() ? 1 : 0));
  }
  EXPECT_FALSE(QFile::exists(Path("new.log")));  // choosing writes nothing
}

TEST_F(FileDialogsTest, OpenNeedsAnExistingFile) {
  Create(QStringLiteral("a.log"));
  Create(QStringLiteral("noext"));
  Pick(Path("noext"));
  EXPECT_EQ(ExecuteOpenDialog(nullptr), Path("noext"));  // no extension is added when opening

  Pick(Path("gone.log"));
  Pick(dir_.path());
  Pick(Path("a.log"));
  EXPECT_EQ(ExecuteOpenDialog(nullptr), Path("a.log"));
  ASSERT_EQ(messages_.size(), 2u);
  for (const TMessageRequest& message : messages_) {
    EXPECT_NE(message.text.find("ファイルが見つかりません。"), std::string::npos);
  }
}

TEST_F(FileDialogsTest, OpensInTheCurrentFilesFolderElseTheLastFolderPicked) {
  ASSERT_TRUE(QDir(dir_.path()).mkpath(QStringLiteral("first")));
  ASSERT_TRUE(QDir(dir_.path()).mkpath(QStringLiteral("second")));
  ASSERT_TRUE(QDir(dir_.path()).mkpath(QStringLiteral("third")));
  Create(QStringLiteral("first/a.log"));
  Pick(Path("first/a.log"));
  EXPECT_EQ(ExecuteOpenDialog(nullptr), Path("first/a.log"));
  // No current file: where the last pick was made.
  Pick(Path("third/b.log"));
  EXPECT_EQ(ExecuteSaveDialog(nullptr), Path("third/b.log"));
  ASSERT_EQ(requests_.size(), 2u);
  EXPECT_EQ(requests_[1].folder, Path("first"));
  // A current file wins over the last pick, in both dialogs.
  EXPECT_EQ(ExecuteOpenDialog(nullptr, Path("second/c.log")), QString());
  EXPECT_EQ(ExecuteSaveDialog(nullptr, Path("second/c.log")), QString());
  ASSERT_EQ(requests_.size(), 4u);
  EXPECT_EQ(requests_[2].folder, Path("second"));
  EXPECT_EQ(requests_[3].folder, Path("second"));
  // A cancelled dialog leaves the last folder as it was.
  EXPECT_EQ(ExecuteOpenDialog(nullptr), QString());
  EXPECT_EQ(requests_[4].folder, Path("third"));
}

TEST_F(FileDialogsTest, RealDialogOpensInTheFolderAndDatesAreJapanese) {
  Create(QStringLiteral("dated.log"));
  const QLocale saved;
  QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));  // as the application sets it
  QFileDialog dialog;
  TFileDialogRequest request{TFileDialogKind::fdOpen, {}, ParseFileFilter(QString::fromUtf8(kLogFileFilter)), {}};
  request.folder = dir_.path();
  ConfigureFileDialog(dialog, request);
  EXPECT_TRUE(dialog.testOption(QFileDialog::DontUseNativeDialog));
  EXPECT_EQ(dialog.directory().absolutePath(), dir_.path());

  auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
  ASSERT_NE(view, nullptr);
  QAbstractItemModel* shown = view->model();
  // The folder is read in the background.
  QModelIndex row;
  QElapsedTimer waited;
  waited.start();
  while (!row.isValid() && waited.elapsed() < 10000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    for (int r = 0; r < shown->rowCount(view->rootIndex()); ++r) {
      const QModelIndex name = shown->index(r, 0, view->rootIndex());
      if (name.data().toString() == QStringLiteral("dated.log")) row = name;
    }
  }
  ASSERT_TRUE(row.isValid());
  const QString date = shown->index(row.row(), 3, row.parent()).data().toString();
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{4}/\\d{2}/\\d{2} \\d{1,2}:\\d{2}$")).match(date).hasMatch())
      << date.toStdString();
  const QDateTime modified = QFileInfo(Path("dated.log")).lastModified();
  EXPECT_EQ(date, modified.toString(QStringLiteral("yyyy/MM/dd H:mm")));
  // The column shows it whole, with the cell's margins.
  EXPECT_GE(view->header()->sectionSize(3), view->fontMetrics().horizontalAdvance(QStringLiteral("2000/12/28 20:58")) +
                                                2 * view->fontMetrics().averageCharWidth())
      << view->header()->sectionSize(3);
  QLocale::setDefault(saved);
}

}  // namespace
}  // namespace quenza
