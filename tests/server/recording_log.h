#pragma once
// A LogSink that keeps every shown message, for checking what the pilot reads.
#include <string>
#include <vector>

#include "ui/log_sink.h"

namespace volantis::testing {

class RecordingLog : public LogSink {
 public:
  std::vector<std::string> lines;
  std::string All() const {
    std::string all;
    for (const auto& line : lines) all += line;
    return all;
  }
  bool Contains(const std::string& text) const { return All().find(text) != std::string::npos; }

 protected:
  void Append(const std::string& message) override { lines.push_back(message); }
};

}  // namespace volantis::testing
