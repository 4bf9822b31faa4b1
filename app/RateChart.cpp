#include "RateChart.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "CaptureStatus.h"
#include "Guarded.h"
#include "SeverityMargin.h"
#include "SyslogNames.h"
#include "UiText.h"

namespace quenza {
namespace {

constexpr int kPad = 4;
constexpr int kAxisWidth = 56;  // the scale's labels, left of the plot
constexpr int kSwatch = 10;

QString KindName(int kind) {
  if (kind == TCaptureStats::kNone) return Ui("なし");
  const std::string_view name = kSeverityNames[static_cast<std::size_t>(kind)];
  return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}

// The scale's top: the peak rounded up to a round number.
double ScaleTop(double peak) {
  if (peak <= 1) return 1;
  const double power = std::pow(10.0, std::floor(std::log10(peak)));
  for (double step : {1.0, 1.5, 2.0, 2.5, 3.0, 4.0, 5.0, 6.0, 8.0, 10.0}) {
    if (peak <= step * power) return step * power;
  }
  return 10 * power;
}

}  // namespace

TRateChart::TRateChart(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("RateChart1"));
  setMouseTracking(true);  // the hand over the legend's severities
  setAttribute(Qt::WA_OpaquePaintEvent);
  seconds_.resize(TCaptureStats::kSeconds);
}

QColor TRateChart::KindColor(int kind) {
  if (kind == 6) return QColor(0x4C, 0xA0, 0x50);                     // INFO
  if (kind == TCaptureStats::kNone) return QColor(0xC8, 0xB4, 0x8C);  // no severity
  return TSeverityMargin::MarkColor(kind);
}

void TRateChart::SetSeconds(std::vector<TCaptureStats::TCounts> seconds) {
  seconds_ = std::move(seconds);
  totals_.fill(0);
  peak_ = 0;
  for (const auto& second : seconds_) {
    std::uint32_t all = 0;
    for (int kind = 0; kind < TCaptureStats::kKinds; ++kind) {
      totals_[static_cast<std::size_t>(kind)] += second[static_cast<std::size_t>(kind)];
      all += second[static_cast<std::size_t>(kind)];
    }
    peak_ = std::max(peak_, all);
  }
  LayOutLegend();
  update();
}

void TRateChart::LayOutLegend() {
  // Entries flow left to right and wrap; the plot takes what is left above.
  const QFontMetrics metrics(font());
  const int line = std::max(metrics.height(), kSwatch) + 2;
  std::array<QRect, TCaptureStats::kKinds> rects{};
  int x = kPad, row = 0;
  for (int kind = 0; kind < TCaptureStats::kKinds; ++kind) {
    const QString text = KindName(kind) + QLatin1Char(' ') +
                         QString::fromStdString(GroupedNumber(totals_[static_cast<std::size_t>(kind)]));
    const int w = kSwatch + 4 + metrics.horizontalAdvance(text) + 10;
    if (x > kPad && x + w > width() - kPad) {
      x = kPad;
      ++row;
    }
    rects[static_cast<std::size_t>(kind)] = QRect(x, row * line, w, line);
    x += w;
  }
  legendTop_ = height() - kPad - (row + 1) * line;
  for (QRect& r : rects) r.translate(0, legendTop_);
  legend_ = rects;
}

void TRateChart::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Guarded([&] { LayOutLegend(); });
}

int TRateChart::KindAt(const QPoint& point) const {
  for (int kind = 0; kind <= 7; ++kind) {
    if (legend_[static_cast<std::size_t>(kind)].contains(point)) return kind;
  }
  return -1;
}

void TRateChart::mouseMoveEvent(QMouseEvent* event) {
  Guarded([&] {
    if (KindAt(event->position().toPoint()) >= 0) {
      setCursor(Qt::PointingHandCursor);
    } else {
      unsetCursor();
    }
  });
}

void TRateChart::mouseReleaseEvent(QMouseEvent* event) {
  Guarded([&] {
    const int kind = KindAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && kind >= 0) emit SeverityClicked(kind);
  });
}

