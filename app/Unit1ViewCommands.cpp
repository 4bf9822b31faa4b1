// Reading a live stream: find (Edit menu, find bar below the view), filter
// (View menu, filter bar above the view, its own section in the status bar),
// following the newest line and colouring by severity (View menu, stored in
// section VIEW). Searches and filter passes run in slices; Escape stops them
// wherever the focus is.
#include <QAction>
#include <QCompleter>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QShortcut>
#include <QStatusBar>
#include <QStringListModel>
#include <QToolButton>

#include "CaptureStatus.h"
#include "FilterBar.h"
#include "FindBar.h"
#include "LogView.h"
#include "SettingsStore.h"
#include "SeverityMargin.h"
#include "StatsPanel.h"
#include "TextCodec.h"
#include "UiText.h"
#include "Unit1.h"
#include "ViewFilter.h"
#include "ViewFind.h"
#include "ViewOptions.h"
#include "sjRegExpError.h"

namespace quenza {
namespace {

// Why the bar cannot use a pattern: the library's message with its position.
QString PatternProblem(const Exception& e) {
  if (const auto* syntax = dynamic_cast<const ERegExpParser*>(&e)) {
    return Ui("%1（位置: %2）").arg(Ui(e.what())).arg(syntax->ErrorPos());
  }
  return Ui(e.what());
}

// Qt counts the lock keys among the modifiers and never matches them as
// shortcuts (the menu item only shows the key): Scroll Lock reaches the
// window as a key press the focused control passed on.
class TScrollLockKey : public QObject {
 public:
  TScrollLockKey(QObject* parent, QAction* action) : QObject(parent), action_(action) {}

 protected:
  bool eventFilter(QObject* /*watched*/, QEvent* event) override {
    bool handled = false;
    Guarded([&] {
      if (event->type() != QEvent::KeyPress) return;
      const auto* key = static_cast<const QKeyEvent*>(event);
      if (key->key() == Qt::Key_ScrollLock && !key->isAutoRepeat() && action_->isEnabled()) {
        action_->trigger();
        handled = true;
      }
    });
    return handled;
  }

 private:
  QAction* action_;
};

}  // namespace

void TForm1::CreateViewCommands() {
  Find1 = NewAction("Find1", "検索(&F)...", QKeySequence(Qt::CTRL | Qt::Key_F));
  FindNext1 = NewAction("FindNext1", "次を検索(&N)", QKeySequence(Qt::Key_F3));
  FindPrevious1 = NewAction("FindPrevious1", "前を検索(&R)", QKeySequence(Qt::SHIFT | Qt::Key_F3));
  Follow1 = NewAction("Follow1", "自動スクロール(&L)", QKeySequence(Qt::Key_ScrollLock));
  Follow1->setCheckable(true);
  Follow1->setChecked(true);
  SeverityColors1 = NewAction("SeverityColors1", "重要度で色分け(&C)", QKeySequence());
  SeverityColors1->setCheckable(true);
  SeverityColors1->setChecked(true);
  Filter1 = NewAction("Filter1", "絞り込み(&I)...", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));
  const std::pair<QAction*, void (TForm1::*)()> handlers[] = {
      {Find1, &TForm1::Find1Click},
      {FindNext1, &TForm1::FindNext1Click},
      {FindPrevious1, &TForm1::FindPrevious1Click},
      {Follow1, &TForm1::Follow1Click},
      {SeverityColors1, &TForm1::SeverityColors1Click},
      {Filter1, &TForm1::Filter1Click},
  };
  for (const auto& [action, handler] : handlers) {
    connect(action, &QAction::triggered, this, Command(handler));
  }
  Edit1->addSeparator()->setObjectName(QStringLiteral("N6"));
  Edit1->addActions({Find1, FindNext1, FindPrevious1});
  View1->insertActions(mmConfig1, {Follow1, SeverityColors1, Filter1});
  View1->insertSeparator(mmConfig1)->setObjectName(QStringLiteral("N7"));
  installEventFilter(new TScrollLockKey(this, Follow1));

  SeverityMargin1 = new TSeverityMargin(*Memo1);
  Finder1 = new TViewFinder(*Memo1);
  LineFilter1 = new TViewFilter(*Memo1);

  FindBar1 = new TFindBar(this);
  addToolBar(Qt::BottomToolBarArea, FindBar1);
  FindBar1->hide();
  FilterBar1 = new TFilterBar(this);
  addToolBarBreak(Qt::TopToolBarArea);
  addToolBar(Qt::TopToolBarArea, FilterBar1);
  FilterBar1->hide();
  FilterStatus1 = new QLabel(this);
  FilterStatus1->setObjectName(QStringLiteral("FilterStatus1"));
  statusBar()->addWidget(FilterStatus1);
  FilterStatus1->hide();

  stopKey_ = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  stopKey_->setEnabled(false);
  connect(stopKey_, &QShortcut::activated, this, GuardedSlot([this] {
            if (Finder1->Busy()) Finder1->Cancel();
            if (filterApplying_) StopFilter();
          }));

