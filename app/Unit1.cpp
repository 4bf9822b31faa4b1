// The main window's life and layout: creation with geometry from the settings
// store, the view emptied at show, font and wrap re-applied from the store on
// every repaint, the unsaved-text question at close and the write-back after.
#include "Unit1.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <cstdint>

#include "Application.h"
#include "FileLoad.h"
#include "FileAttributes.h"
#include "FontDialog.h"
#include "FontFaces.h"
#include "FormOptions.h"
#include "LogView.h"
#include "MessageDialogs.h"
#include "ScreenPlacement.h"
#include "SettingsLocation.h"
#include "SettingsStore.h"
#include "SyslogOptions.h"
#include "TextCodec.h"
#include "UiText.h"
#include "Unit3.h"

namespace quenza {

TForm1* Form1 = nullptr;

namespace {

constexpr int kDesignedLeft = 228;
constexpr int kDesignedTop = 227;
constexpr int kDesignedWidth = 600;
constexpr int kDesignedHeight = 400;
constexpr int kMinimumSize = 300;

}  // namespace

TForm1::TForm1(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("Form1"));
  Form1 = this;
  QFont window_font(font_faces::Proportional());
  window_font.setPixelSize(12);
  setFont(window_font);
  setMinimumSize(kMinimumSize, kMinimumSize);
  setGeometry(kDesignedLeft, kDesignedTop, kDesignedWidth, kDesignedHeight);

  Memo1 = new TLogView(this);
  setCentralWidget(Memo1);
  CreateActions();
  CreateMenus();
  CreateToolBar();
  CreatePopupMenu();
  CreateStatusBar();
  CreateViewCommands();
  CreateTray();
  CreateStats();
  CreateAlerts();
  Memo1->SetEditShortcuts({Undo1->shortcut(), Cut1->shortcut(), Copy1->shortcut(), Paste1->shortcut(),
                           Delete1->shortcut(), SelectAll1->shortcut()},
                          GuardedSlot([this] { Edit1Click(); }));
  connect(Memo1, &TLogView::PopupRequested, this, GuardedSlot([this](const QPoint& pos) {
            Edit1Click();
            PopupMenu1->exec(pos);
          }));
  Memo1->setFocus();
  setAcceptDrops(true);  // the view takes none, so a file dropped on it comes here
  FormCreate();
  LoadViewOptions();
  LoadAlertRules();
}

TForm1::~TForm1() {
  FormDestroy();
  if (Form1 == this) Form1 = nullptr;
}

QAction* TForm1::NewAction(const char* name, const char* caption, const QKeySequence& shortcut) {
  auto* action = new QAction(Ui(caption), this);
  action->setObjectName(QString::fromLatin1(name));
  action->setShortcut(shortcut);
  addAction(action);  // shortcuts work while the menu bar is closed
  return action;
}

