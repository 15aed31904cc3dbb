// SplitString over any text: first byte = flags (keep-empty, maximum), second =
// the separator. Checks the properties every caller relies on.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "server/text_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const bool keep_empty = (data[0] & 0x80) != 0;
  const int32_t max_entries = (data[0] & 0x0F) == 0x0F ? -1 : (data[0] & 0x0F);
  const std::string separators(1, static_cast<char>(data[1]));
  const std::string text(reinterpret_cast<const char*>(data + 2), size - 2);

  std::vector<std::string> entries = {"stale"};
  const int32_t count = volantis::SplitString(separators, text, entries, keep_empty, max_entries);
  if (count != static_cast<int32_t>(entries.size())) std::abort();
  if (max_entries != -1 && count > max_entries) std::abort();
  if (!keep_empty) {
    for (const auto& entry : entries) {
      if (entry.empty()) std::abort();
    }
  }
  // Without a maximum, keeping empty fields, the entries joined again are the text.
  if (keep_empty && max_entries == -1 && !text.empty()) {
    std::string joined;
    for (size_t i = 0; i < entries.size(); ++i) joined += (i ? separators : std::string()) + entries[i];
    if (joined != text) std::abort();
  }
  // Nothing is invented: every entry's bytes appear in the text.
  size_t total = 0;
  for (const auto& entry : entries) total += entry.size();
  if (total > text.size()) std::abort();
  return 0;
}
