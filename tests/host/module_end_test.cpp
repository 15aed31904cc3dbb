// The module's end with each kind of worker mid-flight: the end breaks off
// every wait and blocking call and returns within its bound, and a worker
// stuck beyond the bound keeps the whole object graph alive until it has
// ended, whoever let go of it meanwhile. Run under AddressSanitizer (a freed
// object touched by a late worker) and ThreadSanitizer (the hand-over at the
// end).
#include "app/module_core.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "../support/record_files_in.h"
#include "host/command_ids.h"
#include "host/host_values.h"
#include "platform/buffer_host_memory.h"
#include "platform/parsed_profile_reader.h"
#include "server/submission_fields.h"
#include "silent_tcp_server.h"

namespace volantis {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

// Sounds and posted commands in the order they happen, from any thread.
class Recorder {
 public:
  void Add(std::string event) {
    std::lock_guard<std::mutex> guard(lock_);
    events_.push_back(std::move(event));
  }
  bool Has(const std::string& event) {
    std::lock_guard<std::mutex> guard(lock_);
    return std::find(events_.begin(), events_.end(), event) != events_.end();
  }
  std::vector<std::string> After(const std::string& marker) {
    std::lock_guard<std::mutex> guard(lock_);
    std::vector<std::string> later;
    bool seen = false;
    for (const std::string& event : events_) {
      if (seen) later.push_back(event);
      if (event == marker) seen = true;
    }
    return later;
  }

 private:
  std::mutex lock_;
  std::vector<std::string> events_;
};

class RecordingSounds : public SoundPlayer {
 public:
  explicit RecordingSounds(Recorder& recorder) : recorder_(recorder) {}
  void Play(const char* name) override { recorder_.Add(std::string("play ") + name); }
  void Stop() override { recorder_.Add("stop"); }

 private:
  Recorder& recorder_;
};

// The core owns its poster, so this one also tells when the core is freed
// (on whichever thread lets go last).
class RecordingPoster : public HostPoster {
 public:
  RecordingPoster(Recorder& recorder, Event& freed) : recorder_(recorder), freed_(freed) {}
  ~RecordingPoster() override { freed_.Set(); }
  void PostCommand(uint32_t command) override { recorder_.Add("post " + std::to_string(command)); }

 private:
  Recorder& recorder_;
  Event& freed_;
};

// Answers through a function (by default: the server cannot be reached).
class ScriptedHttp : public HttpTransport {
 public:
  std::function<HttpResult(const HttpRequest&)> answer;
  std::atomic<int> calls{0};
  HttpResult HttpGet(const HttpRequest& request) override {
    ++calls;
    if (answer) return answer(request);
    HttpResult refused;
    refused.status = kInternetCannotConnect;
    refused.error_text = "A connection with the server could not be established";
    return refused;
  }
};

// The race server's datagram side: silent (every wait runs its full time unless
// cancelled), or answering every request at once when answering is set.
class FakeUdpChannel : public UdpChannel {
 public:
  std::atomic<bool> answering{false};
  Event waiting{true, false};  // a wait for an answer has begun

  SocketLibraryStart StartLibrary() override { return SocketLibraryStart::kStarted; }
  void StopLibrary() override {}
  std::unique_ptr<UdpSocket> OpenSocket(int&) override { return std::make_unique<Socket>(*this); }
  int Resolve(const std::string&, UdpAddress& address) override {
    address = UdpAddress{{127, 0, 0, 1}, 0};
    return 0;
  }

 private:
  class Socket : public UdpSocket {
   public:
    explicit Socket(FakeUdpChannel& owner) : owner_(owner) {}
    int Bind(uint16_t) override { return 0; }
    int SendTo(const UdpAddress& to, const void* data, std::size_t) override {
      server_ = to;
      std::sscanf(static_cast<const char*>(data), "Time sync request %d", &id_);
      return 0;
    }
    UdpWait WaitReadable(uint32_t milliseconds, CancelSignal* cancel, int&) override {
      owner_.waiting.Set();
      if (owner_.answering) return UdpWait::kReadable;
      Event never(true, false);
      if (cancel == nullptr) return never.Wait(milliseconds), UdpWait::kTimeout;
      return cancel->WaitCancelled(milliseconds) ? UdpWait::kCancelled : UdpWait::kTimeout;
    }
    int ReceiveFrom(void* buffer, std::size_t capacity, std::size_t& received, UdpAddress& from) override {
      const int length =
          std::snprintf(static_cast<char*>(buffer), capacity, "Time sync response %d time 1000.5 aircraft 0", id_);
      received = static_cast<std::size_t>(length) + 1;
      from = server_;
      return 0;
    }

