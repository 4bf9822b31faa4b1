// The settings store. Lines are trimmed of every byte up to 32 at load, names
// compare after ASCII upper-casing (double-byte characters stay whole), and
// lookups go through 256-bucket hash indexes (h = rotl(h, 2) ^ byte) that are
// rebuilt on the first lookup after a key is added.
#include "SettingsStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "AtomicFile.h"
#include "FileError.h"
#include "IntegerText.h"
#include "ShiftJisText.h"

namespace quenza {
namespace {

unsigned Bucket(std::string_view name) {
  uint32_t h = 0;
  ForEachUpperCasedByte(name, [&](char c) { h = ((h << 2) | (h >> 30)) ^ static_cast<unsigned char>(c); });
  return h % 256;
}

std::string_view KeyOf(std::string_view line) {
  size_t eq = line.find('=');
  return eq == std::string_view::npos ? std::string_view() : line.substr(0, eq);
}

// One count for every store of the process, so no two stores, and no two
// states of one store, share a generation.
std::uint64_t NextGeneration() {
  static std::atomic<std::uint64_t> next{1};
  return next.fetch_add(1, std::memory_order_relaxed);
}

// Decimal, or hexadecimal after "$", "x", "X", "0x" or "0X", with leading
// blanks and a sign.
constexpr TIntegerSyntax kSettingsIntSyntax{true, true, true, true, true};

}  // namespace

bool ParseSettingsInt(std::string_view text, int32_t& value) { return ParseInt32(text, kSettingsIntSyntax, value); }

TSettingsStore::TSettingsStore(std::string path) : path_(std::move(path)), generation_(NextGeneration()) { Load(); }

void TSettingsStore::Load() {
  struct stat st;
  if (path_.empty() || stat(path_.c_str(), &st) != 0) return;
  std::string text;
  int err = 0;
  int fd = open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    err = errno;
  } else {
    char buffer[65536];
    for (;;) {
      ssize_t n = read(fd, buffer, sizeof buffer);
      if (n > 0) {
        text.append(buffer, static_cast<size_t>(n));
      } else if (n == 0) {
        break;
      } else if (errno != EINTR) {
        err = errno;
        break;
      }
    }
    close(fd);
  }
  if (err != 0) {
    loadError_ = FileOpenErrorText(path_, std::strerror(err));
    return;
  }
  // A NUL byte ends the text.
  if (size_t nul = text.find('\0'); nul != std::string::npos) text.resize(nul);

  Section* current = nullptr;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find_first_of("\r\n", pos);
    std::string_view raw = std::string_view(text).substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    if (end == std::string::npos) {
      pos = text.size();
    } else {
      pos = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
    }
    std::string_view line = TrimControls(raw);
    if (line.empty() || line[0] == ';') continue;
    if (line.front() == '[' && line.back() == ']' && line.size() >= 2) {
      sections_.push_back(Section{std::string(TrimControls(line.substr(1, line.size() - 2))), {}, {}, false});
      current = &sections_.back();
      continue;
    }
    if (current == nullptr) continue;  // lines before the first section are dropped
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) {
      current->lines.emplace_back(line);
    } else {
      std::string entry(TrimControls(line.substr(0, eq)));
      entry += '=';
      entry += TrimControls(line.substr(eq + 1));
      current->lines.push_back(std::move(entry));
    }
  }
}

const TSettingsStore::Section* TSettingsStore::FindSection(std::string_view name) const {
  if (!sectionIndexValid_) {
    for (auto& bucket : sectionIndex_) bucket.clear();
    for (size_t i = 0; i < sections_.size(); ++i)
      sectionIndex_[Bucket(sections_[i].name)].push_back(static_cast<int>(i));
    sectionIndexValid_ = true;
  }
  // Indexes are in store order, so the first section of a name wins.
  for (int i : sectionIndex_[Bucket(name)]) {
    if (SameTextIgnoringAsciiCase(sections_[i].name, name)) return &sections_[i];
  }
  return nullptr;
}

TSettingsStore::Section* TSettingsStore::FindSection(std::string_view name) {
  return const_cast<Section*>(static_cast<const TSettingsStore*>(this)->FindSection(name));
}

int TSettingsStore::FindEntry(const Section& section, std::string_view key) const {
  if (!section.keyIndexValid) {
    for (auto& bucket : section.keyIndex) bucket.clear();
    for (size_t i = 0; i < section.lines.size(); ++i) {
      const std::string& line = section.lines[i];
      if (line.find('=') == std::string::npos) continue;  // bare lines are never found
      section.keyIndex[Bucket(KeyOf(line))].push_back(static_cast<int>(i));
    }
    section.keyIndexValid = true;
  }
  for (int i : section.keyIndex[Bucket(key)]) {
    if (SameTextIgnoringAsciiCase(KeyOf(section.lines[i]), key)) return i;
  }
  return -1;
}

std::string TSettingsStore::ReadText(std::string_view section, std::string_view key, std::string_view def) const {
  const Section* s = FindSection(section);
  if (s == nullptr) return std::string(def);
  int i = FindEntry(*s, key);
  if (i < 0) return std::string(def);
  const std::string& line = s->lines[i];
  return line.substr(line.find('=') + 1);
}

int32_t TSettingsStore::ReadInt(std::string_view section, std::string_view key, int32_t def) const {
  int32_t value;
  return ParseSettingsInt(ReadText(section, key, ""), value) ? value : def;
}

bool TSettingsStore::ReadFlag(std::string_view section, std::string_view key, bool def) const {
  return ReadInt(section, key, def ? 1 : 0) != 0;
}

void TSettingsStore::WriteText(std::string_view section, std::string_view key, std::string_view value) {
  generation_ = NextGeneration();
  Section* s = FindSection(section);
  if (s == nullptr) {
    sections_.push_back(Section{std::string(section), {}, {}, false});
    sectionIndexValid_ = false;
    s = &sections_.back();
  }
  std::string entry(key);
  entry += '=';
  entry += value;
  int i = FindEntry(*s, key);
  if (i >= 0) {
    s->lines[i] = std::move(entry);  // the same key in the same place: the index stays right
  } else {
    s->lines.push_back(std::move(entry));
    s->keyIndexValid = false;
  }
}

void TSettingsStore::WriteInt(std::string_view section, std::string_view key, int32_t value) {
  WriteText(section, key, std::to_string(value));
}

void TSettingsStore::WriteFlag(std::string_view section, std::string_view key, bool value) {
  WriteText(section, key, value ? "1" : "0");
}

std::string TSettingsStore::FileText() const {
  std::string text;
  for (const Section& s : sections_) {
    text += '[';
    text += s.name;
    text += "]\r\n";
    for (const std::string& line : s.lines) {
      text += line;
      text += "\r\n";
    }
    text += "\r\n";
  }
  return text;
}

void TSettingsStore::WriteBack() {
  try {
    WriteFileAtomically(path_, FileText());
  } catch (const EFileError& e) {
    // The settings file knows one failure text, whatever step failed.
    throw EFileCreateError(path_, e.Reason());
  }
}

}  // namespace quenza
