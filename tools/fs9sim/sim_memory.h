#pragma once
// The stand-in core module "global.dll" loaded from the simulator's folder, and
// the seven values the module reads, written at their offsets from its base.
#include <windows.h>

#include <cstdint>
#include <string>

namespace fs9sim {

class SimMemory {
 public:
  // Loads the core module and checks that every offset the module reads lies
  // inside its exported block; error describes a failure.
  bool Load(const std::string& folder, std::string& error);

  void SetLatitude(double degrees);
  void SetLongitude(double degrees);
  void SetAltitude(double feet);
  void SetSlew(uint16_t value);
  void SetCrashDetection(int8_t value);
  void SetCollisions(int8_t value);
  void SetRate(double rate);

  // Raw writes, as a recorded track holds them.
  void WriteInt64(uint32_t offset, int64_t value);
  void WriteInt16(uint32_t offset, int16_t value);
  void WriteInt8(uint32_t offset, int8_t value);

  void PrintValues() const;

 private:
  template <typename T>
  T Read(uint32_t offset) const;
  uint8_t* base_ = nullptr;
};

}  // namespace fs9sim