void TRateChart::paintEvent(QPaintEvent* /*event*/) {
  Guarded([&] {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Base));
    const QFontMetrics metrics(font());
    const QRect plot(kAxisWidth, kPad + metrics.height() / 2, std::max(1, width() - kAxisWidth - kPad),
                     std::max(1, legendTop_ - metrics.height() - 2 * kPad - metrics.height() / 2));

    // Each pixel column stands for a run of seconds: their mean per second,
    // so columns of any width stay on one scale.
    const int columns = plot.width();
    const int n = static_cast<int>(seconds_.size());
    std::vector<std::array<double, TCaptureStats::kKinds>> sums(static_cast<std::size_t>(columns));
    double peak = 0;
    for (int c = 0; c < columns && n > 0; ++c) {
      const int first = c * n / columns;
      const int last = std::max(first + 1, (c + 1) * n / columns);
      auto& sum = sums[static_cast<std::size_t>(c)];
      sum.fill(0);
      for (int s = first; s < last; ++s) {
        for (int kind = 0; kind < TCaptureStats::kKinds; ++kind) {
          sum[static_cast<std::size_t>(kind)] += seconds_[static_cast<std::size_t>(s)][static_cast<std::size_t>(kind)];
        }
      }
      double all = 0;
      for (double& v : sum) all += v /= (last - first);
      peak = std::max(peak, all);
    }
    const double top = ScaleTop(peak);

    // The scale: its top, half and zero, with faint lines across.
    painter.setPen(palette().color(QPalette::Mid));
    for (int i = 0; i <= 2; ++i) {
      const int y = plot.bottom() - (plot.height() * i) / 2;
      painter.drawLine(plot.left(), y, plot.right(), y);
    }
    painter.setPen(palette().color(QPalette::Text));
    const int half = metrics.height() / 2;
    auto label = [&](double value, int y) {
      painter.drawText(QRect(0, y - half, kAxisWidth - 4, metrics.height()), Qt::AlignRight | Qt::AlignVCenter,
                       QString::fromStdString(GroupedNumber(static_cast<std::uint64_t>(std::llround(value)))));
    };
    label(top, plot.top());
    if (top >= 2) label(top / 2, plot.top() + plot.height() / 2);
    label(0, plot.bottom());
    painter.drawText(QRect(plot.left(), plot.bottom() + 2, plot.width(), metrics.height()),
                     Qt::AlignLeft | Qt::AlignTop, Ui("10 分前"));
    painter.drawText(QRect(plot.left(), plot.bottom() + 2, plot.width(), metrics.height()),
                     Qt::AlignRight | Qt::AlignTop, Ui("現在"));
    painter.drawText(QRect(plot.left() + 4, plot.top() - half, plot.width(), metrics.height()),
                     Qt::AlignLeft | Qt::AlignVCenter, Ui("行/秒"));

    for (int c = 0; c < columns; ++c) {
      double base = 0;
      for (int kind = 0; kind < TCaptureStats::kKinds; ++kind) {
        const double v = sums[static_cast<std::size_t>(c)][static_cast<std::size_t>(kind)];
        if (v <= 0) continue;
        const double y0 = plot.bottom() + 1 - (base / top) * plot.height();
        const double y1 = plot.bottom() + 1 - ((base + v) / top) * plot.height();
        painter.fillRect(QRectF(plot.left() + c, y1, 1, y0 - y1), KindColor(kind));
        base += v;
      }
    }

    for (int kind = 0; kind < TCaptureStats::kKinds; ++kind) {
      const QRect r = legend_[static_cast<std::size_t>(kind)];
      const QRect swatch(r.left(), r.center().y() - kSwatch / 2, kSwatch, kSwatch);
      painter.fillRect(swatch, KindColor(kind));
      painter.drawText(r.adjusted(kSwatch + 4, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                       KindName(kind) + QLatin1Char(' ') +
                           QString::fromStdString(GroupedNumber(totals_[static_cast<std::size_t>(kind)])));
    }
  });
}

}  // namespace quenza
