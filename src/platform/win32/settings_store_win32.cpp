// The settings profile in the registry: one subkey per section under the
// program's key in HKEY_CURRENT_USER; texts are REG_SZ, integers REG_DWORD.
// A value of another type reads as missing.
#include <windows.h>

#include <vector>

#include "platform/settings_store.h"
#include "platform/win32/unique_handle.h"

namespace volantis {
namespace {

constexpr const char* kUserProfileKey = "Software\\Tarvex\\TarvexCheck";

class RegistrySettingsStore : public SettingsStore {
 public:
  explicit RegistrySettingsStore(std::string key_path) : key_path_(std::move(key_path)) {}

  bool ReadText(const char* section, const char* name, std::string& value) override {
    win32::UniqueRegistryKey key = OpenSection(section, KEY_QUERY_VALUE, false);
    if (!key) return false;
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExA(key.get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ) {
      return false;
    }
    // Room for a terminator the stored data may lack; retry if it grew meanwhile.
    for (int attempt = 0; attempt < 3; ++attempt) {
      std::vector<char> buffer(size + 1, '\0');
      DWORD got = size;
      const LONG result = ::RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &got);
      if (result == ERROR_MORE_DATA) {
        size = got;
        continue;
      }
      if (result != ERROR_SUCCESS || type != REG_SZ) return false;
      buffer[got < buffer.size() ? got : buffer.size() - 1] = '\0';
      value.assign(buffer.data());  // up to the first terminator
      return true;
    }
    return false;
  }

  bool ReadInteger(const char* section, const char* name, uint32_t& value) override {
    win32::UniqueRegistryKey key = OpenSection(section, KEY_QUERY_VALUE, false);
    if (!key) return false;
    DWORD type = 0;
    DWORD data = 0;
    DWORD size = sizeof data;
    if (::RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof data) {
      return false;
    }
    value = data;
    return true;
  }

  bool WriteText(const char* section, const char* name, const std::string& value) override {
    win32::UniqueRegistryKey key = OpenSection(section, KEY_SET_VALUE, true);
    if (!key) return false;
    return ::RegSetValueExA(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
  }

  bool WriteInteger(const char* section, const char* name, uint32_t value) override {
    win32::UniqueRegistryKey key = OpenSection(section, KEY_SET_VALUE, true);
    if (!key) return false;
    const DWORD data = value;
    return ::RegSetValueExA(key.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data) ==
           ERROR_SUCCESS;
  }

 private:
  win32::UniqueRegistryKey OpenSection(const char* section, REGSAM access, bool create) const {
    const std::string path = key_path_ + "\\" + section;
    HKEY key = nullptr;
    LONG result;
    if (create) {
      result = ::RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                                 &key, nullptr);
    } else {
      result = ::RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, access, &key);
    }
    return win32::UniqueRegistryKey(result == ERROR_SUCCESS ? key : nullptr);
  }

  std::string key_path_;
};

}  // namespace

std::unique_ptr<SettingsStore> OpenUserSettingsStore() {
  return std::make_unique<RegistrySettingsStore>(kUserProfileKey);
}

std::unique_ptr<SettingsStore> OpenSettingsStoreAt(const std::string& location) {
  return std::make_unique<RegistrySettingsStore>(location);
}

}  // namespace volantis
