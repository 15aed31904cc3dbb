#include "rules.h"

#include <cstdlib>

namespace volantis::race_server {

namespace {

bool ReadNumber(const std::string& text, int& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  long number = std::strtol(text.c_str(), &end, 10);
  if (*end != '\0' || number < 0 || number > 1000000000L) return false;
  value = static_cast<int>(number);
  return true;
}

bool ParseAction(const std::string& op, const std::string& text, Action& action) {
  const bool udp = op == "time_sync";
  std::string name = text;
  std::string argument;
  std::size_t equals = text.find('=');
  if (equals != std::string::npos) {
    name = text.substr(0, equals);
    argument = text.substr(equals + 1);
  }
  if (name == "silent" || name == "garbage") {
    action.kind = name;
    return argument.empty();
  }
  if (name == "slow") {
    action.kind = name;
    return ReadNumber(argument, action.number);
  }
  if (udp) {
    if (name == "error") {
      action.kind = name;
      action.text = argument;
      return !argument.empty();
    }
    if (name == "old-version" || name == "wrong-id" || name == "full" || name == "forged" ||
        name == "wrong-id-first") {
      action.kind = name;
      return argument.empty();
    }
    return false;
  }
  if (name == "down") {
    action.kind = name;
    return argument.empty();
  }
  if (name == "take-then-down" && op == "submit_race_results") {
    action.kind = name;
    return argument.empty();
  }
  if (name == "huge") {
    action.kind = name;
    return ReadNumber(argument, action.number) && action.number <= (256 << 20);  // at most 256 MiB
  }
  action.kind = "status";
  if (!ReadNumber(name, action.number) || action.number < 100 || action.number > 999) return false;
  action.text = argument;
  return true;
}

}  // namespace

bool ParseRule(const std::string& text, Rule& rule, std::string& error) {
  error = "rule \"" + text + "\" should read OP:ACTION[:COUNT]";
  std::size_t first = text.find(':');
  if (first == std::string::npos) return false;
  rule.op = text.substr(0, first);
  if (rule.op != "get_code" && rule.op != "do_validate" && rule.op != "submit_race_results" &&
      rule.op != "show_race_results" && rule.op != "time_sync") {
    error = "unknown exchange \"" + rule.op + "\" in rule \"" + text + "\"";
    return false;
  }
  std::string rest = text.substr(first + 1);
  rule.remaining = -1;
  std::size_t last = rest.rfind(':');
  int count = 0;
  if (last != std::string::npos && ReadNumber(rest.substr(last + 1), count)) {
    if (count == 0) return false;
    rule.remaining = count;
    rest = rest.substr(0, last);
  }
  if (!ParseAction(rule.op, rest, rule.action)) {
    error = "unknown action \"" + rest + "\" for " + rule.op + " in rule \"" + text + "\"";
    return false;
  }
  return true;
}

std::optional<Action> RuleBook::Next(const std::string& op) {
  std::lock_guard<std::mutex> guard(lock_);
  for (Rule& rule : rules_) {
    if (rule.op != op || rule.remaining == 0) continue;
    if (rule.remaining > 0) --rule.remaining;
    return rule.action;
  }
  return std::nullopt;
}

}  // namespace volantis::race_server
