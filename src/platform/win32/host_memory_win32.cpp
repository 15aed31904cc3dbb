#include <windows.h>

#include "platform/module_memory.h"

namespace volantis {
namespace {

const unsigned char* CoreModuleBase() {
  return reinterpret_cast<const unsigned char*>(::GetModuleHandleA("global.dll"));
}

}  // namespace

HostMemory& ProcessHostMemory() {
  static ModuleMemory memory(CoreModuleBase);
  return memory;
}

}  // namespace volantis
