#include "server/resend_policy.h"

namespace volantis {

bool ResendsAutomatically(const StoredSubmission& kept, bool newest, int64_t now_utc) {
  if (!newest || kept.resend_closed || !kept.still_to_send()) return false;
  const int64_t since_finish = now_utc - kept.finish_or_start();
  return since_finish >= 0 && since_finish <= kResendWindowSeconds;
}

}  // namespace volantis
