#include "race_server.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>

#include "query.h"
#include "scramble.h"
#include "server/digest.h"

namespace volantis::race_server {

namespace {

constexpr std::size_t kOutstandingCodesMax = 256;

std::string LocalTimeText() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof(text), "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

std::string Param(const std::map<std::string, std::string>& query, const char* key) {
  auto found = query.find(key);
  return found == query.end() ? std::string() : found->second;
}

std::string GarbageBytes(std::size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& ch : bytes) ch = static_cast<char>(random() & 0xFF);
  return bytes;
}

bool SameEnd(const sockaddr_in& end, const std::string& address, int port) {
  char text[INET_ADDRSTRLEN] = {};
  return end.sin_family == AF_INET && ntohs(end.sin_port) == port &&
         inet_ntop(AF_INET, &end.sin_addr, text, sizeof(text)) != nullptr && address == text;
}

// Resets the connection request came on, as a client sees a server that is not
// running (or has just died): no status line, no byte. cpp-httplib does not hand
// a handler its socket, so it is the descriptor whose two ends are the request's.
// The socket is closed under a zero linger (a reset) by putting /dev/null in its
// place, so the descriptor cpp-httplib goes on to write its answer to and close
// stays valid and goes nowhere.
bool ResetConnection(const httplib::Request& request) {
  DIR* descriptors = ::opendir("/proc/self/fd");
  if (descriptors == nullptr) return false;
  int found = -1;
  while (dirent* entry = ::readdir(descriptors)) {
    const int fd = std::atoi(entry->d_name);
    if (entry->d_name[0] < '0' || entry->d_name[0] > '9' || fd == ::dirfd(descriptors)) continue;
    sockaddr_in local{};
    sockaddr_in peer{};
    socklen_t local_size = sizeof(local);
    socklen_t peer_size = sizeof(peer);
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &local_size) != 0 ||
        ::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peer_size) != 0) {
      continue;
    }
    if (SameEnd(peer, request.remote_addr, request.remote_port) &&
        SameEnd(local, request.local_addr, request.local_port)) {
      found = fd;
      break;
    }
  }
  ::closedir(descriptors);
  if (found < 0) return false;
  const linger reset{1, 0};
  ::setsockopt(found, SOL_SOCKET, SO_LINGER, &reset, sizeof(reset));
  const int nothing = ::open("/dev/null", O_RDWR | O_CLOEXEC);
  if (nothing < 0) return false;
  const bool replaced = ::dup2(nothing, found) == found;
  ::close(nothing);
  return replaced;
}

}  // namespace

std::string TimeSyncPlayerForm(const std::string& name) {
  std::string form = name.substr(0, 30);
  for (char& ch : form) {
    if (ch == ' ') ch = '_';
  }
  return form;
}

RaceServer::RaceServer(const ServerOptions& options, RuleBook& rules)
    : options_(options),
      initial_course_(options.course),
      initial_has_course_(options.has_course),
      rules_(rules),
      results_(options.results_path),
      started_(std::chrono::steady_clock::now()) {}

RaceServer::~RaceServer() { Stop(); }

void RaceServer::Note(const char* format, ...) {
  if (!options_.verbose) return;
  va_list args;
  va_start(args, format);
  std::fprintf(stderr, "race-server: ");
  std::vfprintf(stderr, format, args);
  std::fprintf(stderr, "\n");
  va_end(args);
}

bool RaceServer::WaitStopped(int milliseconds) {
  std::unique_lock<std::mutex> guard(lock_);
  return stopped_.wait_for(guard, std::chrono::milliseconds(milliseconds), [this] { return stopping_.load(); });
}

std::string RaceServer::IssueCode() {
  std::lock_guard<std::mutex> guard(lock_);
  std::random_device entropy;
  std::string code = std::to_string(++code_counter_ * 100000 + entropy() % 100000);
  if (options_.code_line_feed) code += '\n';
  if (outstanding_codes_.size() >= kOutstandingCodesMax) outstanding_codes_.erase(outstanding_codes_.begin());
  outstanding_codes_.insert(code);
  return code;
}

