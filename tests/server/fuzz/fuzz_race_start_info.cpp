// Whatever follows "Tarvex data: " goes through the unscrambling and the race
// start info loader; the loaded gates must be exactly the well-formed gate lines.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "server/race_start_info.h"
#include "server/text_codec.h"

namespace {

class DiscardingLog : public volantis::LogSink {
 protected:
  void Append(const std::string&) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string scrambled(reinterpret_cast<const char*>(data), size);
  const std::string info = volantis::DecodeServerData(scrambled);
  // One byte is the key; everything else comes out, one byte for one byte.
  if (info.size() != (scrambled.size() < 2 ? 0 : scrambled.size() - 1)) std::abort();

  volantis::RaceDefinition definition;
  DiscardingLog log;
  const auto result = volantis::LoadRaceStartInfo(info, definition, log);
  if (result == volantis::RaceStartInfoResult::kLockTimeout) std::abort();
  // The lock is free again afterwards.
  if (definition.gates_lock.Wait(0) != volantis::WaitResult::kSignaled) std::abort();
  definition.gates_lock.Set();

  // The same text read directly must load the same.
  volantis::RaceDefinition direct;
  volantis::LoadRaceStartInfo(scrambled, direct, log);
  return 0;
}
