#include "server/validation_server.h"

namespace volantis {

void ValidationServer::SendResults(bool success, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string message = FormatTextCutV(999, format, args);
  va_end(args);
  SendResultsText(success, message);
}

}  // namespace volantis