bool RaceServer::CheckCode(const std::string& code, const std::string& version, const std::string& raw_player,
                           std::string& player) {
  const std::vector<std::string> readings = PlayerReadings(raw_player);
  std::lock_guard<std::mutex> guard(lock_);
  for (auto issued = outstanding_codes_.begin(); issued != outstanding_codes_.end(); ++issued) {
    for (const std::string& reading : readings) {
      if (ValidationCode(*issued, version, reading) == code) {
        player = reading;
        outstanding_codes_.erase(issued);  // each code signs one request
        return true;
      }
    }
  }
  return false;
}

RaceServer::Answer RaceServer::HandleHttp(const std::string& target) {
  Answer answer;
  const std::size_t question = target.find('?');
  const std::string path = target.substr(0, question);
  const auto query = SplitQuery(question == std::string::npos ? std::string() : target.substr(question + 1));
  const std::string op = Param(query, "op");
  if (path == "/control" && options_.control) {
    return HandleControl(question == std::string::npos ? std::string() : target.substr(question + 1));
  }
  if (path != "/validate" || op.empty()) {
    answer.status = 404;
    answer.body = "Not found";
    return answer;
  }

  bool down_after = false;  // take-then-down: the usual work, then no answer
  if (std::optional<Action> action = rules_.Next(op)) {
    Note("%s: scripted %s %d", op.c_str(), action->kind.c_str(), action->number);
    if (action->kind == "status") {
      answer.status = action->number;
      answer.body = !action->text.empty() ? "Tarvex Error: " + action->text : "Error " + std::to_string(action->number);
      return answer;
    }
    if (action->kind == "silent") {
      answer.silent = true;
      return answer;
    }
    if (action->kind == "down") {
      answer.down = true;
      return answer;
    }
    if (action->kind == "huge") {
      answer.body.assign(static_cast<std::size_t>(action->number), 'X');
      for (std::size_t i = 0; i < answer.body.size(); ++i) answer.body[i] = static_cast<char>('A' + i % 26);
      return answer;
    }
    if (action->kind == "garbage") {
      answer.body = GarbageBytes(4096, scramble_seed_++);
      answer.content_type = "application/octet-stream";
      return answer;
    }
    if (action->kind == "slow") answer.delay_ms = action->number;  // then the usual answer
    down_after = action->kind == "take-then-down";
  }

  const std::string version = PercentDecode(Param(query, "ver"), true);
  if (op == "get_code") {
    answer.body = IssueCode();
    Note("get_code: issued %s", answer.body.c_str());
    return answer;
  }
  if (op == "show_race_results") {
    answer.body = results_.HtmlPage();
    answer.content_type = "text/html";
    return answer;
  }
  if (op == "do_validate") {
    if (version != options_.accepted_version) {
      answer.status = 403;
      answer.body = "Version not accepted";
      return answer;
    }
    const std::string result = Param(query, "result");
    if (result == "0") {
      Note("do_validate: failed validation of %s: %s", PercentDecode(Param(query, "player"), true).c_str(),
           PercentDecode(Param(query, "error"), true).c_str());
      answer.body = "Failed validation recorded";
      return answer;
    }
    std::string player;
    if (result != "1" || !CheckCode(Param(query, "code"), version, Param(query, "player"), player)) {
      Note("do_validate: code does not match");
      answer.status = 400;
      answer.body = "Invalid data";
      return answer;
    }
    if (std::atoi(Param(query, "aircraft").c_str()) != options_.aircraft) {
      answer.status = 406;
      answer.body = "Wrong aircraft";
      return answer;
    }
    {
      std::lock_guard<std::mutex> guard(lock_);
      known_players_.insert(TimeSyncPlayerForm(player));
    }
    Note("do_validate: %s validated", player.c_str());
    std::string race_start_info;
    {
      std::lock_guard<std::mutex> guard(lock_);
      if (options_.has_course) race_start_info = options_.course.race_start_info;
    }
    if (!race_start_info.empty()) {
      answer.body = "Tarvex data: " + ScrambleServerData(race_start_info, scramble_seed_++);
    } else {
      answer.body = "Validation ok, no race running";
    }
    return answer;
  }
  if (op == "submit_race_results") {
    if (version != options_.accepted_version) {
      answer.status = 403;
      answer.body = "Version not accepted";
      return answer;
    }
    std::string player;
    if (!CheckCode(Param(query, "code"), version, Param(query, "player"), player)) {
      Note("submit_race_results: code does not match");
      answer.status = 400;
      answer.body = "Invalid data";
      return answer;
    }
    if (options_.check_players) {
      std::lock_guard<std::mutex> guard(lock_);
      if (known_players_.count(TimeSyncPlayerForm(player)) == 0) {
        answer.status = 401;
        answer.body = "Unknown player";
        return answer;
      }
    }
    ResultRecord record;
    record.received_at = LocalTimeText();
    record.player = player;
    record.version = version;
    record.lap_times = PercentDecode(Param(query, "lap_times"), false);
    record.lap_skips = PercentDecode(Param(query, "lap_skips"), false);
    record.race_time = std::atof(Param(query, "race_time").c_str());
    record.finish_secs = std::atof(Param(query, "finish_secs").c_str());
    record.sync_delay = std::atof(Param(query, "sync_delay").c_str());
    record.moved_too_fast = std::atoi(Param(query, "moved_too_fast").c_str());
    record.cheated_crash_detect = std::atoi(Param(query, "cheated_crash_detect").c_str());
    record.slewed = std::atoi(Param(query, "slewed").c_str());
    record.cheated_sim_rate = std::atoi(Param(query, "cheated_sim_rate").c_str());
    if (!results_.Add(record)) Note("cannot write the results file");
    Note("submit_race_results: %s, laps %s", player.c_str(), record.lap_times.c_str());
    answer.body = "Results recorded";
    answer.down = down_after;
    if (down_after) answer.body.clear();
    return answer;
  }
  answer.status = 404;
  answer.body = "Unknown operation";
  return answer;
}

