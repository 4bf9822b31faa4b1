// The font dialog of the Font command: fixed-pitch fonts only, no effects.
// It goes through one replaceable chooser, so tests can answer it.
#pragma once

#include <QFont>
#include <functional>
#include <optional>

class QWidget;

namespace quenza {

// The chosen font, or nothing when the user cancels.
std::optional<QFont> ExecuteFontDialog(QWidget* parent, const QFont& initial);

// The Windows character-set number for `font`: 128 (Shift_JIS) when it covers
// Japanese, 0 otherwise.
int FontCharsetOf(const QFont& font);

using TFontChooser = std::function<std::optional<QFont>(const QFont& initial)>;
// Test seam: while set, no dialog is shown and the chooser answers. Returns
// the previous chooser; an empty function restores the real dialog.
TFontChooser TESTING_ONLY_SetFontChooser(TFontChooser chooser);

}  // namespace quenza
