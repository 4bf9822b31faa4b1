// Where the settings file lives. A copy of the program in a folder of its own
// (a build folder, a portable copy) keeps its file beside the executable, as
// it always did. An installed program cannot write there, so it keeps its
// file under the user's configuration folder instead, with the same name,
// format and rules. No Qt: the rule is a pure function, and the file system
// is asked only by LocateSettings.
#pragma once

#include <string>

namespace quenza {

// The facts the rule looks at, gathered by LocateSettings.
struct TSettingsFacts {
  std::string exePath;          // the running executable's full path
  bool besideExists = false;    // the settings file beside it exists
  bool folderWritable = false;  // the executable's folder can take a new file
  std::string xdgConfigHome;    // $XDG_CONFIG_HOME, empty when unset
  std::string home;             // the user's home folder
};

struct TSettingsLocation {
  std::string file;    // full path of the settings file
  std::string folder;  // the folder that holds it; other per-user files go beside it
  bool besideExecutable = false;
};

// The rule: beside the executable ("quenza" -> "quenza.ini") when that file
// exists or the folder is writable; otherwise quenza/quenza.ini under
// $XDG_CONFIG_HOME, or under ~/.config when that is unset or not absolute.
TSettingsLocation ChooseSettingsLocation(const TSettingsFacts& facts);

// The rule applied to this process and this file system. `install_bindir` is
// the folder the build installs the program into: run from there, the program
// never writes beside itself, not even as root, whose write permission would
// otherwise put a settings file into a system folder.
TSettingsLocation LocateSettings(const std::string& exePath, const std::string& install_bindir);

// The folder this build installs the program into (CMake's full bindir).
std::string InstallBinDir();

// `path` with its extension (the text after the last "." of the file name)
// replaced by `ext`; a name without one gets `ext` appended.
std::string ChangeFileExt(const std::string& path, const std::string& ext);

// Creates the folders leading to `file` that are missing (mode 0700, as for
// any per-user configuration folder). Raises EFileCreateError naming `file`
// when one cannot be made.
void CreateSettingsFolder(const std::string& file);

}  // namespace quenza
