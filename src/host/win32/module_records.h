#pragma once
// The two records the host reads from every module it loads: the import table
// (which of the host's modules this one uses) and the linkage record (module id,
// init and deinit entries, host version). Exported undecorated by volantis.def.
#include <cstdint>

namespace volantis::win32 {

struct ImportEntry {
  uint32_t module_number;  // 0x0F names the host's core module
  uint32_t slot;           // filled by the host; never read here
};

struct LinkageRecord {
  uint32_t module_id;
  void (*init)();
  void (*deinit)();
  uint32_t flags;
  uint32_t module_version;
  uint32_t host_version;
  uint32_t reserved;
};
#if defined(_WIN64)
// The 64-bit build (run under 64-bit Wine only) keeps the same fields; its two
// entries are 8-byte pointers at their natural alignment.
static_assert(sizeof(LinkageRecord) == 40, "seven fields, two of them 64-bit pointers");
#else
static_assert(sizeof(LinkageRecord) == 7 * 4, "the host reads seven 32-bit words");
#endif
static_assert(sizeof(ImportEntry) == 2 * 4, "the host reads two 32-bit words an entry");

inline constexpr uint32_t kModuleId = 0x64656667;
inline constexpr uint32_t kHostVersion = 0x900;
inline constexpr uint32_t kCoreModuleNumber = 0x0F;

}  // namespace volantis::win32

extern "C" {
extern volantis::win32::ImportEntry ImportTable[2];
extern volantis::win32::LinkageRecord Linkage;
}