   private:
    FakeUdpChannel& owner_;
    UdpAddress server_;
    int id_ = 0;
  };
};

// The executable search of a validation: a step that takes step_ms, entered
// signalled. A long step stands for one that nothing can break off.
class SlowProcessList : public ProcessList {
 public:
  std::atomic<uint32_t> step_ms{300};
  Event entered{true, false};
  Event release{true, false};

  bool SnapshotProcesses(std::vector<ProcessEntry>* processes) override {
    entered.Set();
    release.Wait(step_ms);
    *processes = {{4, "C:\\Sim\\fs9.exe"}};
    return true;
  }
  FirstModuleResult FirstModule(uint32_t) override { return {}; }
  uint32_t OwnProcessId() override { return 7; }
};

// The host's memory, with realism settings that pass; counts the monitor's
// reads, and can hold the monitor's first look-up until released.
class WatchedHostMemory : public BufferHostMemory {
 public:
  WatchedHostMemory() {
    Write<int8_t>(kOffsetCrashDetection, 1);
    Write<int8_t>(kOffsetCollisions, 0);
    Write<int16_t>(kOffsetSimulationRate, 256);
  }
  std::atomic<bool> hold_attach{false};
  Event attach_entered{true, false};
  Event release{true, false};
  mutable std::atomic<int> latitude_reads{0};

  bool Attach() override {
    if (hold_attach) {
      attach_entered.Set();
      release.Wait(60000);
    }
    return BufferHostMemory::Attach();
  }
  // A flight of longitudes along latitude 0.005, one per cycle, when set
  // before the core is built; then it stays at the last.
  std::vector<double> flight;
  int64_t ReadInt64(uint32_t offset) const override {
    if (offset == kOffsetLatitude) {
      const int cycle = latitude_reads++;
      if (flight.empty()) return BufferHostMemory::ReadInt64(offset);
      current_lon_ = flight[std::min(static_cast<std::size_t>(cycle), flight.size() - 1)];
      return static_cast<int64_t>(0.005 / 2.0951091487837895e-15);
    }
    if (offset == kOffsetLongitude && !flight.empty()) {
      return static_cast<int64_t>(current_lon_.load() / 1.951563910473908e-17);
    }
    return BufferHostMemory::ReadInt64(offset);
  }

 private:
  mutable std::atomic<double> current_lon_{0};
};

// The race records' files; opening a log.txt blocks while stalled, as on a
// data folder that stopped answering.
class StallingRecordFiles : public testing::RecordFilesIn {
 public:
  using RecordFilesIn::RecordFilesIn;
  std::atomic<bool> stall{false};
  Event entered{true, false};
  Event release{true, false};
  UniqueFile Open(const std::string& path, const char* mode) override {
    if (stall && path.size() >= 7 && path.compare(path.size() - 7, 7, "log.txt") == 0) {
      entered.Set();
      release.Wait(60000);
    }
    return RecordFilesIn::Open(path, mode);
  }
};

struct Bench {
  Bench() {
    settings->server_ip = "127.0.0.1";
    settings->server_port = silent_server.port();
    settings->player_name = "Ann Lee";
    settings->sound_validate = true;
    settings->sound_race_results = true;
    settings->sound_cross = true;
  }

  void Build() {
    core = ModuleCore::Create(settings,
                              ModuleServices{*http_transport, udp, SystemClock(), sounds, memory, processes,
                                             SystemFileSystem(), profiles, record_files},
                              std::make_unique<RecordingPoster>(recorder, core_freed));
  }

  // Ends the module the way the deinit entry does; returns whether every
  // worker had ended within the bound, and reports how long it took.
  bool End(uint32_t wait_ms, const char* name) {
    const auto start = steady_clock::now();
    const bool all_ended = core->End(wait_ms);
    const double took = std::chrono::duration<double, std::milli>(steady_clock::now() - start).count();
    std::printf("end with %s: %.1f ms\n", name, took);
    ::testing::Test::RecordProperty(std::string("end_ms_") + name, std::to_string(took));
    recorder.Add("ended");
    return all_ended;
  }

  static bool Eventually(const std::function<bool()>& condition) {
    for (int i = 0; i < 4000; ++i) {
      if (condition()) return true;
      std::this_thread::sleep_for(milliseconds(5));
    }
    return condition();
  }

