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

}  // namespace quenza
