// The view's options, section VIEW of the settings file.
#pragma once

#include "SettingsOption.h"

namespace quenza::view_options {

inline constexpr std::string_view kSection = "VIEW";

// Past this many lines the oldest leave the view; 0: no limit.
inline constexpr TIntOption MaxLines{kSection, "MaxLines", 0};

}  // namespace quenza::view_options