RaceServer::Answer RaceServer::HandleControl(const std::string& raw_query) {
  Answer answer;
  const auto query = SplitQuery(raw_query);
  if (Param(query, "reset") == "1") {
    rules_.Clear();
    std::lock_guard<std::mutex> guard(lock_);
    options_.course = initial_course_;
    options_.has_course = initial_has_course_;
  }
  if (Param(query, "forget_players") == "1") {
    std::lock_guard<std::mutex> guard(lock_);
    known_players_.clear();
  }
  if (query.count("course") != 0) {
    // Taken as it is, unchecked, so a harness can send a course no race
    // director would (not a number, out of range); empty: no course.
    const std::string entries = PercentDecode(Param(query, "course"), false);
    std::lock_guard<std::mutex> guard(lock_);
    options_.has_course = !entries.empty();
    options_.course = Course{};
    if (options_.has_course) options_.course.race_start_info = "Race start info: " + entries;
  }
  // Every rule= of the query, in order.
  std::size_t start = 0;
  while (start < raw_query.size()) {
    std::size_t end = raw_query.find('&', start);
    if (end == std::string::npos) end = raw_query.size();
    const std::string pair = raw_query.substr(start, end - start);
    if (pair.rfind("rule=", 0) == 0) {
      Rule rule;
      std::string error;
      if (!ParseRule(PercentDecode(pair.substr(5), true), rule, error)) {
        answer.status = 400;
        answer.body = error;
        return answer;
      }
      rules_.Add(rule);
    }
    start = end + 1;
  }
  answer.body = "ok";
  return answer;
}

std::string RaceServer::HandleTimeSync(const std::string& datagram, int& delay_ms) {
  TimeSyncReply reply = ReplyToTimeSync(datagram);
  delay_ms = reply.delay_ms;
  return reply.answer;
}

