#include "StatsPanel.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "CaptureStatus.h"
#include "Guarded.h"
#include "HostTable.h"
#include "RateChart.h"
#include "TextCodec.h"
#include "UiText.h"

namespace quenza {

TStatsPanel::TStatsPanel(const TCaptureStats& stats, const THostTable& hosts, QWidget* parent)
    : QDockWidget(Ui("統計"), parent), stats_(stats), hosts_(hosts) {
  setObjectName(QStringLiteral("StatsPanel1"));
  auto* body = new QWidget(this);
  Chart = new TRateChart(body);
  Totals = new QLabel(body);
  Totals->setObjectName(QStringLiteral("StatsTotals1"));
  HostList = new QTreeWidget(body);
  HostList->setObjectName(QStringLiteral("StatsHosts1"));
  HostList->setColumnCount(2);
  HostList->setHeaderLabels({Ui("送信元 (上位 10)"), Ui("行数")});
  HostList->setRootIsDecorated(false);
  HostList->setUniformRowHeights(true);
  HostList->setSelectionMode(QAbstractItemView::NoSelection);
  HostList->header()->setStretchLastSection(false);
  HostList->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  HostList->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
  HostList->setToolTip(Ui("クリックすると、その送信元で絞り込みます"));
  HostList->setMinimumWidth(220);
  HostList->setMaximumWidth(320);
  Chart->setToolTip(Ui("下の重要度をクリックすると、その重要度で絞り込みます"));

  auto* left = new QVBoxLayout;
  left->addWidget(Chart, 1);
  left->addWidget(Totals);
  auto* layout = new QHBoxLayout(body);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->addLayout(left, 1);
  layout->addWidget(HostList);
  setWidget(body);

  connect(Chart, &TRateChart::SeverityClicked, this,
          GuardedSlot([this](int severity) { emit SeverityChosen(severity); }));
  connect(HostList, &QTreeWidget::itemClicked, this, GuardedSlot([this](QTreeWidgetItem* item, int) {
            emit HostChosen(static_cast<std::uint16_t>(item->data(0, Qt::UserRole).toUInt()));
          }));
  timer_ = new QTimer(this);
  timer_->setInterval(1000);
  connect(timer_, &QTimer::timeout, this, GuardedSlot([this] { Refresh(TCaptureStats::TClock::now()); }));
  // Hidden, tabbed away or the window in the tray: no work at all.
  connect(this, &QDockWidget::visibilityChanged, this, GuardedSlot([this](bool visible) {
            if (!visible) {
              timer_->stop();
              return;
            }
            Refresh(TCaptureStats::TClock::now());
            timer_->start();
          }));
}

void TStatsPanel::Refresh(TCaptureStats::TClock::time_point now) {
  Chart->SetSeconds(stats_.Window(now));
  std::uint64_t window = 0;
  for (std::uint64_t n : Chart->Totals()) window += n;
  Totals->setText(Ui("直近 10 分: %1 行、最大 %2 行/秒　受信開始から: %3 行")
                      .arg(QString::fromStdString(GroupedNumber(window)),
                           QString::fromStdString(GroupedNumber(Chart->PeakPerSecond())),
                           QString::fromStdString(GroupedNumber(stats_.Total()))));

  // Items are kept and rewritten, so a click in the middle of a refresh
  // still lands on the row it was aimed at.
  const auto top = stats_.TopHosts(kTopHosts);
  while (HostList->topLevelItemCount() > static_cast<int>(top.size())) {
    delete HostList->takeTopLevelItem(HostList->topLevelItemCount() - 1);
  }
  for (std::size_t i = 0; i < top.size(); ++i) {
    QTreeWidgetItem* item = HostList->topLevelItem(static_cast<int>(i));
    if (item == nullptr) {
      item = new QTreeWidgetItem(HostList);
      item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    }
    const std::string& host = hosts_.Host(top[i].host);
    const std::string& address = hosts_.Address(top[i].host);
    item->setData(0, Qt::UserRole, top[i].host);
    item->setText(0, DecodeSjis(host));
    item->setToolTip(0, host == address ? QString() : DecodeSjis(address));
    item->setText(1, QString::fromStdString(GroupedNumber(top[i].lines)));
  }
}

}  // namespace quenza
