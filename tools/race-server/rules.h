#pragma once
// Scripted misbehaviour: "OP:ACTION[:COUNT]" rules that replace the normal
// answer to an exchange, used in order, each COUNT times (default: always).
//   OP: get_code, do_validate, submit_race_results, show_race_results, time_sync
//   HTTP ACTION: a status (400, 401, 403, 404, 405, 406, 500 ...; "405=TEXT" answers
//     "Tarvex Error: TEXT"), silent (accept, never answer), slow=MS (answer late),
//     huge=BYTES (200 with a body of that size and no line feeds), garbage (200
//     with binary bytes), down (reset the connection without an answer, as a
//     client sees a server that is not running); submit_race_results only:
//     take-then-down (record the results, then reset the connection without an
//     answer, as a server that fails after taking them)
//   time_sync ACTION: silent, slow=MS, error=WORDS ("Time sync error: WORDS"),
//     old-version, wrong-id, garbage, full (100 bytes, no zero byte), forged (first
//     an answer naming another aircraft from another address or port, then the
//     usual one), wrong-id-first (first an answer to the request before, then the
//     usual one)
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace volantis::race_server {

struct Action {
  std::string kind;   // "status", "silent", "slow", "huge", "garbage", "down", "take-then-down", "error", "old-version", "wrong-id",
                      // "full", "forged", "wrong-id-first"
  int number = 0;     // status, milliseconds or bytes
  std::string text;   // 405 message or error words
};

struct Rule {
  std::string op;
  Action action;
  int remaining = -1;  // -1: always
};

// False with a message for a rule that does not read.
bool ParseRule(const std::string& text, Rule& rule, std::string& error);

class RuleBook {
 public:
  void Add(const Rule& rule) {
    std::lock_guard<std::mutex> guard(lock_);
    rules_.push_back(rule);
  }
  void Clear() {
    std::lock_guard<std::mutex> guard(lock_);
    rules_.clear();
  }
  // The action for the next request of op, if a rule applies (and uses it up once).
  std::optional<Action> Next(const std::string& op);

 private:
  std::mutex lock_;
  std::vector<Rule> rules_;
};

}  // namespace volantis::race_server
