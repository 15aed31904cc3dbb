#pragma once
// What a validation run asks of the race server: the clock synchronisation (which
// also names the race aircraft) and the one validation report that ends every run
// that got past it.
#include <cstdarg>
#include <string>

#include "platform/text_format.h"
#include "server/validation_settings.h"

namespace volantis {

class ValidationServer {
 public:
  virtual ~ValidationServer() = default;
  // Hands over the settings copied when the run started; the exchanges of the
  // run use only these. Called on the run's thread before anything else.
  virtual void BeginRun(const ValidationSettings& settings) { (void)settings; }
  // Up to five UDP round trips; true when at least one was accepted. Logs its own errors.
  virtual bool TimeSync() = 0;
  // The validation report with a message that is already formatted (never read as a format).
  virtual void SendResultsText(bool success, const std::string& message) = 0;
  // The validation report; the message is formatted into 1000 characters (at most 999 kept).
  void SendResults(bool success, const char* format, ...) VOLANTIS_PRINTF(3, 4);
};

}  // namespace volantis
