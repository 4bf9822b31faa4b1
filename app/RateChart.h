// The rate chart of the statistics panel: lines per second over the last ten
// minutes, one stacked column per pixel by severity (gravest at the bottom),
// in the colours of the severity margin, with a legend that names each
// severity with its lines in the window. Clicking a severity in the legend
// asks for it in the filter. Drawn with QPainter: ten minutes of nine
// series is one pass over 600 seconds, and it needs no further library.
#pragma once

#include <QColor>
#include <QRect>
#include <QWidget>
#include <array>
#include <vector>

#include "CaptureStats.h"

namespace quenza {

class TRateChart : public QWidget {
  Q_OBJECT

 public:
  explicit TRateChart(QWidget* parent);

  // The seconds to draw, oldest first (TCaptureStats::Window).
  void SetSeconds(std::vector<TCaptureStats::TCounts> seconds);
  // Lines in the window by kind, and the busiest second.
  const std::array<std::uint64_t, TCaptureStats::kKinds>& Totals() const { return totals_; }
  std::uint32_t PeakPerSecond() const { return peak_; }

  // The colour a kind is drawn in: the margin's mark, and for the two the
  // margin leaves unmarked (INFO, none) colours of their own.
  static QColor KindColor(int kind);
  // Where the legend shows a kind, in the widget's coordinates.
  QRect LegendRect(int kind) const { return legend_[static_cast<std::size_t>(kind)]; }

  QSize sizeHint() const override { return QSize(480, 150); }
  QSize minimumSizeHint() const override { return QSize(200, 100); }

 signals:
  // A severity 0-7 was clicked in the legend.
  void SeverityClicked(int severity);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void LayOutLegend();
  int KindAt(const QPoint& point) const;  // -1: no severity there

  std::vector<TCaptureStats::TCounts> seconds_;
  std::array<std::uint64_t, TCaptureStats::kKinds> totals_{};
  std::uint32_t peak_ = 0;
  std::array<QRect, TCaptureStats::kKinds> legend_{};
  int legendTop_ = 0;  // the plot ends above it
};

}  // namespace quenza