  Recorder recorder;
  Event core_freed{true, false};
  RecordingSounds sounds{recorder};
  testing::SilentTcpServer silent_server;
  ScriptedHttp http;
  Event http_entered{true, false};
  Event http_release{true, false};
  HttpTransport* http_transport = &http;
  FakeUdpChannel udp;
  SlowProcessList processes;
  WatchedHostMemory memory;
  ParsedProfileReader profiles{SystemFileSystem()};
  testing::TempFolder data_folder;
  StallingRecordFiles record_files{testing::RecordFilesIn::Races(data_folder.path())};
  std::shared_ptr<AppSettings> settings = std::make_shared<AppSettings>();
  std::shared_ptr<ModuleCore> core;
};

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A logged line as the log's text holds it (its line feed shown as CR LF).
std::string Shown(const char* line) { return ToDisplayLineBreaks(line); }

struct InFlight {
  const char* name;
  void (*arrange)(Bench&);  // before the core is built
  void (*start)(ModuleCore&);
  bool (*mid_flight)(Bench&);
  void (*check)(Bench&);  // after the end
};

void StartValidation(ModuleCore& core) { core.validator.StartValidation(); }
void StartSubmission(ModuleCore& core) {
  core.results_sender.Start(core.race.Results(), ResultsSubmissionSettings::From(*core.settings));
}
void StartRace(ModuleCore& core) { core.monitor.StartRace(); }

const InFlight kInFlight[] = {
    {"validation_waiting_on_a_silent_server", [](Bench&) {}, StartValidation,
     [](Bench& b) { return b.udp.waiting.Wait(0) == WaitResult::kSignaled; },
     [](Bench& b) {
       const std::string log = b.core->validate_window.log_text();
       EXPECT_FALSE(Contains(log, "timed out waiting")) << "a broken-off wait is no time-out:\n" << log;
       EXPECT_FALSE(Contains(log, "Validating...")) << log;
     }},
    {"validation_between_its_steps", [](Bench& b) { b.udp.answering = true; }, StartValidation,
     [](Bench& b) { return b.processes.entered.Wait(0) == WaitResult::kSignaled; },
     [](Bench& b) {
       const std::string log = b.core->validate_window.log_text();
       EXPECT_TRUE(Contains(log, "Validating...")) << log;
       EXPECT_FALSE(Contains(log, "Sending validation")) << "no report after the end:\n" << log;
       EXPECT_EQ(b.http.calls.load(), 0);
     }},
    {"results_in_their_retry_wait", [](Bench&) {}, StartSubmission,
     [](Bench& b) { return Contains(b.core->race.log->log_text(), "Waiting 10 seconds"); },
     [](Bench& b) {
       const std::string log = b.core->race.log->log_text();
       EXPECT_TRUE(Contains(log, Shown(kUnsentResultsLine))) << log;
       EXPECT_EQ(b.http.calls.load(), 1);
     }},
    {"results_request_to_a_server_that_never_answers",
     [](Bench& b) { b.http_transport = &SystemHttpTransport(); }, StartSubmission,
     [](Bench& b) { return b.silent_server.requests() > 0; },
     [](Bench& b) {
       const std::string log = b.core->race.log->log_text();
       EXPECT_TRUE(Contains(log, Shown(kUnsentResultsLine))) << log;
       EXPECT_FALSE(Contains(log, "Error ")) << "a broken-off request is no failure to report:\n" << log;
     }},
    {"race_monitor_sampling", [](Bench&) {}, StartRace,
     [](Bench& b) { return b.memory.latitude_reads.load() > 2; },
     [](Bench& b) { EXPECT_EQ(b.core->race.done_event.Wait(0), WaitResult::kSignaled); }},
};

TEST(ModuleEndTest, EveryWorkerEndsWithinTheBound) {
  for (const InFlight& c : kInFlight) {
    SCOPED_TRACE(c.name);
    Bench b;
    ASSERT_NE(b.silent_server.port(), 0);
    c.arrange(b);
    b.Build();
    c.start(*b.core);
    ASSERT_TRUE(Bench::Eventually([&] { return c.mid_flight(b); }));
    EXPECT_TRUE(b.End(kEndWaitMs, c.name)) << "a wait or call that does not watch the end";
    EXPECT_EQ(b.core->workers.running(), 0);
    c.check(b);
    b.core.reset();
    EXPECT_EQ(b.core_freed.Wait(0), WaitResult::kSignaled) << "nothing holds the graph once every worker has ended";
  }
}

struct Stuck {
  const char* name;
  void (*arrange)(Bench&);
  void (*start)(ModuleCore&);
  Event& (*entered)(Bench&);
  void (*release)(Bench&);
};

// Calls that nothing breaks off (a name look-up, a call into a driver): the
// worker outlives the end's bound and comes back after the user-interface side
// has let go of everything.
const Stuck kStuck[] = {
    {"validation_in_a_long_step",
     [](Bench& b) {
       b.udp.answering = true;
       b.processes.step_ms = 60000;
     },
     StartValidation, [](Bench& b) -> Event& { return b.processes.entered; },
     [](Bench& b) { b.processes.release.Set(); }},
    {"results_in_a_call_that_ignores_the_end",
     [](Bench& b) {
       b.http.answer = [&b](const HttpRequest&) {
         b.http_entered.Set();
         b.http_release.Wait(60000);
         HttpResult failed;
         failed.status = kInternetTimeout;
         return failed;
       };
     },
     StartSubmission, [](Bench& b) -> Event& { return b.http_entered; },
     [](Bench& b) { b.http_release.Set(); }},
    {"monitor_in_a_host_call", [](Bench& b) { b.memory.hold_attach = true; }, StartRace,
     [](Bench& b) -> Event& { return b.memory.attach_entered; }, [](Bench& b) { b.memory.release.Set(); }},
    {"record_writer_in_a_stalled_file_call", [](Bench& b) { b.record_files.stall = true; }, StartRace,
     [](Bench& b) -> Event& { return b.record_files.entered; }, [](Bench& b) { b.record_files.release.Set(); }},
};

TEST(ModuleEndTest, AWorkerBeyondTheBoundKeepsTheGraphAliveUntilItEnds) {
  for (const Stuck& c : kStuck) {
    SCOPED_TRACE(c.name);
    Bench b;
    c.arrange(b);
    b.Build();
    c.start(*b.core);
    ASSERT_EQ(c.entered(b).Wait(20000), WaitResult::kSignaled);
    EXPECT_FALSE(b.End(50, c.name));
    b.core.reset();  // the windows are gone, the user-interface side has let go
    EXPECT_EQ(b.core_freed.Wait(0), WaitResult::kTimeout);
    c.release(b);
    // The worker comes back into the graph (logs, reports, sounds) and frees it
    // when it ends; a freed object touched on the way is AddressSanitizer's.
    EXPECT_EQ(b.core_freed.Wait(20000), WaitResult::kSignaled);
    EXPECT_EQ(b.recorder.After("ended"), std::vector<std::string>{}) << "no sound and no command after the end";
  }
}

}  // namespace
}  // namespace volantis

