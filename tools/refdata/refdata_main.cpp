// volantis_refdata: builds the reference data files of the race aircraft from a
// reference installation. The commands are in refdata_commands.h.
#include <iostream>
#include <string>
#include <vector>

#include "refdata_commands.h"

int main(int argc, char** argv) {
  return volantis::refdata::RunRefdata(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
