// An option of the settings file: its section, key and default, written once
// and read or written through the store by everyone who needs it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "SettingsStore.h"

namespace quenza {

struct TFlagOption {
  std::string_view section, key;
  bool def;
  bool Read(const TSettingsStore& store) const { return store.ReadFlag(section, key, def); }
  void Write(TSettingsStore& store, bool value) const { store.WriteFlag(section, key, value); }
};

struct TIntOption {
  std::string_view section, key;
  std::int32_t def;
  std::int32_t Read(const TSettingsStore& store) const { return store.ReadInt(section, key, def); }
  void Write(TSettingsStore& store, std::int32_t value) const { store.WriteInt(section, key, value); }
};

// Values are Shift_JIS bytes.
struct TTextOption {
  std::string_view section, key;
  std::string_view def;
  std::string Read(const TSettingsStore& store) const { return store.ReadText(section, key, def); }
  void Write(TSettingsStore& store, std::string_view value) const { store.WriteText(section, key, value); }
};

// Options with no default of their own: each stands for something the
// program already holds (where a window stands, the font it shows), and a
// missing key leaves that as it is, so the reader passes it in.
struct TCurrentFlagOption {
  std::string_view section, key;
  bool Read(const TSettingsStore& store, bool current) const { return store.ReadFlag(section, key, current); }
  void Write(TSettingsStore& store, bool value) const { store.WriteFlag(section, key, value); }
};

struct TCurrentIntOption {
  std::string_view section, key;
  std::int32_t Read(const TSettingsStore& store, std::int32_t current) const {
    return store.ReadInt(section, key, current);
  }
  void Write(TSettingsStore& store, std::int32_t value) const { store.WriteInt(section, key, value); }
};

// Values are Shift_JIS bytes.
struct TCurrentTextOption {
  std::string_view section, key;
  std::string Read(const TSettingsStore& store, std::string_view current) const {
    return store.ReadText(section, key, current);
  }
  void Write(TSettingsStore& store, std::string_view value) const { store.WriteText(section, key, value); }
};

}  // namespace quenza
