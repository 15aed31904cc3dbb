#pragma once
// The race server's side of the race start info scrambling: the module's
// DecodeServerData turns the result back into the plain text.
#include <cstdint>
#include <string>

namespace volantis::race_server {

// seed picks the key; any seed gives a text that decodes to plain.
std::string ScrambleServerData(const std::string& plain, uint32_t seed);

}  // namespace volantis::race_server
