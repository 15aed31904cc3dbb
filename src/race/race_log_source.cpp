#include "race/race_log_source.h"

namespace volantis {
namespace {

// The innermost source of the thread; plain data, so the thread needs nothing
// done at its exit.
thread_local const ScopedRaceLogSource* thread_source = nullptr;

}  // namespace

ScopedRaceLogSource::ScopedRaceLogSource(const std::string& record) : record_(record), previous_(thread_source) {
  thread_source = this;
}

ScopedRaceLogSource::~ScopedRaceLogSource() { thread_source = previous_; }

RaceLogSource CurrentRaceLogSource() {
  RaceLogSource source;
  if (thread_source == nullptr) return source;
  source.kind = thread_source->record_.empty() ? RaceLogSourceKind::kNoRecord : RaceLogSourceKind::kRecord;
  source.record = thread_source->record_;
  return source;
}

}  // namespace volantis
