#pragma once
// The stand-in race server: HTTP validation, server codes, results and results
// page on a TCP port, and time synchronisation on the UDP port of the same number.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "course.h"
#include "results_store.h"
#include "rules.h"

namespace httplib {
class Server;
}

namespace volantis::race_server {

struct ServerOptions {
  std::string bind_address = "127.0.0.1";
  int port = 8080;  // 0: any free port (the same number for UDP)
  int aircraft = 0;
  std::string accepted_version = "2.6";
  bool has_course = false;
  Course course;
  std::string results_path = "race-results.jsonl";
  bool check_players = true;   // results only from a player that validated
  bool code_line_feed = false; // server codes end with a line feed
  bool verbose = true;         // one line per request on stderr
  // "/control?reset=1&rule=OP:ACTION[:COUNT]&forget_players=1&course=ENTRIES"
  // changes the rules (and the course, taken unchecked; reset=1 puts back the
  // course the server started with) while running, and
  // "/echo" answers with the request as it arrived (test harnesses); off unless
  // asked for.
  bool control = false;
  // Where the time_sync:forged rule's datagram comes from: a socket of its own
  // on this address (another port on the server's address when empty).
  std::string forge_address;
};

class RaceServer {
 public:
  RaceServer(const ServerOptions& options, RuleBook& rules);
  ~RaceServer();
  RaceServer(const RaceServer&) = delete;
  RaceServer& operator=(const RaceServer&) = delete;

  // Binds both ports and starts serving; false with a message on failure.
  bool Start(std::string& error);
  void Stop();
  int port() const { return port_; }

  // The answer to one HTTP request, for tests without sockets.
  struct Answer {
    int status = 200;
    std::string body;
    std::string content_type = "text/plain";
    int delay_ms = 0;
    bool silent = false;
    bool down = false;  // reset the connection, no answer at all
  };
  Answer HandleHttp(const std::string& target);
  Answer HandleControl(const std::string& query);
  // What goes back for one time sync datagram: first a forged answer from the
  // forging socket and a stray one from the server's own, when a rule asks for
  // them, then the answer proper (each empty when none is sent).
  struct TimeSyncReply {
    std::string forged;
    std::string stray;
    std::string answer;
    int delay_ms = 0;
  };
  TimeSyncReply ReplyToTimeSync(const std::string& request);
  // The answer proper alone; empty when none is sent.
  std::string HandleTimeSync(const std::string& request, int& delay_ms);

 private:
  std::string IssueCode();
  // Consumes the outstanding code the request was signed with.
  bool CheckCode(const std::string& code, const std::string& version, const std::string& raw_player,
                 std::string& player);
  void UdpLoop();
  bool WaitStopped(int milliseconds);
  void Note(const char* format, ...);

  ServerOptions options_;
  const Course initial_course_;  // what reset=1 puts back
  const bool initial_has_course_;
  RuleBook& rules_;
  ResultsStore results_;
  std::unique_ptr<httplib::Server> http_;
  std::thread http_thread_;
  std::thread udp_thread_;
  int udp_fd_ = -1;
  int forge_fd_ = -1;  // the forging socket
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::mutex lock_;
  std::condition_variable stopped_;
  std::set<std::string> outstanding_codes_;
  std::set<std::string> known_players_;  // as the time sync carries them: 30 characters, "_" for spaces
  uint64_t code_counter_ = 0;
  std::atomic<uint32_t> scramble_seed_{7};
  std::chrono::steady_clock::time_point started_;
};

// The player name as the time sync sends it: first 30 characters, spaces as "_".
std::string TimeSyncPlayerForm(const std::string& name);

}  // namespace volantis::race_server
