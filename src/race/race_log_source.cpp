#include "race/race_log_source.h"

#include <utility>

namespace volantis {
namespace {

thread_local RaceLogSource thread_source;

}  // namespace

RaceLogSource CurrentRaceLogSource() { return thread_source; }

ScopedRaceLogSource::ScopedRaceLogSource(const std::string& record) : previous_(thread_source) {
  thread_source.kind = record.empty() ? RaceLogSourceKind::kNoRecord : RaceLogSourceKind::kRecord;
  thread_source.record = record;
}

ScopedRaceLogSource::~ScopedRaceLogSource() { thread_source = std::move(previous_); }

}  // namespace volantis
