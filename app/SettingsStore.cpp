// The settings store. Lines are trimmed of every byte up to 32 at load, names
// compare after ASCII upper-casing, and lookups go through 256-bucket hash
// indexes (h = rotl(h, 2) ^ byte) that are rebuilt lazily after a change, since
// the receiver reads several keys for every datagram.
#include "SettingsStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "Exception.h"

namespace quenza {
namespace {

unsigned char UpperAscii(unsigned char c) { return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
  }
  return true;
}

unsigned Bucket(std::string_view name) {
  uint32_t h = 0;
  for (unsigned char c : name) h = ((h << 2) | (h >> 30)) ^ UpperAscii(c);
  return h % 256;
}

std::string_view Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= 32) ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= 32) --e;
  return s.substr(b, e - b);
}

std::string_view KeyOf(std::string_view line) {
  size_t eq = line.find('=');
  return eq == std::string_view::npos ? std::string_view() : line.substr(0, eq);
}

std::string SystemMessage(int err) { return std::strerror(err); }

}  // namespace

bool ParseSettingsInt(std::string_view text, int32_t& value) {
  std::string s(text);
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) s.replace(0, 2, "$");
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  int base = 10;
  if (i < s.size() && (s[i] == '$' || s[i] == 'x' || s[i] == 'X')) {
    base = 16;
    ++i;
  } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= s.size()) return false;
  // Accumulate the magnitude; -2^31 is the one value whose magnitude passes 2^31 - 1.
  const uint64_t limit = negative ? uint64_t{1} << 31 : (uint64_t{1} << 31) - 1;
  uint64_t magnitude = 0;
  for (; i < s.size(); ++i) {
    int digit;
    char c = s[i];
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return false;
    }
    magnitude = magnitude * base + digit;
    if (magnitude > limit) return false;
  }
  value = negative ? static_cast<int32_t>(-static_cast<int64_t>(magnitude)) : static_cast<int32_t>(magnitude);
  return true;
}

TSettingsStore::TSettingsStore(std::string path) : path_(std::move(path)) { Load(); }

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
    load_error_ = "ファイル \"" + path_ + "\". " + SystemMessage(err) + " は開けません";
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
    std::string_view line = Trim(raw);
    if (line.empty() || line[0] == ';') continue;
    if (line.front() == '[' && line.back() == ']' && line.size() >= 2) {
      sections_.push_back(Section{std::string(Trim(line.substr(1, line.size() - 2))), {}, {}, false});
      current = &sections_.back();
      continue;
    }
    if (current == nullptr) continue;  // lines before the first section are dropped
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) {
      current->lines.emplace_back(line);
    } else {
      std::string entry(Trim(line.substr(0, eq)));
      entry += '=';
      entry += Trim(line.substr(eq + 1));
      current->lines.push_back(std::move(entry));
    }
  }
}

const TSettingsStore::Section* TSettingsStore::FindSection(std::string_view name) const {
  if (!section_index_valid_) {
    for (auto& bucket : section_index_) bucket.clear();
    for (size_t i = 0; i < sections_.size(); ++i) section_index_[Bucket(sections_[i].name)].push_back(static_cast<int>(i));
    section_index_valid_ = true;
  }
  // Indexes are in store order, so the first section of a name wins.
  for (int i : section_index_[Bucket(name)]) {
    if (SameName(sections_[i].name, name)) return &sections_[i];
  }
  return nullptr;
}

TSettingsStore::Section* TSettingsStore::FindSection(std::string_view name) {
  return const_cast<Section*>(static_cast<const TSettingsStore*>(this)->FindSection(name));
}

int TSettingsStore::FindEntry(const Section& section, std::string_view key) const {
  if (!section.key_index_valid) {
    for (auto& bucket : section.key_index) bucket.clear();
    for (size_t i = 0; i < section.lines.size(); ++i) {
      const std::string& line = section.lines[i];
      if (line.find('=') == std::string::npos) continue;  // bare lines are never found
      section.key_index[Bucket(KeyOf(line))].push_back(static_cast<int>(i));
    }
    section.key_index_valid = true;
  }
  for (int i : section.key_index[Bucket(key)]) {
    if (SameName(KeyOf(section.lines[i]), key)) return i;
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
  Section* s = FindSection(section);
  if (s == nullptr) {
    sections_.push_back(Section{std::string(section), {}, {}, false});
    section_index_valid_ = false;
    s = &sections_.back();
  }
  std::string entry(key);
  entry += '=';
  entry += value;
  int i = FindEntry(*s, key);
  if (i >= 0) {
    s->lines[i] = std::move(entry);
  } else {
    s->lines.push_back(std::move(entry));
  }
  s->key_index_valid = false;
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
  const std::string text = FileText();
  auto fail = [this](int err) {
    throw Exception("ファイル \"" + path_ + "\". " + SystemMessage(err) + " を作成できません");
  };
  // Write a temporary file beside the target and rename it over, so no failure
  // leaves a half-written settings file.
  std::string temp = path_ + ".XXXXXX";
  int fd = mkstemp(temp.data());
  if (fd < 0) fail(errno);
  struct stat st;
  mode_t mode = (stat(path_.c_str(), &st) == 0) ? (st.st_mode & 07777) : 0644;
  const char* data = text.data();
  size_t left = text.size();
  int err = 0;
  while (left > 0) {
    ssize_t n = write(fd, data, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      err = errno;
      break;
    }
    data += n;
    left -= static_cast<size_t>(n);
  }
  if (err == 0 && fchmod(fd, mode) != 0) err = errno;
  if (err == 0 && fsync(fd) != 0) err = errno;
  if (close(fd) != 0 && err == 0) err = errno;
  if (err == 0 && rename(temp.c_str(), path_.c_str()) != 0) err = errno;
  if (err != 0) {
    unlink(temp.c_str());
    fail(err);
  }
}

}  // namespace quenza
