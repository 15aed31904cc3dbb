#include "server/record_results_journal.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "platform/text_format.h"
#include "platform/utc_time.h"
#include "race/race_record_names.h"
#include "race/record_order.h"

namespace volantis {
namespace {

constexpr const char* kResultsFile = "results.txt";
constexpr const char* kSendingLockFile = "sending.lock";
constexpr std::size_t kResultsTextMax = 64 * 1024;

const char* const kStatusTexts[] = {"pending", "sent", "refused", "unsent"};

bool ReadAll(RecordFiles& files, const std::string& path, std::string& text) {
  UniqueFile file = files.Open(path, "rb");
  if (!file) return false;
  char buffer[4096];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof(buffer), file.get())) > 0) {
    text.append(buffer, got);
    if (text.size() > kResultsTextMax) return false;
  }
  return std::ferror(file.get()) == 0;
}

}  // namespace

const char* StatusText(SubmissionStatus status) { return kStatusTexts[static_cast<int>(status)]; }

bool ParseStatus(const std::string& text, SubmissionStatus* status) {
  for (int i = 0; i < 4; ++i) {
    if (text == kStatusTexts[i]) {
      *status = static_cast<SubmissionStatus>(i);
      return true;
    }
  }
  return false;
}

RecordResultsJournal::RecordResultsJournal(RecordFiles& files, std::function<int64_t()> now_utc)
    : files_(files), now_utc_(std::move(now_utc)) {
  if (!now_utc_) now_utc_ = UtcNowSeconds;
}

std::string RecordResultsJournal::PathOf(const std::string& record) {
  const std::string races = files_.RacesFolder();
  if (races.empty() || !ParseRaceRecordName(record, nullptr)) return std::string();
  return files_.Join(files_.Join(races, record), kResultsFile);
}

bool RecordResultsJournal::Append(const std::string& record, const std::string& text) {
  const std::string path = PathOf(record);
  if (path.empty()) return false;
  ScopedCriticalSection hold(lock_);
  // The whole file again with the new lines, so a crash leaves the old state or the new one.
  std::string whole;
  if (!ReadAll(files_, path, whole)) return false;
  if (!whole.empty() && whole.back() != '\n') whole += '\n';
  return WriteWholeFile(files_, path, whole + text);
}

std::string RecordResultsJournal::BeginText(const SubmissionFields& fields, const std::string& server_ip,
                                           int32_t server_port) {
  std::string text;
  for (const SubmissionField& field : fields) text += field.key + "=" + field.value + "\n";
  text += "server_ip=" + server_ip + "\n";
  text += FormatText("server_port=%d\n", static_cast<int>(server_port));
  // Kept at the finish: the resends' window is measured from here.
  text += "finished=" + UtcText(now_utc_()) + "\n";
  text += "status=pending\n";
  return text;
}

bool RecordResultsJournal::Begin(const std::string& record, const SubmissionFields& fields,
                                 const std::string& server_ip, int32_t server_port) {
  const std::string path = PathOf(record);
  if (path.empty()) return false;
  const std::string text = BeginText(fields, server_ip, server_port);
  ScopedCriticalSection hold(lock_);
  return WriteWholeFile(files_, path, text);
}

bool RecordResultsJournal::KeepIfNone(const std::string& record, const SubmissionFields& fields,
                                      const std::string& server_ip, int32_t server_port) {
  const std::string path = PathOf(record);
  if (path.empty()) return false;
  const std::string text = BeginText(fields, server_ip, server_port);
  ScopedCriticalSection hold(lock_);
  if (files_.Open(path, "rb")) return true;
  return WriteWholeFile(files_, path, text);
}

bool RecordResultsJournal::NoteAttempt(const std::string& record, int attempt, const std::string& outcome) {
  return Append(record, FormatText("attempt %d at ", attempt) + UtcText(now_utc_()) + ": " + outcome + "\n");
}

bool RecordResultsJournal::NoteSent(const std::string& record, int attempt, const std::string& outcome) {
  return Append(record, FormatText("attempt %d at ", attempt) + UtcText(now_utc_()) + ": " + outcome + "\n" +
                            "status=" + StatusText(SubmissionStatus::kSent) + "\n");
}