void TForm1::CreateActions() {
  New1 = NewAction("New1", "新規作成(&N)", QKeySequence(Qt::CTRL | Qt::Key_N));
  Open1 = NewAction("Open1", "開く(&O)...", QKeySequence(Qt::CTRL | Qt::Key_O));
  Save1 = NewAction("Save1", "上書き保存(&S)", QKeySequence(Qt::CTRL | Qt::Key_S));
  SaveAs1 = NewAction("SaveAs1", "名前を付けて保存(&A)...", QKeySequence());
  BeginLog1 = NewAction("BeginLog1", "ログの開始(&B)", QKeySequence(Qt::CTRL | Qt::Key_B));
  EndLog1 = NewAction("EndLog1", "ログの停止(&E)", QKeySequence(Qt::CTRL | Qt::Key_E));
  EndLog1->setEnabled(false);
  // Ctrl+X cuts, as in every editor; Exit takes the desktop's Ctrl+Q.
  Exit1 = NewAction("Exit1", "終了(&X)", QKeySequence(Qt::CTRL | Qt::Key_Q));
  Undo1 = NewAction("Undo1", "元に戻す(&U)", QKeySequence(Qt::CTRL | Qt::Key_Z));
  Cut1 = NewAction("Cut1", "切り取り(&T)", QKeySequence(Qt::CTRL | Qt::Key_X));
  Copy1 = NewAction("Copy1", "コピー(&C)", QKeySequence(Qt::CTRL | Qt::Key_C));
  Paste1 = NewAction("Paste1", "貼り付け(&P)", QKeySequence(Qt::CTRL | Qt::Key_V));
  Delete1 = NewAction("Delete1", "削除(&D)", QKeySequence(Qt::Key_Delete));
  SelectAll1 = NewAction("SelectAll1", "すべて選択(&A)", QKeySequence(Qt::CTRL | Qt::Key_A));
  WordWrap1 = NewAction("WordWrap1", "右端で折り返す(&W)", QKeySequence());
  WordWrap1->setCheckable(true);
  Font1 = NewAction("Font1", "フォント(&F)...", QKeySequence());
  mmConfig1 = NewAction("mmConfig1", "環境設定(&S)...", QKeySequence());
  About1 = NewAction("About1", "バージョン情報(&V)", QKeySequence());
  OpenDaily1 = NewAction("OpenDaily1", "日別ログをまとめて開く(&M)...", QKeySequence());

  const std::pair<QAction*, void (TForm1::*)()> handlers[] = {
      {New1, &TForm1::New1Click},
      {Open1, &TForm1::Open1Click},
      {Save1, &TForm1::Save1Click},
      {SaveAs1, &TForm1::SaveAs1Click},
      {BeginLog1, &TForm1::BeginLog1Click},
      {EndLog1, &TForm1::EndLog1Click},
      {Exit1, &TForm1::Exit1Click},
      {Undo1, &TForm1::Undo1Click},
      {Cut1, &TForm1::Cut1Click},
      {Copy1, &TForm1::Copy1Click},
      {Paste1, &TForm1::Paste1Click},
      {Delete1, &TForm1::Delete1Click},
      {SelectAll1, &TForm1::SelectAll1Click},
      {WordWrap1, &TForm1::WordWrap1Click},
      {Font1, &TForm1::Font1Click},
      {mmConfig1, &TForm1::mmConfig1Click},
      {About1, &TForm1::About1Click},
      {OpenDaily1, &TForm1::OpenDaily1Click},
  };
  for (const auto& [action, handler] : handlers) {
    connect(action, &QAction::triggered, this, Command(handler));
  }
}

void TForm1::CreateMenus() {
  File1 = menuBar()->addMenu(Ui("ファイル(&F)"));
  File1->setObjectName(QStringLiteral("File1"));
  File1->addActions({New1, Open1, Save1, SaveAs1});
  File1->addSeparator()->setObjectName(QStringLiteral("N1"));
  File1->addActions({BeginLog1, EndLog1});
  File1->addSeparator()->setObjectName(QStringLiteral("N2"));
  File1->addAction(Exit1);
  File1->addSeparator()->setObjectName(QStringLiteral("N9"));
  File1->addAction(OpenDaily1);

  Edit1 = menuBar()->addMenu(Ui("編集(&E)"));
  Edit1->setObjectName(QStringLiteral("Edit1"));
  Edit1->addAction(Undo1);
  Edit1->addSeparator()->setObjectName(QStringLiteral("N3"));
  Edit1->addActions({Cut1, Copy1, Paste1, Delete1});
  Edit1->addSeparator()->setObjectName(QStringLiteral("N4"));
  Edit1->addAction(SelectAll1);
  connect(Edit1, &QMenu::aboutToShow, this, Command(&TForm1::Edit1Click));

  View1 = menuBar()->addMenu(Ui("表示(&V)"));
  View1->setObjectName(QStringLiteral("View1"));
  View1->addActions({WordWrap1, Font1});
  View1->addSeparator()->setObjectName(QStringLiteral("N5"));
  View1->addAction(mmConfig1);

  Help1 = menuBar()->addMenu(Ui("ヘルプ(&H)"));
  Help1->setObjectName(QStringLiteral("Help1"));
  Help1->addAction(About1);
}

