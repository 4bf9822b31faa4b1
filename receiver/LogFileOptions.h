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

// The daily files' text: "sjis", the view's own bytes, or "utf8", converted so
// that tools on Linux read them as they are. Any other value is "sjis".
inline constexpr TTextOption Encoding{kSection, "Encoding", "sjis"};
inline constexpr std::string_view kShiftJis = "sjis";
inline constexpr std::string_view kUtf8 = "utf8";
inline bool WritesUtf8(const TSettingsStore& store) { return Encoding.Read(store) == kUtf8; }

// The folder an empty Folder means, for the settings file at `settingsFile`.
inline std::string DefaultFolder(const std::string& settingsFile) { return FolderOf(settingsFile) + "/logs"; }

}  // namespace quenza::logfile_options
