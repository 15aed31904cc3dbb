#pragma once
// The small text operations every server exchange is built from: the
// percent-encoding of free-text query values, the splitting of server answers at
// separator characters, and the unscrambling of the race start info.
#include <cstdint>
#include <string>
#include <vector>

namespace volantis {

// Percent-encodes a query value: a space becomes "+", the reserved characters
// ;/?:@&="#%<>!*'(),\, the plus sign and every byte outside 0x20-0x7E become
// "%XX" (upper-case hex); everything else is copied unchanged. The value decodes
// back to exactly the input, a plus sign as a plus sign.
std::string UrlEncode(const std::string& text);

// Splits text at any character of separators into entries (cleared first).
// keep_empty: empty fields become empty entries. max_entries: -1 for no limit;
// once the limit is reached the rest of the text (separators included) is glued
// onto the last entry. Returns the number of entries.
int32_t SplitString(const std::string& separators, const std::string& text, std::vector<std::string>& entries,
                    bool keep_empty, int32_t max_entries);

// Unscrambles what the server sends after "Tarvex data: ". Never reads outside
// the text; the result may hold any byte.
std::string DecodeServerData(const std::string& text);

}  // namespace volantis
