// The statistics panel in the main window: a dock below the view, off by
// default, switched from the View menu and remembered in VIEW Statistics.
// A sender or a severity clicked in it becomes the filter's, applied at once.
// The counts describe what was captured, not what the view holds: 新規作成
// and the line limit leave them alone, and End log only stops them growing.
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>

#include "FilterBar.h"
#include "SettingsStore.h"
#include "StatsPanel.h"
#include "TextCodec.h"
#include "UiText.h"
#include "Unit1.h"
#include "ViewOptions.h"

namespace quenza {

void TForm1::CreateStats() {
  StatsPanel1 = new TStatsPanel(Stats, Hosts, this);
  addDockWidget(Qt::BottomDockWidgetArea, StatsPanel1);
  StatsPanel1->hide();
  // The dock's own item follows its close button, and not the window going to the tray.
  Stats1 = StatsPanel1->toggleViewAction();
  Stats1->setObjectName(QStringLiteral("Stats1"));
  Stats1->setText(Ui("統計(&K)"));
  View1->addSeparator()->setObjectName(QStringLiteral("N9"));
  View1->addAction(Stats1);
  connect(Stats1, &QAction::toggled, this, GuardedSlot([this](bool on) {
            if (IniFile) view_options::Statistics.Write(*IniFile, on);
          }));
  connect(StatsPanel1, &TStatsPanel::HostChosen, this, GuardedSlot([this](std::uint16_t host) { FilterByHost(host); }));
  connect(StatsPanel1, &TStatsPanel::SeverityChosen, this,
          GuardedSlot([this](int severity) { FilterBySeverity(severity); }));
}

void TForm1::FilterByHost(std::uint16_t host) {
  FilterBar1->show();
  FilterBar1->HostEdit->setText(DecodeSjis(Hosts.Host(host)));
  ApplyFilter();
}

void TForm1::FilterBySeverity(int severity) {
  FilterBar1->show();
  FilterBar1->SeverityBox->setCurrentIndex(severity + 1);
  ApplyFilter();
}

}  // namespace quenza