  PauseStatus1 = new QToolButton(this);
  PauseStatus1->setObjectName(QStringLiteral("PauseStatus1"));
  PauseStatus1->setAutoRaise(true);
  PauseStatus1->setToolTip(Ui("クリックするか Ctrl+End で自動スクロールに戻ります"));
  statusBar()->addWidget(PauseStatus1);
  PauseStatus1->hide();
  connect(PauseStatus1, &QToolButton::clicked, this, GuardedSlot([this] {
            Memo1->SetFollow(true);
            Memo1->setFocus();
          }));
  connect(Memo1, &TLogView::FollowChanged, this, GuardedSlot([this](bool on) {
            Follow1->setChecked(on);
            ShowPauseStatus();
          }));
  connect(Memo1, &TLogView::LinesAppended, this, GuardedSlot([this] {
            if (!Memo1->Follow()) ShowPauseStatus();
          }));

  connect(FindBar1, &TFindBar::FindRequested, this, GuardedSlot([this](bool backward) { StartFind(backward); }));
  connect(FindBar1, &TFindBar::StopRequested, this, GuardedSlot([this] { Finder1->Cancel(); }));
  connect(FindBar1, &TFindBar::CloseRequested, this, GuardedSlot([this] {
            FindBar1->hide();
            Memo1->setFocus();
          }));
  connect(Finder1, &TViewFinder::Finished, this,
          GuardedSlot([this](TViewFinder::TOutcome outcome) { FindFinished(static_cast<int>(outcome)); }));
  connect(Finder1, &TViewFinder::Counted, this,
          GuardedSlot([this](TMatchCount c) { FindBar1->ShowCount(c.index, c.total, c.more); }));
  connect(Memo1, &TLogView::TextReplaced, this, GuardedSlot([this] { FindBar1->ClearCount(); }));

  connect(FilterBar1, &TFilterBar::ApplyRequested, this, GuardedSlot([this] { ApplyFilter(); }));
  connect(FilterBar1, &TFilterBar::ClearRequested, this, GuardedSlot([this] {
            FilterBar1->ShowMessage(QString(), false);
            filterApplying_ = true;
            LineFilter1->Apply(nullptr);
            UpdateStopKey();
          }));
  connect(FilterBar1, &TFilterBar::StopRequested, this, GuardedSlot([this] { StopFilter(); }));
  connect(FilterBar1, &TFilterBar::CloseRequested, this, GuardedSlot([this] {
            FilterBar1->hide();
            Memo1->setFocus();
          }));
  connect(LineFilter1, &TViewFilter::CountsChanged, this, GuardedSlot([this] { ShowFilterStatus(); }));
  connect(LineFilter1, &TViewFilter::PassFinished, this, GuardedSlot([this] {
            filterApplying_ = false;
            ShowFilterStatus();
            UpdateStopKey();
            // A sender term that found nothing is named: a typo, or a sender never seen.
            if (const TLineFilter* filter = LineFilter1->Filter()) {
              const std::vector<std::string> unmatched = filter->UnmatchedHosts();
              if (!unmatched.empty()) {
                QStringList names;
                for (const std::string& term : unmatched) names.append(DecodeSjis(term));
                FilterBar1->ShowMessage(Ui("%1 に一致する送信元はありません").arg(names.join(Ui("、"))), true);
              }
            }
          }));
}

void TForm1::LoadViewOptions() {
  const bool follow = view_options::Follow.Read(*IniFile);
  Memo1->SetFollow(follow);
  Follow1->setChecked(follow);
  const bool colours = view_options::SeverityColors.Read(*IniFile);
  SeverityMargin1->SetColoured(colours);
  SeverityColors1->setChecked(colours);
  Memo1->SetMaxLines(view_options::MaxLines.Read(*IniFile));
  if (CloseToTray1 != nullptr) CloseToTray1->setChecked(view_options::CloseToTray.Read(*IniFile));
  StatsPanel1->setVisible(view_options::Statistics.Read(*IniFile));
}

void TForm1::Follow1Click() {
  // The item has already toggled its own check mark.
  Memo1->SetFollow(Follow1->isChecked());
  view_options::Follow.Write(*IniFile, Follow1->isChecked());
}

void TForm1::SeverityColors1Click() {
  SeverityMargin1->SetColoured(SeverityColors1->isChecked());
  view_options::SeverityColors.Write(*IniFile, SeverityColors1->isChecked());
}

void TForm1::Find1Click() {
  FindBar1->show();
  // A selection within one line is the likeliest thing to look for next.
  if (Memo1->HasSelection() && Memo1->Caret().line == Memo1->Anchor().line) {
    FindBar1->TextEdit->setText(DecodeSjis(Memo1->SelectedText()));
  }
  FindBar1->TextEdit->setFocus();
  FindBar1->TextEdit->selectAll();
}

void TForm1::FindNext1Click() { StartFind(false); }

void TForm1::FindPrevious1Click() { StartFind(true); }

