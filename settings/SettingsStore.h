// The settings store: the one in-memory copy of the INI settings file. Loaded
// once from disk, read and written by every part of the program, and written
// back whole only when the main window closes. Names of sections and keys
// compare without regard to ASCII letter case; values are Shift_JIS bytes.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quenza {

class TSettingsStore {
 public:
  // Loads `path`; a missing file gives an empty store. A file that exists but
  // cannot be read also gives an empty store, with LoadError() telling why;
  // such a store refuses to overwrite that file (see WriteBackAllowed).
  explicit TSettingsStore(std::string path);

  // The open-error text ("ファイル "%s". %s は開けません"), empty when loading went well.
  const std::string& LoadError() const { return loadError_; }

  const std::string& FileName() const { return path_; }

  std::string ReadText(std::string_view section, std::string_view key, std::string_view def) const;
  int32_t ReadInt(std::string_view section, std::string_view key, int32_t def) const;
  bool ReadFlag(std::string_view section, std::string_view key, bool def) const;
  void WriteText(std::string_view section, std::string_view key, std::string_view value);
  void WriteInt(std::string_view section, std::string_view key, int32_t value);
  void WriteFlag(std::string_view section, std::string_view key, bool value);

  // Rewrites the file from the store, atomically (a temporary file beside it,
  // then a rename; a symbolic link is written through). Raises Exception with
  // the create-error text on failure.
  void WriteBack();

  // False when the file existed at start but could not be read: writing the
  // store back would replace the user's settings with defaults.
  bool WriteBackAllowed() const { return loadError_.empty(); }

  // The whole file text WriteBack would write (CR LF lines).
  std::string FileText() const;

  // Changes whenever the store's contents may have changed (every write),
  // and differs between stores: a reader that keeps values it read may keep
  // them for as long as the generation stays the same.
  std::uint64_t Generation() const { return generation_; }

 private:
  struct Section {
    std::string name;
    std::vector<std::string> lines;  // "key=value", or a bare line kept as read
    // Key index: bucket -> entry indexes; rebuilt on the next lookup after a change.
    mutable std::array<std::vector<int>, 256> keyIndex;
    mutable bool keyIndexValid = false;
  };

  void Load();
  Section* FindSection(std::string_view name);
  const Section* FindSection(std::string_view name) const;
  int FindEntry(const Section& section, std::string_view key) const;

  std::string path_;
  std::vector<Section> sections_;
  mutable std::array<std::vector<int>, 256> sectionIndex_;
  mutable bool sectionIndexValid_ = false;
  std::string loadError_;
  std::uint64_t generation_;
};

// Parses a settings integer: decimal, or hexadecimal after "$", "x", "X",
// "0x" or "0X", with optional leading blanks and sign. False when the text is
// not a whole 32-bit signed number.
bool ParseSettingsInt(std::string_view text, int32_t& value);

}  // namespace quenza
