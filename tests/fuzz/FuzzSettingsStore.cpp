// A fuzzed settings file: load it, read every key it holds, write it back
// and load again. Every value read before reads the same after, and a second
// write-back gives the same file.
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "SettingsStore.h"

namespace {

// (section, key) of every "key=value" line of a file as the store writes it.
std::vector<std::pair<std::string, std::string>> KeysOf(const std::string& text) {
  std::vector<std::pair<std::string, std::string>> keys;
  std::string section;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find("\r\n", pos);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(pos, end - pos);
    pos = end + 2;
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      section = line.substr(1, line.size() - 2);
    } else if (const std::size_t eq = line.find('='); eq != std::string::npos) {
      keys.emplace_back(section, line.substr(0, eq));
    }
  }
  return keys;
}

std::string TempPath() {
  static const std::string path = [] {
    // Memory-backed when there is one: every write-back syncs to disk.
    char shm[] = "/dev/shm/quenza-fuzz-settings-XXXXXX";
    char tmp[] = "/tmp/quenza-fuzz-settings-XXXXXX";
    char* dir = mkdtemp(shm);
    if (dir == nullptr) dir = mkdtemp(tmp);
    if (dir == nullptr) std::abort();
    return std::string(dir) + "/quenza.ini";
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = TempPath();
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  quenza::TSettingsStore first(path);
  const std::string text = first.FileText();
  const auto keys = KeysOf(text);
  std::vector<std::string> values;
  for (const auto& [section, key] : keys) values.push_back(first.ReadText(section, key, "\x01missing"));
  first.WriteBack();

  quenza::TSettingsStore second(path);
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (second.ReadText(keys[i].first, keys[i].second, "\x01missing") != values[i]) std::abort();
  }
  if (second.FileText() != text) std::abort();
  return 0;
}
