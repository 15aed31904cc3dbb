#pragma once
// The user's settings profile: named values grouped in sections, each value a
// text or a 32-bit integer. On Windows the profile is the registry key
// HKEY_CURRENT_USER\Software\Tarvex\TarvexCheck (one subkey per section, texts as
// REG_SZ, integers as REG_DWORD); elsewhere an INI-style file in the user's
// configuration folder that keeps the same sections, names and types.
#include <cstdint>
#include <memory>
#include <string>

namespace volantis {

class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  // False when the value is missing, has the other type or cannot be read;
  // value is then left unchanged.
  virtual bool ReadText(const char* section, const char* name, std::string& value) = 0;
  virtual bool ReadInteger(const char* section, const char* name, uint32_t& value) = 0;
  // False when the value could not be written.
  virtual bool WriteText(const char* section, const char* name, const std::string& value) = 0;
  virtual bool WriteInteger(const char* section, const char* name, uint32_t value) = 0;
};

// The current user's profile of this program.
std::unique_ptr<SettingsStore> OpenUserSettingsStore();

// A profile at an explicit place: on Windows a key path under
// HKEY_CURRENT_USER (e.g. "Software\\Tarvex\\TarvexCheck"), elsewhere a file path.
std::unique_ptr<SettingsStore> OpenSettingsStoreAt(const std::string& location);

}  // namespace volantis
