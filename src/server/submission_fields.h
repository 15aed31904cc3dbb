#pragma once
// The fields of a results submission, each already formatted as the server
// receives it, in the order of the submit request. A stored submission keeps
// them as texts, so sending it again later sends exactly the same values.
#include <string>
#include <vector>

#include "race/race_results.h"

namespace volantis {

struct ResultsSubmissionSettings;

struct SubmissionField {
  std::string key;
  std::string value;  // as formatted; the player's name as typed (encoded in the request)
};
using SubmissionFields = std::vector<SubmissionField>;

// The keys, in request order: ver, moved_too_fast, cheated_crash_detect, slewed,
// cheated_sim_rate, player, lap_times, lap_skips, race_time, finish_secs, sync_delay.
const std::vector<std::string>& SubmissionKeys();

SubmissionFields SubmissionFieldsOf(const RaceResults& results, const ResultsSubmissionSettings& settings);

// The value of key, or empty.
std::string FieldValue(const SubmissionFields& fields, const std::string& key);

// The submit request's path for fields and a validation code.
std::string SubmitPathOf(const SubmissionFields& fields, const std::string& code);

}  // namespace volantis