RaceServer::TimeSyncReply RaceServer::ReplyToTimeSync(const std::string& datagram) {
  TimeSyncReply reply;
  const std::string request(datagram.c_str());  // up to the zero byte the module sends
  int id = 0;
  char version[64] = {};
  char player[128] = {};
  const bool parsed =
      std::sscanf(request.c_str(), "Time sync request %d version %63s player %127s", &id, version, player) == 3;
  const double server_time =
      1000.0 + std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
  auto response = [&](int answer_id, int aircraft) {
    char text[128];
    std::snprintf(text, sizeof(text), "Time sync response %d time %f aircraft %d", answer_id, server_time, aircraft);
    return std::string(text) + '\0';
  };
  auto answer = [&](std::string text) {
    reply.answer = std::move(text);
    return reply;
  };

  if (std::optional<Action> action = rules_.Next("time_sync")) {
    Note("time_sync: scripted %s %d", action->kind.c_str(), action->number);
    if (action->kind == "silent") return reply;
    if (action->kind == "error") return answer("Time sync error: " + action->text + '\0');
    if (action->kind == "old-version") return answer(std::string("Time sync error: old-version") + '\0');
    if (action->kind == "wrong-id") return answer(response(id - 1, options_.aircraft));
    if (action->kind == "garbage") return answer(GarbageBytes(100, scramble_seed_++));
    if (action->kind == "full") {
      std::string full = response(id, options_.aircraft);
      full.pop_back();
      full.resize(100, ' ');
      return answer(full);
    }
    if (action->kind == "slow") reply.delay_ms = action->number;
    // A stranger who has seen the request answers first, naming another
    // aircraft; then the server answers as usual.
    if (action->kind == "forged") reply.forged = response(id, options_.aircraft + 1);
    // A late answer to the request before, then the usual one.
    if (action->kind == "wrong-id-first") reply.stray = response(id - 1, options_.aircraft + 1);
  }
  if (!parsed) return answer(std::string("Time sync error: bad-request") + '\0');
  if (options_.accepted_version != version) return answer(std::string("Time sync error: old-version") + '\0');
  {
    std::lock_guard<std::mutex> guard(lock_);
    known_players_.insert(player);
  }
  return answer(response(id, options_.aircraft));
}

