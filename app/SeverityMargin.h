// Colour by severity: a narrow margin left of the log view's text with a
// coloured mark beside each line that has a severity, and the text of the
// gravest lines (EMERGENCY to ERROR) drawn in dark red. Presentation only:
// marks and text colour are painted from the lines' metadata in the store as
// the lines reach the screen, so what Save writes never holds a format.
// Lines an alert rule marked get a mark of their own in a column left of the
// severity marks; that column is there while the view holds marks, colours
// on or off.
#pragma once

#include <QColor>
#include <QWidget>

namespace quenza {

class TLogView;

class TSeverityMargin : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kWidth = 6;
  static constexpr int kAlertWidth = 7;

  // A child of `view`; colours on.
  explicit TSeverityMargin(TLogView& view);

  bool Coloured() const { return coloured_; }
  void SetColoured(bool on);

  // The mark of a severity; invalid (no mark) for INFO and for none.
  static QColor MarkColor(int severity);
  // The text colour of EMERGENCY to ERROR lines.
  static QColor GraveTextColor();
  static bool IsGrave(int severity) { return severity >= 0 && severity <= 3; }
  static QColor AlertMarkColor();

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Place();
  // The margin's width and visibility from the colours and the marks.
  void Refresh();

  TLogView& view_;
  bool coloured_ = true;
  bool alertColumn_ = false;  // the marks' column is in the margin
};

}  // namespace quenza
