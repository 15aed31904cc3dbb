#pragma once
// Whose race log lines a thread writes, so each race's record keeps only its
// own lines. A thread says so for as long as a ScopedRaceLogSource lives on it:
// the lines of a race's monitor and of its results submission belong to that
// race's record; a resend of older results belongs to none. A thread that says
// nothing (the user-interface thread) writes to the race being recorded.
#include <string>

namespace volantis {

enum class RaceLogSourceKind { kCurrentRace, kRecord, kNoRecord };

struct RaceLogSource {
  RaceLogSourceKind kind = RaceLogSourceKind::kCurrentRace;
  std::string record;  // kRecord: the record's name
};

// The calling thread's source.
RaceLogSource CurrentRaceLogSource();

class ScopedRaceLogSource {
 public:
  // record: the record the thread's lines go to; empty for none.
  explicit ScopedRaceLogSource(const std::string& record);
  ~ScopedRaceLogSource();
  ScopedRaceLogSource(const ScopedRaceLogSource&) = delete;
  ScopedRaceLogSource& operator=(const ScopedRaceLogSource&) = delete;

 private:
  friend RaceLogSource CurrentRaceLogSource();
  const std::string record_;  // the thread's note points here while this lives
  const ScopedRaceLogSource* previous_;
};

}  // namespace volantis
