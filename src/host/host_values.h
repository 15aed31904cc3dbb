#pragma once
// Where the host keeps the values the module reads, and how raw words become
// degrees, feet and a rate. Products are formed in double precision.
#include <cstdint>

namespace volantis {

inline constexpr uint32_t kOffsetLatitude = 0x3560;         // signed 64-bit
inline constexpr uint32_t kOffsetLongitude = 0x3568;        // signed 64-bit
inline constexpr uint32_t kOffsetAltitude = 0x3570;         // signed 64-bit, metres * 2^32
inline constexpr uint32_t kOffsetSlew = 0x35D4;             // 16-bit, 1 = slewing
inline constexpr uint32_t kOffsetCrashDetection = 0x382C;   // signed 8-bit, 1 = on
inline constexpr uint32_t kOffsetCollisions = 0x3846;       // signed 8-bit, 0 = off
inline constexpr uint32_t kOffsetSimulationRate = 0x3C12;   // signed 16-bit, 256 = real time

inline double LatitudeDegrees(int64_t raw) { return static_cast<double>(raw) * 2.0951091487837895e-15; }
inline double LongitudeDegrees(int64_t raw) { return static_cast<double>(raw) * 1.951563910473908e-17; }
inline double AltitudeFeet(int64_t raw) {
  return static_cast<double>(raw) * 3.2808398950131235 * 2.3283064365386963e-10;  // feet per metre, then 2^-32
}
inline double SimulationRate(int16_t raw) { return static_cast<double>(raw) * 0.00390625; }

}  // namespace volantis