void TForm1::CreateToolBar() {
  ToolBar1 = addToolBar(QStringLiteral("ToolBar1"));
  ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
  ToolBar1->setMovable(false);
  ToolBar1->setFloatable(false);
  ToolBar1->setIconSize(QSize(16, 16));
  ToolBar1->toggleViewAction()->setEnabled(false);
  ToolBar1->setContextMenuPolicy(Qt::PreventContextMenu);

  static const char* const kImages[9] = {"new", "open", "save", "beginlog", "endlog", "undo", "cut", "copy", "paste"};
  auto button = [this](const char* name, int image, const char* hint, void (TForm1::*handler)()) {
    auto* b = new QToolButton(ToolBar1);
    b->setObjectName(QString::fromLatin1(name));
    b->setIcon(QIcon(QStringLiteral(":/icons/%1.svg").arg(QString::fromLatin1(kImages[image]))));
    b->setText(Ui(hint));
    b->setToolTip(Ui(hint));
    b->setToolButtonStyle(Qt::ToolButtonIconOnly);
    b->setAutoRaise(true);  // flat
    b->setFixedHeight(23);
    b->setFocusPolicy(Qt::NoFocus);  // the view keeps the focus
    connect(b, &QToolButton::clicked, this, Command(handler));
    ToolBar1->addWidget(b);
    return b;
  };
  auto separator = [this] {
    auto* gap = new QWidget(ToolBar1);
    gap->setFixedWidth(8);
    ToolBar1->addWidget(gap);
  };
  tbNew1 = button("tbNew1", 0, "新規作成", &TForm1::New1Click);
  tbOpen1 = button("tbOpen1", 1, "開く", &TForm1::Open1Click);
  tbSave1 = button("tbSave1", 2, "上書き保存", &TForm1::Save1Click);
  separator();
  tbBeginLog1 = button("tbBeginLog1", 3, "ログの開始", &TForm1::BeginLog1Click);
  tbEndLog1 = button("tbEndLog1", 4, "ログの停止", &TForm1::EndLog1Click);
  tbEndLog1->setEnabled(false);
  separator();
  tbUndo1 = button("tbUndo1", 5, "元に戻す", &TForm1::Undo1Click);
  tbCut1 = button("tbCut1", 6, "切り取り", &TForm1::Cut1Click);
  tbCopy1 = button("tbCopy1", 7, "コピー", &TForm1::Copy1Click);
  tbPaste1 = button("tbPaste1", 8, "貼り付け", &TForm1::Paste1Click);
}

void TForm1::CreatePopupMenu() {
  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
  auto item = [this](const char* name, const char* caption, void (TForm1::*handler)()) {
    QAction* a = PopupMenu1->addAction(Ui(caption));
    a->setObjectName(QString::fromLatin1(name));
    connect(a, &QAction::triggered, this, Command(handler));
    return a;
  };
  pmUndo1 = item("pmUndo1", "元に戻す(&U)", &TForm1::Undo1Click);
  PopupMenu1->addSeparator()->setObjectName(QStringLiteral("pmN1"));
  pmCut1 = item("pmCut1", "切り取り(&T)", &TForm1::Cut1Click);
  pmCopy1 = item("pmCopy1", "コピー(&C)", &TForm1::Copy1Click);
  pmPaste1 = item("pmPaste1", "貼り付け(&P)", &TForm1::Paste1Click);
  pmDelete1 = item("pmDelete1", "削除(&D)", &TForm1::Delete1Click);
  PopupMenu1->addSeparator()->setObjectName(QStringLiteral("pmN2"));
  pmSelectAll1 = item("pmSelectAll1", "すべて選択(&A)", &TForm1::SelectAll1Click);
}

void TForm1::CreateStatusBar() {
  statusPanel_ = new QLabel(this);
  statusPanel_->setObjectName(QStringLiteral("StatusBar1Panel"));
  statusBar()->setObjectName(QStringLiteral("StatusBar1"));
  statusBar()->addWidget(statusPanel_, 1);
  EncodingStatus1 = new QLabel(Ui("UTF-8 から変換"), this);
  EncodingStatus1->setObjectName(QStringLiteral("EncodingStatus1"));
  statusBar()->addWidget(EncodingStatus1);
  EncodingStatus1->hide();
  CreateLoadProgress();
  CreateCaptureStatus();
}

QString TForm1::CurrentFile() const { return statusPanel_->text(); }

void TForm1::SetCurrentFile(const QString& path) { statusPanel_->setText(path); }

void TForm1::FormCreate() {
  setWindowTitle(QString::fromStdString(ApplicationTitle()));
  IniFile = std::make_unique<TSettingsStore>(ProgramSettingsLocation().file);
  const int top = pos_options::Top.Read(*IniFile, y());
  const int left = pos_options::Left.Read(*IniFile, x());
  const int height = pos_options::Height.Read(*IniFile, this->height());
  const int width = pos_options::Width.Read(*IniFile, this->width());
  // Only a stored position can be trusted less than the design: it may name a screen that is gone.
  const bool stored = pos_options::Top.Read(*IniFile, INT32_MIN) != INT32_MIN ||
                      pos_options::Left.Read(*IniFile, INT32_MIN) != INT32_MIN;
  const QRect placed = PlaceOnScreens(QRect(left, top, std::max(width, kMinimumSize), std::max(height, kMinimumSize)),
                                      stored, kMinimumSize);
  move(placed.topLeft());
  resize(placed.size());
  SetCurrentFile(QString());
  if (!IniFile->LoadError().empty()) ShowErrorReport(IniFile->LoadError());
}