namespace volantis {
namespace {

// The finish is judged and Race Finished posted, but the module ends before
// the command is handled (nobody handles it here): the results are in the
// race's record all the same, pending, for a later start to send.
TEST(ModuleEndTest, AQuitBetweenTheFinishAndItsCommandKeepsTheResults) {
  Bench b;
  for (int gate = 0; gate < 2; ++gate) {
    b.settings->race_definition.gates.push_back(std::make_unique<Gate>(Gate{0.0, -0.1 * gate, 0.01, -0.1 * gate, 0, 0}));
  }
  b.settings->race_definition.laps = 1;
  b.memory.flight = {0.0002};
  for (int gate : {0, 1, 0}) {
    b.memory.flight.push_back(-0.1 * gate + 0.0001);
    b.memory.flight.push_back(-0.1 * gate - 0.0001);
  }
  b.Build();
  b.core->monitor.StartRace();
  const std::string finished = "post " + std::to_string(kCmdRaceFinished);
  ASSERT_TRUE(Bench::Eventually([&] { return b.recorder.Has(finished); }));
  const std::string record = b.core->race.record_name;
  ASSERT_FALSE(record.empty());
  EXPECT_TRUE(b.End(kEndWaitMs, "finish_not_yet_handled"));

  StoredSubmission stored;
  ASSERT_TRUE(b.core->journal.Read(record, stored)) << "no results in the record";
  EXPECT_EQ(stored.status, SubmissionStatus::kPending);
  EXPECT_EQ(FieldValue(stored.fields, "player"), "Ann Lee");
  EXPECT_EQ(FieldValue(stored.fields, "lap_times"), FormatLapTimes(b.core->race.Results()));
  EXPECT_EQ(stored.server_port, b.settings->server_port);
}

}  // namespace
}  // namespace volantis
