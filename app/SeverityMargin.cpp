#include "SeverityMargin.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>

#include "Guarded.h"
#include "LogView.h"

namespace quenza {

TSeverityMargin::TSeverityMargin(TLogView& view) : QWidget(&view), view_(view) {
  setObjectName(QStringLiteral("SeverityMargin1"));
  setAttribute(Qt::WA_OpaquePaintEvent);
  view_.installEventFilter(this);
  view_.viewport()->installEventFilter(this);
  connect(&view_, &TLogView::ScreenChanged, this, GuardedSlot([this] { update(); }));
  connect(&view_, &TLogView::MarksChanged, this, GuardedSlot([this] {
    if (alertColumn_ != view_.HasMarks()) Refresh();
    update();
  }));
  SetColoured(true);
}

void TSeverityMargin::SetColoured(bool on) {
  coloured_ = on;
  Refresh();
  if (on) {
    view_.SetLineColour([](int severity) { return IsGrave(severity) ? GraveTextColor() : QColor(); });
  } else {
    view_.SetLineColour({});
  }
}

QColor TSeverityMargin::MarkColor(int severity) {
  switch (severity) {
    case 0:
      return QColor(0x80, 0x00, 0x00);  // EMERGENCY
    case 1:
      return QColor(0xB0, 0x00, 0x00);  // ALERT
    case 2:
      return QColor(0xE0, 0x10, 0x10);  // CRITICAL
    case 3:
      return QColor(0xFF, 0x50, 0x50);  // ERROR
    case 4:
      return QColor(0xF0, 0xA0, 0x00);  // WARNING, amber
    case 5:
      return QColor(0x30, 0x70, 0xE0);  // NOTICE
    case 7:
      return QColor(0xA8, 0xA8, 0xA8);  // DEBUG
    default:
      return QColor();  // INFO and lines without a severity
  }
}

QColor TSeverityMargin::AlertMarkColor() { return QColor(0x20, 0x30, 0xA0); }

void TSeverityMargin::Refresh() {
  alertColumn_ = view_.HasMarks();
  const int width = (coloured_ ? kWidth : 0) + (alertColumn_ ? kAlertWidth : 0);
  view_.SetLeftMargin(width);
  setVisible(width > 0);
  Place();
}

QColor TSeverityMargin::GraveTextColor() { return QColor(0xA0, 0x00, 0x00); }

void TSeverityMargin::Place() {
  const QRect viewport = view_.viewport()->geometry();
  const int width = (coloured_ ? kWidth : 0) + (alertColumn_ ? kAlertWidth : 0);
  setGeometry(viewport.left() - width, viewport.top(), width, viewport.height());
}

bool TSeverityMargin::eventFilter(QObject* watched, QEvent* event) {
  Guarded([&] {
    if (event->type() == QEvent::Resize && (watched == &view_ || watched == view_.viewport())) Place();
  });
  return false;
}

void TSeverityMargin::paintEvent(QPaintEvent* event) {
  Guarded([&] {
    QPainter painter(this);
    painter.fillRect(event->rect(), view_.palette().color(QPalette::Base));
    const QRect area = event->rect();
    const int alert_width = alertColumn_ ? kAlertWidth : 0;
    view_.ForEachLineOnScreen([&](int line, const QRectF& r) {
      if (r.bottom() < area.top() || r.top() > area.bottom()) return;
      if (alert_width > 0 && view_.IsLineMarked(line)) {
        // A triangle pointing at the line, unlike the severity bars beside it.
        const qreal mid = r.top() + r.height() / 2;
        const qreal half = std::min<qreal>(r.height() / 2 - 1, alert_width - 2);
        const QPointF tip[3] = {{1, mid - half}, {1, mid + half}, {alert_width - 1.0, mid}};
        painter.setPen(Qt::NoPen);
        painter.setBrush(AlertMarkColor());
        painter.drawPolygon(tip, 3);
      }
      if (!coloured_) return;
      const QColor mark = MarkColor(view_.SeverityOfLine(line));
      if (!mark.isValid() || r.bottom() < area.top() || r.top() > area.bottom()) return;
      // One pixel apart, so neighbouring lines of one colour stay two marks.
      painter.fillRect(QRectF(alert_width + 1, r.top(), kWidth - 2, r.height() - 1), mark);
    });
  });
}

}  // namespace quenza