void TForm1::FormShow() {
  Memo1->Clear();
  Memo1->SetModified(false);
}

void TForm1::FormPaint() {
  if (!IniFile || applyingViewSettings_) return;
  applyingViewSettings_ = true;
  QFont font = Memo1->font();
  const int current_points = PointsOf(font);
  Memo1->SetFontCharset(font_options::Charset.Read(*IniFile, Memo1->FontCharset()));
  const int size = font_options::Size.Read(*IniFile, current_points);
  const QString name = DecodeSjis(font_options::Name.Read(*IniFile, EncodeSjis(font.family())));
  if (size > 0 && (font.pointSize() != size)) font.setPointSize(size);
  if (font.family() != name) font.setFamily(name);
  if (font != Memo1->font()) Memo1->setFont(font);
  Memo1->SetWordWrap(edit_options::WordWrap.Read(*IniFile, WordWrap1->isChecked()));
  const int bars = edit_options::ScrollBar.Read(*IniFile, Memo1->ScrollBars());
  if (bars >= ssNone && bars <= ssBoth && bars != Memo1->ScrollBars())
    Memo1->SetScrollBars(static_cast<TScrollStyle>(bars));
  WordWrap1->setChecked(Memo1->WordWrap());
  applyingViewSettings_ = false;
}

bool TForm1::ConfirmDiscard() {
  if (!Memo1->Modified() || Memo1->IsEmpty()) return true;
  return MessageDlg("内容が保存されていません。破棄されますがよろしいですか？", TMsgDlgType::mtWarning,
                    TMsgDlgButtons::mbYesNo) == TModalResult::mrYes;
}

bool TForm1::FormCloseQuery() { return ConfirmDiscard(); }

void TForm1::FormClose() {
  if (!IniFile) return;
  const std::string& path = IniFile->FileName();
  if (FileIsReadOnly(QString::fromStdString(path))) {
    MessageDlg("設定ファイルが読み取り専用になっています。", TMsgDlgType::mtWarning, TMsgDlgButtons::mbOK);
    return;
  }
  // A settings file we could not read is left alone rather than replaced by defaults.
  if (!IniFile->WriteBackAllowed()) return;
  pos_options::Top.Write(*IniFile, y());
  pos_options::Left.Write(*IniFile, x());
  pos_options::Height.Write(*IniFile, height());
  pos_options::Width.Write(*IniFile, width());
  Guarded([&] {
    CreateSettingsFolder(path);  // the per-user folder may not exist yet
    IniFile->WriteBack();
  });
}

void TForm1::FormDestroy() { IniFile.reset(); }

void TForm1::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!shownOnce_) {
    shownOnce_ = true;
    Guarded([&] {
      FormShow();
      FormPaint();
      // Deferred past show(): a failed start's report must find the window
      // on the screen to stand over, as when Begin log is chosen by hand.
      if (syslog_options::AutoStart.Read(*IniFile)) QTimer::singleShot(0, this, Command(&TForm1::StartCaptureAtLaunch));
    });
  }
}

void TForm1::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) Guarded([&] { ClearUnseenAlerts(); });
}

void TForm1::StartCaptureAtLaunch() {
  if (DataModule3 == nullptr) BeginLog1Click();
}

void TForm1::paintEvent(QPaintEvent* event) {
  QMainWindow::paintEvent(event);
  Guarded([&] { FormPaint(); });
}

void TForm1::closeEvent(QCloseEvent* event) {
  bool to_tray = false;
  Guarded([&] { to_tray = ClosesToTray(); });
  if (to_tray) {
    event->ignore();
    Guarded([&] { HideToTray(); });
    return;
  }
  bool can_close = false;
  Guarded([&] { can_close = FormCloseQuery(); });
  if (!can_close) {
    event->ignore();
    return;
  }
  Guarded([&] { FormClose(); });
  event->accept();
}

namespace {

// The one local file a drag carries, or empty: several files, or anything
// but a file, are not taken.
QString DroppedFile(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls()) return QString();
  const QList<QUrl> urls = data->urls();
  return urls.size() == 1 && urls.front().isLocalFile() ? urls.front().toLocalFile() : QString();
}

}  // namespace

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
  if (!DroppedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event) {
  const QString path = DroppedFile(event->mimeData());
  if (path.isEmpty()) return;
  event->acceptProposedAction();
  // After the drop has ended, so the question does not hold the program the file came from.
  QTimer::singleShot(0, this, GuardedSlot([this, path] { OpenFileFromDesktop(path); }));
}

}  // namespace quenza
