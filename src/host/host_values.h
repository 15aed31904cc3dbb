#pragma once
// Where the host keeps the values the module reads, how wide each is, and how
// raw words become degrees, feet and a rate. Products are formed in double
// precision. Tests pin every figure here to the host's own numbers.
#include <cstdint>

namespace volantis {

// One value in the memory of the host's core module: its offset from the
// module's base, its width in bytes, and whether it is signed.
struct HostValue {
  uint32_t offset;
  uint32_t width;
  bool is_signed;
};

inline constexpr HostValue kHostLatitude{0x3560, 8, true};          // north positive
inline constexpr HostValue kHostLongitude{0x3568, 8, true};         // east positive
inline constexpr HostValue kHostAltitude{0x3570, 8, true};          // metres * 2^32
inline constexpr HostValue kHostSlew{0x35D4, 2, false};             // 1 = slewing
inline constexpr HostValue kHostCrashDetection{0x382C, 1, true};    // 1 = on
inline constexpr HostValue kHostCollisions{0x3846, 1, true};        // 0 = off
inline constexpr HostValue kHostSimulationRate{0x3C12, 2, true};    // 256 = real time

inline constexpr uint32_t kOffsetLatitude = kHostLatitude.offset;
inline constexpr uint32_t kOffsetLongitude = kHostLongitude.offset;
inline constexpr uint32_t kOffsetAltitude = kHostAltitude.offset;
inline constexpr uint32_t kOffsetSlew = kHostSlew.offset;
inline constexpr uint32_t kOffsetCrashDetection = kHostCrashDetection.offset;
inline constexpr uint32_t kOffsetCollisions = kHostCollisions.offset;
inline constexpr uint32_t kOffsetSimulationRate = kHostSimulationRate.offset;

// Whether type T reads value v: the same width and signedness.
template <typename T>
constexpr bool ReadsAs(const HostValue& v) {
  return v.width == sizeof(T) && v.is_signed == (static_cast<T>(-1) < static_cast<T>(0));
}

inline constexpr double kDegreesPerLatitudeUnit = 2.0951091487837895e-15;   // 90 / (10001750 * 2^32)
inline constexpr double kDegreesPerLongitudeUnit = 1.951563910473908e-17;   // 360 / 2^64
inline constexpr double kFeetPerMetre = 3.2808398950131235;
inline constexpr double kAltitudeUnitsPerMetre = 4294967296.0;               // 2^32
inline constexpr double kRatePerUnit = 0.00390625;                          // 1 / 256

inline double LatitudeDegrees(int64_t raw) { return static_cast<double>(raw) * kDegreesPerLatitudeUnit; }
inline double LongitudeDegrees(int64_t raw) { return static_cast<double>(raw) * kDegreesPerLongitudeUnit; }
inline double AltitudeFeet(int64_t raw) {
  return static_cast<double>(raw) * kFeetPerMetre * (1.0 / kAltitudeUnitsPerMetre);
}
inline double SimulationRate(int16_t raw) { return static_cast<double>(raw) * kRatePerUnit; }

}  // namespace volantis
