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
  int64_t finished_utc = 0;    // when the results were kept, at the finish; 0 when the file says none
  bool resend_closed = false;  // no more automatic resends (a validation was accepted since)

  // The finish, or the race's start where the file does not say it.
  int64_t finish_or_start() const { return finished_utc != 0 ? finished_utc : started_utc; }
  bool still_to_send() const { return status == SubmissionStatus::kPending || status == SubmissionStatus::kUnsent; }
};

// What the records keep, for the resends.
struct KeptResults {
  std::vector<StoredSubmission> unsent;  // pending or unsent, the oldest race first
  std::string newest;                    // the record of the race started last, whatever its results
  std::vector<std::string> unreadable;   // records whose results file is there but cannot be read
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
  // Every record's results still pending or unsent, and which race started last.
  virtual KeptResults Kept() = 0;
  // Ends the automatic resends of record's results for good, with why, and
  // leaves them unsent (a pilot can still send them on purpose).
  virtual bool CloseAutomaticResend(const std::string& record, const std::string& why) = 0;
  // The folder of record, for the pilot to find ("" when unknown).
  virtual std::string FolderOf(const std::string& record) = 0;
};

}  // namespace volantis
