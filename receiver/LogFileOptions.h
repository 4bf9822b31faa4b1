// Automatic log files, section LOGFILE of the settings file. Read once when
// capture starts, like the port.
#pragma once

#include <string>

#include "FilePath.h"
#include "SettingsOption.h"

namespace quenza::logfile_options {

inline constexpr std::string_view kSection = "LOGFILE";

inline constexpr TFlagOption Enable{kSection, "Enable", false};
// A folder path (Shift_JIS, as every settings value); empty: "logs" beside
// the settings file.
inline constexpr TTextOption Folder{kSection, "Folder", ""};

// The folder an empty Folder means, for the settings file at `settingsFile`.
inline std::string DefaultFolder(const std::string& settingsFile) { return FolderOf(settingsFile) + "/logs"; }

}  // namespace quenza::logfile_options
