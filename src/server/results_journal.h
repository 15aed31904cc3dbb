#pragma once
// Where results submissions are kept: the fields before the first attempt, a
// line for every attempt, and the submission's status, so results that did not
// reach the server can be sent again later and results the server took are
// never sent twice.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/record_files.h"
#include "server/submission_fields.h"

namespace volantis {

enum class SubmissionStatus {
  kPending,  // being sent, or the module ended abruptly while it was
  kSent,     // the server said ok
  kRefused,  // the server's answer was final (invalid data, unknown player, version not accepted)
  kUnsent,   // every attempt failed, or the module ended during the retries
};

const char* StatusText(SubmissionStatus status);
bool ParseStatus(const std::string& text, SubmissionStatus* status);

struct StoredSubmission {
  std::string record;       // the race record's name
  int64_t started_utc = 0;  // the race's start, seconds since 1970
  SubmissionFields fields;
  std::string server_ip;
  int32_t server_port = 0;
  SubmissionStatus status = SubmissionStatus::kPending;
};

class ResultsJournal {
 public:
  virtual ~ResultsJournal() = default;
  // Before the first attempt: the fields, the server and status pending. False
  // when they could not be kept.
  virtual bool Begin(const std::string& record, const SubmissionFields& fields, const std::string& server_ip,
                     int32_t server_port) = 0;
  // "attempt N at <UTC time>: outcome".
  virtual bool NoteAttempt(const std::string& record, int attempt, const std::string& outcome) = 0;
  // The attempt that the server took and status sent, in one change on the
  // disk; made before anything else is done about the server's OK.
  virtual bool NoteSent(const std::string& record, int attempt, const std::string& outcome) = 0;
  virtual bool SetStatus(const std::string& record, SubmissionStatus status) = 0;
  // The submission of record as kept now; false when there is none or it cannot be read.
  virtual bool Read(const std::string& record, StoredSubmission& stored) = 0;
  // The right to send record's results, seen by every process sharing the
  // data folder: kBusy while another submission or resend holds it.
  virtual LockTaking HoldSending(const std::string& record, std::unique_ptr<FileLock>& hold) = 0;
  // Submissions still pending or unsent of races started within max_age_seconds
  // of now, oldest first. The names of those races' records whose results file
  // is there but cannot be read go to unreadable.
  virtual std::vector<StoredSubmission> Unsent(int64_t max_age_seconds, std::vector<std::string>& unreadable) = 0;
};

}  // namespace volantis
