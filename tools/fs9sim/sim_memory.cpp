#include "sim_memory.h"

#include <cmath>
#include <cstring>

#include "host/host_values.h"
#include "sim_output.h"

namespace fs9sim {

using namespace volantis;

bool SimMemory::Load(const std::string& folder, std::string& error) {
  HMODULE module = ::LoadLibraryA((folder + "\\global.dll").c_str());
  if (!module) {
    error = "cannot load global.dll, error " + std::to_string(::GetLastError());
    return false;
  }
  auto* block = reinterpret_cast<uint8_t*>(::GetProcAddress(module, "CoreMemory"));
  if (!block) {
    error = "global.dll exports no CoreMemory";
    return false;
  }
  base_ = reinterpret_cast<uint8_t*>(module);
  const uint8_t* first = base_ + kOffsetLatitude;
  const uint8_t* end = base_ + kOffsetSimulationRate + 2;
  if (first < block || end > block + 65536) {
    error = "the offsets the module reads fall outside the exported block";
    return false;
  }
  SetRate(1.0);
  SetCrashDetection(1);
  SetCollisions(0);
  return true;
}

template <typename T>
T SimMemory::Read(uint32_t offset) const {
  T value;
  std::memcpy(&value, base_ + offset, sizeof(T));
  return value;
}

void SimMemory::WriteInt64(uint32_t offset, int64_t value) { std::memcpy(base_ + offset, &value, sizeof(value)); }
void SimMemory::WriteInt16(uint32_t offset, int16_t value) { std::memcpy(base_ + offset, &value, sizeof(value)); }
void SimMemory::WriteInt8(uint32_t offset, int8_t value) { std::memcpy(base_ + offset, &value, sizeof(value)); }

void SimMemory::SetLatitude(double degrees) {
  WriteInt64(kOffsetLatitude, std::llround(degrees / LatitudeDegrees(1)));
}
void SimMemory::SetLongitude(double degrees) {
  WriteInt64(kOffsetLongitude, std::llround(degrees / LongitudeDegrees(1)));
}
void SimMemory::SetAltitude(double feet) { WriteInt64(kOffsetAltitude, std::llround(feet / AltitudeFeet(1))); }
void SimMemory::SetSlew(uint16_t value) { WriteInt16(kOffsetSlew, static_cast<int16_t>(value)); }
void SimMemory::SetCrashDetection(int8_t value) { WriteInt8(kOffsetCrashDetection, value); }
void SimMemory::SetCollisions(int8_t value) { WriteInt8(kOffsetCollisions, value); }
void SimMemory::SetRate(double rate) {
  WriteInt16(kOffsetSimulationRate, static_cast<int16_t>(std::lround(rate * 256)));
}

void SimMemory::PrintValues() const {
  Say("VALUES lat=%.6f lon=%.6f alt=%.1f slew=%u crash=%d collisions=%d rate=%.4f",
      LatitudeDegrees(Read<int64_t>(kOffsetLatitude)), LongitudeDegrees(Read<int64_t>(kOffsetLongitude)),
      AltitudeFeet(Read<int64_t>(kOffsetAltitude)), Read<uint16_t>(kOffsetSlew), Read<int8_t>(kOffsetCrashDetection),
      Read<int8_t>(kOffsetCollisions), SimulationRate(Read<int16_t>(kOffsetSimulationRate)));
}

}  // namespace fs9sim
