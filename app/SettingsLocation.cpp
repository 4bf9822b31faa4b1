#include "SettingsLocation.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "FileError.h"
#include "FilePath.h"

namespace quenza {

namespace {

constexpr const char kFolderName[] = "quenza";
constexpr const char kFileName[] = "quenza.ini";

std::string Join(std::string folder, const std::string& name) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder + name;
}

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

std::string HomeFolder() {
  std::string home = Environment("HOME");
  if (!home.empty()) return home;
  // A session started without HOME (some service managers do that).
  if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return {};
}

bool SameFolder(const std::string& a, const std::string& b) {
  struct stat sa {
  }, sb{};
  if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace

std::string ChangeFileExt(const std::string& path, const std::string& ext) {
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.find_last_of('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) return path.substr(0, dot) + ext;
  return path + ext;
}

TSettingsLocation ChooseSettingsLocation(const TSettingsFacts& facts) {
  TSettingsLocation location;
  const std::string beside = ChangeFileExt(facts.exePath, ".ini");
  // The XDG rule: a relative $XDG_CONFIG_HOME is invalid and is ignored.
  std::string config = facts.xdgConfigHome;
  if (config.empty() || config.front() != '/')
    config = facts.home.empty() ? std::string() : Join(facts.home, ".config");
  if (facts.besideExists || facts.folderWritable || config.empty()) {
    location.file = beside;
    location.folder = FolderOf(beside);
    location.besideExecutable = true;
    return location;
  }
  location.folder = Join(config, kFolderName);
  location.file = Join(location.folder, kFileName);
  return location;
}

TSettingsLocation LocateSettings(const std::string& exePath, const std::string& install_bindir) {
  TSettingsFacts facts;
  facts.exePath = exePath;
  const std::string beside = ChangeFileExt(exePath, ".ini");
  struct stat st {};
  facts.besideExists = ::stat(beside.c_str(), &st) == 0;
  const std::string folder = FolderOf(exePath);
  facts.folderWritable =
      ::access(folder.c_str(), W_OK | X_OK) == 0 && (install_bindir.empty() || !SameFolder(folder, install_bindir));
  facts.xdgConfigHome = Environment("XDG_CONFIG_HOME");
  facts.home = HomeFolder();
  return ChooseSettingsLocation(facts);
}

std::string InstallBinDir() { return QUENZA_INSTALL_BINDIR; }

void CreateSettingsFolder(const std::string& file) {
  // From the top down, so each mkdir finds its parent in place.
  std::string folder = FolderOf(file);
  size_t next = 1;
  for (;;) {
    const size_t slash = folder.find('/', next);
    const std::string part = folder.substr(0, slash);
    struct stat st {};
    if (!part.empty() && ::stat(part.c_str(), &st) != 0 && ::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
      throw EFileCreateError(file, std::strerror(errno));
    }
    if (slash == std::string::npos) return;
    next = slash + 1;
  }
}

}  // namespace quenza
