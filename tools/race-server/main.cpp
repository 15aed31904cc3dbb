// volantis-race-server: a stand-in race server for practice and for tests.
// See README.md for the options.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#include "race_server.h"

namespace {

volatile std::sig_atomic_t g_signalled = 0;
void OnSignal(int) { g_signalled = 1; }

void Usage() {
  std::fprintf(stderr,
               "usage: volantis-race-server [--bind ADDR] [--port N] [--course FILE] [--aircraft N]\n"
               "         [--version V] [--results FILE] [--rule OP:ACTION[:COUNT]]... [--ready-file FILE]\n"
               "         [--lifetime SECONDS] [--code-line-feed] [--any-player] [--control] [--quiet]\n"
               "         [--forge-address ADDR]\n");
}

bool NumberArgument(const char* text, long low, long high, long& value) {
  char* end = nullptr;
  value = std::strtol(text, &end, 10);
  return *text != '\0' && *end == '\0' && value >= low && value <= high;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace volantis::race_server;
  ServerOptions options;
  RuleBook rules;
  std::string ready_file;
  long lifetime_s = 3600;

  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](const char* name) -> const char* {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "volantis-race-server: %s needs a value\n", name);
        std::exit(2);
      }
      return argv[++i];
    };
    long number = 0;
    std::string error;
    if (arg == "--bind") {
      options.bind_address = value("--bind");
    } else if (arg == "--port") {
      if (!NumberArgument(value("--port"), 0, 65535, number)) {
        std::fprintf(stderr, "volantis-race-server: --port takes 0 to 65535\n");
        return 2;
      }
      options.port = static_cast<int>(number);
    } else if (arg == "--course") {
      if (!LoadCourse(value("--course"), options.course, error)) {
        std::fprintf(stderr, "volantis-race-server: %s\n", error.c_str());
        return 2;
      }
      options.has_course = true;
    } else if (arg == "--aircraft") {
      if (!NumberArgument(value("--aircraft"), -1000, 1000, number)) {
        std::fprintf(stderr, "volantis-race-server: --aircraft takes a number (0 to 4 are the race aircraft)\n");
        return 2;
      }
      options.aircraft = static_cast<int>(number);
    } else if (arg == "--version") {
      options.accepted_version = value("--version");
    } else if (arg == "--results") {
      options.results_path = value("--results");
    } else if (arg == "--rule") {
      Rule rule;
      if (!ParseRule(value("--rule"), rule, error)) {
        std::fprintf(stderr, "volantis-race-server: %s\n", error.c_str());
        return 2;
      }
      rules.Add(rule);
    } else if (arg == "--ready-file") {
      ready_file = value("--ready-file");
    } else if (arg == "--lifetime") {
      if (!NumberArgument(value("--lifetime"), 1, 7 * 24 * 3600, lifetime_s)) {
        std::fprintf(stderr, "volantis-race-server: --lifetime takes 1 to 604800 seconds\n");
        return 2;
      }
    } else if (arg == "--code-line-feed") {
      options.code_line_feed = true;
    } else if (arg == "--any-player") {
      options.check_players = false;
    } else if (arg == "--control") {
      options.control = true;
    } else if (arg == "--forge-address") {
      options.forge_address = value("--forge-address");
    } else if (arg == "--quiet") {
      options.verbose = false;
    } else if (arg == "--help" || arg == "-h") {
      Usage();
      return 0;
    } else {
      std::fprintf(stderr, "volantis-race-server: unknown option %s\n", arg.c_str());
      Usage();
      return 2;
    }
  }

  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  std::signal(SIGPIPE, SIG_IGN);

  RaceServer server(options, rules);
  std::string error;
  if (!server.Start(error)) {
    std::fprintf(stderr, "volantis-race-server: %s\n", error.c_str());
    return 1;
  }
  std::printf("READY %s %d\n", options.bind_address.c_str(), server.port());
  std::fflush(stdout);
  if (!ready_file.empty()) {
    const std::string partial = ready_file + ".tmp";
    std::ofstream(partial) << server.port() << "\n";
    std::rename(partial.c_str(), ready_file.c_str());
  }

  // Stops on a signal or after its lifetime, so a forgotten server never lingers.
  for (long waited_ms = 0; !g_signalled && waited_ms < lifetime_s * 1000; waited_ms += 100) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  server.Stop();
  std::printf("STOPPED\n");
  return 0;
}
