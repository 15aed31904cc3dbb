#pragma once
// What the simulator and the pilots' machines need from the 32-bit Volantis.dll,
// checked from the file's bytes alone (nothing is loaded or run):
//  - an i386 DLL;
//  - exports exactly ImportTable and Linkage, undecorated, holding the words the
//    simulator reads (module id, code entries inside the image, host version);
//  - imports only DLLs that Windows itself ships;
//  - the menu, title string, icon, version record and the ten sounds.
#include <cstdint>
#include <string>
#include <vector>

namespace volantis::pecheck {

// One line per problem found, every problem rather than the first; empty when
// the file passes.
std::vector<std::string> CheckModuleImage(const std::vector<uint8_t>& bytes);

}  // namespace volantis::pecheck
