#pragma once
// A LogSink that keeps every shown message, for checking what the pilot reads.
// Safe to log into from worker threads; WaitFor lets a test wait for a line.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "core/log_sink.h"

namespace volantis::testing {

class RecordingLog : public LogSink {
 public:
  std::vector<std::string> lines;  // read it when no worker is logging

  std::string All() {
    std::lock_guard<std::mutex> guard(lock_);
    std::string all;
    for (const auto& line : lines) all += line;
    return all;
  }
  bool Contains(const std::string& text) { return All().find(text) != std::string::npos; }
  // Waits until the log holds at least count lines equal to line.
  bool WaitFor(const std::string& line, std::size_t count = 1, int timeout_ms = 10000) {
    std::unique_lock<std::mutex> guard(lock_);
    return added_.wait_for(guard, std::chrono::milliseconds(timeout_ms), [&] {
      std::size_t seen = 0;
      for (const auto& each : lines) seen += each == line ? 1 : 0;
      return seen >= count;
    });
  }

 protected:
  void Append(const std::string& message) override {
    std::lock_guard<std::mutex> guard(lock_);
    lines.push_back(message);
    added_.notify_all();
  }

 private:
  std::mutex lock_;
  std::condition_variable added_;
};

}  // namespace volantis::testing
