#include "server/submission_fields.h"

#include "platform/text_format.h"
#include "server/race_results_submission.h"
#include "server/text_codec.h"

namespace volantis {

const std::vector<std::string>& SubmissionKeys() {
  static const std::vector<std::string> keys = {"ver",       "moved_too_fast", "cheated_crash_detect", "slewed",
                                                "cheated_sim_rate", "player", "lap_times", "lap_skips",
                                                "race_time", "finish_secs", "sync_delay"};
  return keys;
}

SubmissionFields SubmissionFieldsOf(const RaceResults& results, const ResultsSubmissionSettings& settings) {
  auto flag = [](bool value) { return std::string(value ? "1" : "0"); };
  return SubmissionFields{
      {"ver", settings.version},
      {"moved_too_fast", flag(results.moved_too_fast)},
      {"cheated_crash_detect", flag(results.cheated_crash_detect)},
      {"slewed", flag(results.slewed)},
      {"cheated_sim_rate", flag(results.cheated_sim_rate)},
      {"player", settings.player_name},
      {"lap_times", FormatLapTimes(results)},
      {"lap_skips", FormatLapSkips(results)},
      {"race_time", FormatText("%f", results.race_time)},
      {"finish_secs", FormatText("%f", results.finish_secs)},
      {"sync_delay", FormatText("%f", settings.best_round_trip * 1000)},
  };
}

std::string FieldValue(const SubmissionFields& fields, const std::string& key) {
  for (const SubmissionField& field : fields) {
    if (field.key == key) return field.value;
  }
  return std::string();
}

std::string SubmitPathOf(const SubmissionFields& fields, const std::string& code) {
  std::string path = "/validate?op=submit_race_results&type=1";
  for (const SubmissionField& field : fields) {
    path += "&" + field.key + "=" + (field.key == "player" ? UrlEncode(field.value) : field.value);
  }
  return path + "&code=" + code;
}

}  // namespace volantis
