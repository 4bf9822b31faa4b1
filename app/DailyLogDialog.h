// The dialog of "日別ログをまとめて開く": a folder and a range of dates. It
// goes through one replaceable chooser, so tests can answer it.
#pragma once

#include <QDate>
#include <QString>
#include <functional>
#include <optional>

class QWidget;

namespace quenza {

struct TDailyLogRange {
  QString folder;
  QDate from;
  QDate to;
};

// What the user chose (from <= to), or nothing when cancelled.
std::optional<TDailyLogRange> ExecuteDailyLogDialog(QWidget* parent, const TDailyLogRange& initial);

using TDailyLogChooser = std::function<std::optional<TDailyLogRange>(const TDailyLogRange& initial)>;
// Test seam: while set, no dialog is shown and the chooser answers. Returns
// the previous chooser; an empty function restores the real dialog.
TDailyLogChooser TESTING_ONLY_SetDailyLogChooser(TDailyLogChooser chooser);

}  // namespace quenza
