#pragma once
// In-memory profile and hot-key registrar for the settings tests.
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "core/hot_key.h"
#include "platform/settings_store.h"

namespace volantis::testing {

class MemorySettingsStore : public SettingsStore {
 public:
  using Value = std::variant<std::string, uint32_t>;

  bool ReadText(const char* section, const char* name, std::string& value) override {
    auto found = values.find(Key(section, name));
    if (found == values.end() || !std::holds_alternative<std::string>(found->second)) return false;
    value = std::get<std::string>(found->second);
    return true;
  }
  bool ReadInteger(const char* section, const char* name, uint32_t& value) override {
    auto found = values.find(Key(section, name));
    if (found == values.end() || !std::holds_alternative<uint32_t>(found->second)) return false;
    value = std::get<uint32_t>(found->second);
    return true;
  }
  bool WriteText(const char* section, const char* name, const std::string& value) override {
    written.push_back(name);
    values[Key(section, name)] = value;
    return true;
  }
  bool WriteInteger(const char* section, const char* name, uint32_t value) override {
    written.push_back(name);
    values[Key(section, name)] = value;
    return true;
  }

  void Put(const char* name, Value value) { values[Key("Settings", name)] = std::move(value); }
  std::optional<uint32_t> Integer(const char* name) const {
    auto found = values.find(Key("Settings", name));
    if (found == values.end() || !std::holds_alternative<uint32_t>(found->second)) return std::nullopt;
    return std::get<uint32_t>(found->second);
  }
  std::optional<std::string> Text(const char* name) const {
    auto found = values.find(Key("Settings", name));
    if (found == values.end() || !std::holds_alternative<std::string>(found->second)) return std::nullopt;
    return std::get<std::string>(found->second);
  }

  static std::string Key(const char* section, const char* name) { return std::string(section) + "\\" + name; }

  std::map<std::string, Value> values;
  std::vector<std::string> written;  // names in the order they were written
};

class FakeHotKeys : public HotKeyRegistrar {
 public:
  struct Call {
    std::string what;  // "register" or "unregister"
    uint32_t modifier_keys = 0;
    uint32_t key_code = 0;
  };

  HotKeyResult Register(uint32_t modifier_keys, uint32_t key_code) override {
    calls.push_back({"register", modifier_keys, key_code});
    return register_result;
  }
  HotKeyResult Unregister() override {
    calls.push_back({"unregister", 0, 0});
    return unregister_result;
  }
  std::string ErrorText(uint32_t error) override { return error == 5 ? "Access is denied.\r\n" : ""; }

  std::vector<Call> calls;
  HotKeyResult register_result{true, 0};
  HotKeyResult unregister_result{true, 0};
};

}  // namespace volantis::testing
