// volantis-send-results: sends the results kept in a race record to the race
// server the race was flown against, on purpose, for a pilot or a race
// director, whatever the module's own resends would do. The same exchange as
// the module's resend (a fresh code, one submission, a second one at once for
// a first "invalid data"), under the same lock, journaled in the record.
#include <cstdio>
#include <cstring>
#include <string>

#include "core/log_sink.h"
#include "platform/clock.h"
#include "platform/http_transport.h"
#include "platform/record_files.h"
#include "platform/sound_player.h"
#include "platform/worker_group.h"
#include "race/race_record_names.h"
#include "server/race_results_submission.h"
#include "server/record_results_journal.h"

namespace {

using volantis::RaceResultsSender;

constexpr int kSent = 0;
constexpr int kNotSent = 1;   // the server could not be reached or gave no final answer
constexpr int kRefused = 2;   // the server refused them for good, now or before
constexpr int kNothing = 3;   // nothing sent: sent before, another program sends them, no results
constexpr int kBadUse = 64;

constexpr const char* kUsage =
    "usage: volantis-send-results RECORD\n"
    "  Sends the results kept in the race record folder RECORD (for example\n"
    "  ~/.local/share/volantis/races/2026-12-10_16-40-05Z) to the race server the\n"
    "  race was flown against, and notes the outcome in the record's results.txt.\n"
    "  Results the server has taken are never sent again.\n"
    "Exit status: 0 sent, 1 not sent (network or server error), 2 refused by the\n"
    "server, 3 nothing to send, 64 bad use.\n";

class PrintedLog : public volantis::LogSink {
 protected:
  void Append(const std::string& message) override {
    std::fputs(message.c_str(), stdout);
    std::fflush(stdout);
  }
};

class NoSound : public volantis::SoundPlayer {
 public:
  void Play(const char*) override {}
};

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc != 2 || argv[1][0] == '\0') {
    std::fputs(kUsage, stderr);
    return kBadUse;
  }
  std::string path = argv[1];
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  const std::size_t slash = path.rfind('/');
  const std::string races = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (!volantis::ParseRaceRecordName(name, nullptr)) {
    std::fprintf(stderr,
                 "volantis-send-results: %s is not a race record: its folder's name must be the race's start, "
                 "like 2026-12-10_16-40-05Z.\n",
                 path.c_str());
    return kBadUse;
  }

  volantis::RecordFilesAt files(races);
  volantis::RecordResultsJournal journal(files);
  PrintedLog log;
  NoSound sound;
  volantis::WorkerGroup workers;
  RaceResultsSender sender(log, volantis::SystemHttpTransport(), volantis::SystemClock(), sound, workers);
  sender.SetJournal(&journal);
  switch (sender.SendKept(name, log)) {
    case RaceResultsSender::SendKeptOutcome::kSent:
      return kSent;
    case RaceResultsSender::SendKeptOutcome::kNotSent:
      return kNotSent;
    case RaceResultsSender::SendKeptOutcome::kRefused:
      return kRefused;
    case RaceResultsSender::SendKeptOutcome::kAlreadySent:
      std::printf("The results kept in %s were sent already; they are not sent again.\n", path.c_str());
      return kNothing;
    case RaceResultsSender::SendKeptOutcome::kAlreadyRefused:
      std::printf("The race server refused the results kept in %s for good; they are not sent again.\n",
                  path.c_str());
      return kRefused;
    case RaceResultsSender::SendKeptOutcome::kBusy:
      std::printf("Another program is sending the results kept in %s now; they are left to it.\n", path.c_str());
      return kNothing;
    case RaceResultsSender::SendKeptOutcome::kNoResults:
      break;
  }
  std::printf("%s keeps no results that can be sent (no results.txt, or one that cannot be read).\n", path.c_str());
  return kNothing;
}
