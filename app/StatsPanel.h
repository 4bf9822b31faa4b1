// The dockable panel "統計": the rate chart of the last ten minutes, a line
// of totals, and the ten senders with the most lines, with their counts. It
// reads the window's counts and host table once a second, and only while it
// is visible. Clicking a sender or a severity asks for it in the filter; the
// main window applies it.
#pragma once

#include <QDockWidget>
#include <cstdint>

#include "CaptureStats.h"

class QLabel;
class QTimer;
class QTreeWidget;

namespace quenza {

class THostTable;
class TRateChart;

class TStatsPanel : public QDockWidget {
  Q_OBJECT

 public:
  static constexpr int kTopHosts = 10;

  TStatsPanel(const TCaptureStats& stats, const THostTable& hosts, QWidget* parent);

  TRateChart* Chart = nullptr;
  QLabel* Totals = nullptr;
  QTreeWidget* HostList = nullptr;  // each item's UserRole: the sender's number

  // Reads the counts as they are at `now`.
  void Refresh(TCaptureStats::TClock::time_point now);

 signals:
  void HostChosen(std::uint16_t host);
  void SeverityChosen(int severity);

 private:
  const TCaptureStats& stats_;
  const THostTable& hosts_;
  QTimer* timer_ = nullptr;
};

}  // namespace quenza