bool RecordResultsJournal::SetStatus(const std::string& record, SubmissionStatus status) {
  return Append(record, std::string("status=") + StatusText(status) + "\n");
}

bool RecordResultsJournal::ParseResultsText(const std::string& text, StoredSubmission& stored) {
  stored.fields.clear();
  stored.status = SubmissionStatus::kPending;
  stored.finished_utc = 0;
  stored.resend_closed = false;
  bool have_ip = false;
  bool have_port = false;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) continue;  // an attempt line
    const std::string key = line.substr(0, equals);
    const std::string value = line.substr(equals + 1);
    if (key == "status") {
      ParseStatus(value, &stored.status);  // an unknown word leaves the last one
    } else if (key == "finished") {
      if (!ParseUtcText(value, &stored.finished_utc)) stored.finished_utc = 0;
    } else if (key == "resend") {
      stored.resend_closed = stored.resend_closed || value == "closed";
    } else if (key == "server_ip") {
      stored.server_ip = value;
      have_ip = true;
    } else if (key == "server_port") {
      char* after = nullptr;
      const long port = std::strtol(value.c_str(), &after, 10);
      have_port = !value.empty() && *after == '\0';
      stored.server_port = static_cast<int32_t>(std::max(-1L, std::min(port, 0x7fffffffL)));
    } else if (std::find(SubmissionKeys().begin(), SubmissionKeys().end(), key) != SubmissionKeys().end() &&
               FieldValue(stored.fields, key).empty()) {
      stored.fields.push_back(SubmissionField{key, value});
    }
  }
  // Every field, in request order.
  SubmissionFields ordered;
  for (const std::string& key : SubmissionKeys()) {
    auto found = std::find_if(stored.fields.begin(), stored.fields.end(),
                              [&key](const SubmissionField& field) { return field.key == key; });
    if (found == stored.fields.end()) return false;
    ordered.push_back(*found);
  }
  stored.fields = std::move(ordered);
  return have_ip && have_port;
}

LockTaking RecordResultsJournal::HoldSending(const std::string& record, std::unique_ptr<FileLock>& hold) {
  const std::string races = files_.RacesFolder();
  if (races.empty() || !ParseRaceRecordName(record, nullptr)) return LockTaking::kFailed;
  return files_.TryLock(files_.Join(files_.Join(races, record), kSendingLockFile), hold);
}

bool RecordResultsJournal::Read(const std::string& record, StoredSubmission& stored) {
  const std::string path = PathOf(record);
  if (path.empty()) return false;
  std::string text;
  {
    ScopedCriticalSection hold(lock_);
    if (!ReadAll(files_, path, text)) return false;
  }
  stored.record = record;
  RecordStart(files_, files_.RacesFolder(), record, &stored.started_utc);
  return ParseResultsText(text, stored);
}

std::string RecordResultsJournal::FolderOf(const std::string& record) {
  const std::string races = files_.RacesFolder();
  if (races.empty() || !ParseRaceRecordName(record, nullptr)) return std::string();
  return files_.Join(races, record);
}

bool RecordResultsJournal::CloseAutomaticResend(const std::string& record, const std::string& why) {
  return Append(record, "automatic resend ended at " + UtcText(now_utc_()) + ": " + why + "\nresend=closed\nstatus=" +
                            StatusText(SubmissionStatus::kUnsent) + "\n");
}

KeptResults RecordResultsJournal::Kept() {
  KeptResults kept;
  const std::string races = files_.RacesFolder();
  std::vector<std::string> names;
  if (races.empty() || !files_.ListFolders(races, names)) return kept;
  SortRecordsOldestFirst(files_, races, names);
  if (!names.empty()) kept.newest = names.back();
  for (const std::string& name : names) {
    StoredSubmission stored;
    if (!Read(name, stored)) {
      // A race without results has no file; one that is there and does not parse is said.
      if (files_.Open(PathOf(name), "rb")) kept.unreadable.push_back(name);
      continue;
    }
    if (stored.still_to_send()) kept.unsent.push_back(std::move(stored));
  }
  return kept;
}

}  // namespace volantis
