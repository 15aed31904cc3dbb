// The stand-in for the host's core module. Its image holds one exported 64 KB
// block of memory; the simulated host writes the position, altitude and
// realism values into it at the offsets the module reads from the image base.
#include <cstdint>

extern "C" {
// Placed in initialised data so it sits inside the image, close to its start.
uint8_t CoreMemory[65536] = {1};
}