void TForm1::StartFind(bool backward) {
  if (FindBar1->TextEdit->text().isEmpty()) {
    Find1Click();
    return;
  }
  FindBar1->show();
  try {
    Finder1->Start(EncodeSjis(FindBar1->TextEdit->text()), FindBar1->Options(), backward);
    FindBar1->ClearCount();
  } catch (const Exception& e) {
    FindBar1->ShowMessage(PatternProblem(e), true);
    return;
  }
  findBackward_ = backward;
  FindBar1->ShowMessage(Ui("検索中..."), false);
  UpdateStopKey();
}

void TForm1::FindFinished(int outcome) {
  UpdateStopKey();
  switch (static_cast<TViewFinder::TOutcome>(outcome)) {
    case TViewFinder::TOutcome::Found:
      FindBar1->ShowMessage(QString(), false);
      break;
    case TViewFinder::TOutcome::FoundAfterWrap:
      FindBar1->ShowMessage(findBackward_ ? Ui("先頭まで検索したので、末尾から検索しました。")
                                          : Ui("末尾まで検索したので、先頭から検索しました。"),
                            false);
      break;
    case TViewFinder::TOutcome::NotFound:
      FindBar1->ShowMessage(Ui("「%1」が見つかりません。").arg(FindBar1->TextEdit->text()), true);
      break;
    case TViewFinder::TOutcome::Cancelled:
      FindBar1->ShowMessage(Ui("検索を中止しました。"), false);
      break;
  }
}

void TForm1::Filter1Click() {
  FilterBar1->show();
  // Captured lines carry their senders, whatever the lines show; the
  // senders seen so far are offered as the name is typed.
  FilterBar1->HostEdit->setToolTip(
      Ui("送信元の名前 (* と ? が使えます)、IP アドレス、10.0.0.0/8 "
         "のような範囲。空白かコンマで区切って複数指定できます"));
  QStringList hosts;
  for (const std::string& host : Hosts.Hosts()) hosts.append(DecodeSjis(host));
  if (FilterBar1->HostEdit->completer() == nullptr) {
    auto* completer = new QCompleter(FilterBar1->HostEdit);
    completer->setCaseSensitivity(Qt::CaseInsensitive);
    completer->setModel(new QStringListModel(completer));
    FilterBar1->HostEdit->setCompleter(completer);
  }
  static_cast<QStringListModel*>(FilterBar1->HostEdit->completer()->model())->setStringList(hosts);
  FilterBar1->TextEdit->setFocus();
  FilterBar1->TextEdit->selectAll();
}

void TForm1::ApplyFilter() {
  TLineCriteria criteria;
  criteria.maxSeverity = FilterBar1->MaxSeverity();
  criteria.host = EncodeSjis(FilterBar1->HostEdit->text().trimmed());
  criteria.hostTable = &Hosts;
  criteria.hostWord = HostWordIndex(*IniFile);
  criteria.text = EncodeSjis(FilterBar1->TextEdit->text());
  criteria.options = FilterBar1->Options();
  std::unique_ptr<TLineFilter> filter;
  if (criteria.maxSeverity >= 0 || !criteria.host.empty() || !criteria.text.empty()) {
    try {
      filter = std::make_unique<TLineFilter>(std::move(criteria));
    } catch (const Exception& e) {
      FilterBar1->ShowMessage(PatternProblem(e), true);
      return;
    }
  }
  FilterBar1->ShowMessage(QString(), false);
  filterApplying_ = true;
  LineFilter1->Apply(std::move(filter));
  UpdateStopKey();
}

void TForm1::StopFilter() {
  // Half a filter is no filter: show every line again.
  LineFilter1->Apply(nullptr);
  FilterBar1->ShowMessage(Ui("絞り込みを中止しました。"), false);
  UpdateStopKey();
}

void TForm1::ShowFilterStatus() {
  if (!LineFilter1->Active()) {
    FilterStatus1->hide();
    return;
  }
  FilterStatus1->setText(
      Ui("絞り込み中: %1 / %2 行")
          .arg(QString::fromStdString(GroupedNumber(static_cast<std::uint64_t>(LineFilter1->ShownLines()))),
               QString::fromStdString(GroupedNumber(static_cast<std::uint64_t>(LineFilter1->TotalLines())))));
  FilterStatus1->show();
}

void TForm1::ShowPauseStatus() {
  if (Memo1->Follow()) {
    PauseStatus1->hide();
    return;
  }
  const std::uint64_t since = Memo1->LinesSincePause();
  PauseStatus1->setText(since == 0 ? Ui("一時停止中")
                                   : Ui("一時停止中: 新着 %1 行").arg(QString::fromStdString(GroupedNumber(since))));
  PauseStatus1->show();
}

void TForm1::UpdateStopKey() {
  const bool filtering = filterApplying_ && LineFilter1->Busy();
  FindBar1->SetBusy(Finder1->Busy());
  FilterBar1->SetBusy(filtering);
  // One Escape at a time: two enabled shortcuts for one key would both stay silent.
  const bool stoppable = Finder1->Busy() || filtering;
  stopKey_->setEnabled(stoppable);
  FindBar1->SetCloseKeyEnabled(!stoppable);
  FilterBar1->SetCloseKeyEnabled(!stoppable);
}

}  // namespace quenza
