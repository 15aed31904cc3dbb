#pragma once
// The results journal kept in the race records: results.txt in the race's
// record folder. The fields as "key=value" lines, the server's address and
// port and the finish's UTC time ("finished="), then lines added as the
// submission goes on: "attempt N at <time>: outcome", "status=<status>" (the
// last status line holding) and "resend=closed" once automatic resends have
// ended. Every change writes the whole file anew and renames it over the old
// one, flushed to the disk first: a crash leaves the old state or the new,
// never a torn file.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/record_files.h"
#include "platform/sync.h"
#include "server/results_journal.h"

namespace volantis {

class RecordResultsJournal : public ResultsJournal {
 public:
  explicit RecordResultsJournal(RecordFiles& files, std::function<int64_t()> now_utc = nullptr);

  bool Begin(const std::string& record, const SubmissionFields& fields, const std::string& server_ip,
             int32_t server_port) override;
  bool NoteAttempt(const std::string& record, int attempt, const std::string& outcome) override;
  bool NoteSent(const std::string& record, int attempt, const std::string& outcome) override;
  bool SetStatus(const std::string& record, SubmissionStatus status) override;
  bool Read(const std::string& record, StoredSubmission& stored) override;
  // Begin, unless the record keeps results already (their submission began
  // first and may have gone further): the finish keeps them this way.
  bool KeepIfNone(const std::string& record, const SubmissionFields& fields, const std::string& server_ip,
                  int32_t server_port);
  // sending.lock in the record's folder.
  LockTaking HoldSending(const std::string& record, std::unique_ptr<FileLock>& hold) override;
  KeptResults Kept() override;
  bool CloseAutomaticResend(const std::string& record, const std::string& why) override;
  std::string FolderOf(const std::string& record) override;

  // Reads a results.txt's text; false when a field or the server is missing.
  static bool ParseResultsText(const std::string& text, StoredSubmission& stored);

 private:
  std::string PathOf(const std::string& record);
  std::string BeginText(const SubmissionFields& fields, const std::string& server_ip, int32_t server_port);
  bool Append(const std::string& record, const std::string& text);

  RecordFiles& files_;
  std::function<int64_t()> now_utc_;
  CriticalSection lock_;  // one writer of a results file at a time
};

}  // namespace volantis
