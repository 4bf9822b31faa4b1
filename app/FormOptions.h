// The main window's options, sections POS, FONT and EDIT of the settings
// file. None has a default of its own: each records something the window
// already has (where it stands, the view's font, wrap and scroll bars), and a
// missing key leaves that as it is. POS is read when the window is created
// and written when it closes; FONT and EDIT are written when the user picks a
// font or switches word wrap, and read back on every repaint.
#pragma once

#include "SettingsOption.h"

namespace quenza::pos_options {

inline constexpr std::string_view kSection = "POS";

inline constexpr TCurrentIntOption Top{kSection, "Top"};
inline constexpr TCurrentIntOption Left{kSection, "Left"};
inline constexpr TCurrentIntOption Height{kSection, "Height"};
inline constexpr TCurrentIntOption Width{kSection, "Width"};

}  // namespace quenza::pos_options

namespace quenza::font_options {

inline constexpr std::string_view kSection = "FONT";

// 128 for a face with Japanese glyphs, else 0.
inline constexpr TCurrentIntOption Charset{kSection, "Charset"};
inline constexpr TCurrentIntOption Size{kSection, "Size"};  // points
// The family as the font was asked for (a Windows face name stays one).
inline constexpr TCurrentTextOption Name{kSection, "Name"};

}  // namespace quenza::font_options

namespace quenza::edit_options {

inline constexpr std::string_view kSection = "EDIT";

inline constexpr TCurrentFlagOption WordWrap{kSection, "WordWrap"};
// A TScrollStyle: 0 none, 1 horizontal, 2 vertical, 3 both.
inline constexpr TCurrentIntOption ScrollBar{kSection, "ScrollBar"};

}  // namespace quenza::edit_options