bool RaceServer::Start(std::string& error) {
  http_ = std::make_unique<httplib::Server>();
  http_->set_keep_alive_max_count(1);
  http_->Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
    if (options_.control && request.path == "/echo") {
      // What arrived, for tests of the client's request: target, agent, header names.
      std::string echo = "target=" + request.target + "\nagent=" + request.get_header_value("User-Agent") + "\n";
      for (const auto& header : request.headers) echo += "header=" + header.first + "\n";
      response.set_content(echo, "text/plain");
      return;
    }
    Answer answer = HandleHttp(request.target);
    if (options_.verbose) {
      Note("HTTP %s -> %d", request.target.c_str(), answer.silent || answer.down ? 0 : answer.status);
    }
    if (answer.down) {
      if (!ResetConnection(request)) {
        Note("down: the connection of %s:%d was not found; answering 500", request.remote_addr.c_str(),
             request.remote_port);
        response.status = 500;
      }
      return;
    }
    if (answer.silent) {
      WaitStopped(600000);  // says nothing until the client gives up or the server stops
      response.status = 500;
      return;
    }
    if (answer.delay_ms > 0 && WaitStopped(answer.delay_ms)) return;
    response.status = answer.status;
    response.set_content(answer.body, answer.content_type.c_str());
  });

  sockaddr_in address{};
  address.sin_family = AF_INET;
  if (inet_pton(AF_INET, options_.bind_address.c_str(), &address.sin_addr) != 1) {
    error = "not an IPv4 address: " + options_.bind_address;
    return false;
  }
  for (int attempt = 0; attempt < 20; ++attempt) {
    udp_fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (udp_fd_ < 0) {
      error = std::string("cannot create the UDP socket: ") + std::strerror(errno);
      return false;
    }
    address.sin_port = htons(static_cast<uint16_t>(options_.port));
    if (::bind(udp_fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
      error = "cannot bind UDP port " + std::to_string(options_.port) + ": " + std::strerror(errno);
      ::close(udp_fd_);
      udp_fd_ = -1;
      return false;
    }
    socklen_t size = sizeof(address);
    ::getsockname(udp_fd_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
    if (http_->bind_to_port(options_.bind_address, port_)) break;
    ::close(udp_fd_);
    udp_fd_ = -1;
    if (options_.port != 0) {
      error = "cannot bind TCP port " + std::to_string(options_.port);
      return false;
    }
  }
  if (udp_fd_ < 0) {
    error = "no free port found for both TCP and UDP";
    return false;
  }
  sockaddr_in forge{};
  forge.sin_family = AF_INET;
  const std::string& forge_address = options_.forge_address.empty() ? options_.bind_address : options_.forge_address;
  forge_fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (forge_fd_ < 0 || inet_pton(AF_INET, forge_address.c_str(), &forge.sin_addr) != 1 ||
      ::bind(forge_fd_, reinterpret_cast<sockaddr*>(&forge), sizeof(forge)) != 0) {
    error = "cannot bind the forging UDP socket to " + forge_address + ": " + std::strerror(errno);
    if (forge_fd_ >= 0) ::close(forge_fd_);
    forge_fd_ = -1;
    ::close(udp_fd_);
    udp_fd_ = -1;
    return false;
  }
  http_thread_ = std::thread([this] { http_->listen_after_bind(); });
  udp_thread_ = std::thread([this] { UdpLoop(); });
  Note("listening on %s port %d (HTTP and UDP)", options_.bind_address.c_str(), port_);
  return true;
}

void RaceServer::UdpLoop() {
  while (!stopping_) {
    pollfd entry{udp_fd_, POLLIN, 0};
    if (::poll(&entry, 1, 200) <= 0) continue;
    char buffer[512];
    sockaddr_in sender{};
    socklen_t sender_size = sizeof(sender);
    ssize_t got = ::recvfrom(udp_fd_, buffer, sizeof(buffer), 0, reinterpret_cast<sockaddr*>(&sender), &sender_size);
    if (got <= 0) continue;
    const TimeSyncReply reply = ReplyToTimeSync(std::string(buffer, static_cast<std::size_t>(got)));
    Note("UDP %.*s -> %zu bytes", static_cast<int>(strnlen(buffer, static_cast<std::size_t>(got))), buffer,
         reply.answer.size());
    if (!reply.forged.empty()) {
      ::sendto(forge_fd_, reply.forged.data(), reply.forged.size(), 0, reinterpret_cast<sockaddr*>(&sender),
               sender_size);
    }
    if (!reply.stray.empty()) {
      ::sendto(udp_fd_, reply.stray.data(), reply.stray.size(), 0, reinterpret_cast<sockaddr*>(&sender), sender_size);
    }
    if (reply.answer.empty()) continue;
    // The answer proper comes a moment later, so the one before is read first.
    const int delay_ms = reply.delay_ms > 0 ? reply.delay_ms : (reply.forged.empty() && reply.stray.empty() ? 0 : 50);
    if (delay_ms > 0 && WaitStopped(delay_ms)) break;
    ::sendto(udp_fd_, reply.answer.data(), reply.answer.size(), 0, reinterpret_cast<sockaddr*>(&sender), sender_size);
  }
}

void RaceServer::Stop() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (stopping_) return;
    stopping_ = true;
  }
  stopped_.notify_all();
  if (http_) http_->stop();
  if (http_thread_.joinable()) http_thread_.join();
  if (udp_thread_.joinable()) udp_thread_.join();
  if (udp_fd_ >= 0) ::close(udp_fd_);
  udp_fd_ = -1;
  if (forge_fd_ >= 0) ::close(forge_fd_);
  forge_fd_ = -1;
}

}  // namespace volantis::race_server
