#include "ui/log_view_work.h"

#include <utility>

namespace volantis {

std::vector<LogViewWork> CoalesceLogViewWork(std::vector<LogViewWork> work) {
  std::vector<LogViewWork> text_work;
  LogViewWork* last_position = nullptr;
  for (LogViewWork& item : work) {
    switch (item.kind) {
      case LogViewWork::kAppend:
        if (!text_work.empty() && text_work.back().kind == LogViewWork::kAppend) {
          text_work.back().text += item.text;
        } else {
          text_work.push_back(std::move(item));
        }
        break;
      case LogViewWork::kClear:
        // Nothing appended before a clear would still be there after it.
        text_work.clear();
        text_work.push_back(std::move(item));
        break;
      case LogViewWork::kPosition:
      case LogViewWork::kBlank:
        last_position = &item;
        break;
    }
  }
  if (last_position != nullptr) text_work.push_back(std::move(*last_position));
  return text_work;
}

}  // namespace volantis
