// Colour by severity: a narrow margin left of the log view's text with a
// coloured mark beside each line that has a severity, and the text of the
// gravest lines (EMERGENCY to ERROR) drawn in dark red. Presentation only:
// marks and text colour are painted from the lines' metadata in the store as
// the lines reach the screen, so what Save writes never holds a format.
#pragma once

#include <QColor>
#include <QWidget>

namespace quenza {

class TLogView;

class TSeverityMargin : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kWidth = 6;

  // A child of `view`; colours on.
  explicit TSeverityMargin(TLogView& view);

  bool Coloured() const { return coloured_; }
  void SetColoured(bool on);

  // The mark of a severity; invalid (no mark) for INFO and for none.
  static QColor MarkColor(int severity);
  // The text colour of EMERGENCY to ERROR lines.
  static QColor GraveTextColor();
  static bool IsGrave(int severity) { return severity >= 0 && severity <= 3; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Place();

  TLogView& view_;
  bool coloured_ = true;
};

}  // namespace quenza
