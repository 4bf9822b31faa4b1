// The view's options, section VIEW of the settings file, with their
// defaults. Read when the main window is created; written when the user
// switches them in the View menu.
#pragma once

#include "SettingsOption.h"

namespace quenza::view_options {

inline constexpr std::string_view kSection = "VIEW";

inline constexpr TFlagOption Follow{kSection, "Follow", true};
inline constexpr TFlagOption SeverityColors{kSection, "SeverityColors", true};
// Past this many lines the oldest leave the view; 0: no limit.
inline constexpr TIntOption MaxLines{kSection, "MaxLines", 0};
// Closing the window while capturing hides it in the tray, capture going on.
inline constexpr TFlagOption CloseToTray{kSection, "CloseToTray", false};
// The statistics panel is shown.
inline constexpr TFlagOption Statistics{kSection, "Statistics", false};

}  // namespace quenza::view_options
