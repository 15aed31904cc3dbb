#pragma once
// The commands of volantis_refdata (see README.md):
//
//   volantis_refdata [--replace-published] set <simulator folder> <row list folder> <output folder>
//       all five aircraft: aircraft0.tsv .. aircraft4.tsv and air_digests.tsv
//   volantis_refdata [--replace-published] values <aircraft.cfg> <row list> <output file>
//       one aircraft's value rows
//   volantis_refdata digest <flight-model file>
//       the file's digest words h0 to h4 in hexadecimal
//
// New data that would differ from a published value or digest is refused, with
// one line per difference and nothing written, unless --replace-published is given.
#include <ostream>
#include <string>
#include <vector>

namespace volantis::refdata {

// Runs one command line (without the program name). Returns the exit status:
// 0 done, 1 failed or refused, 2 a usage error.
int RunRefdata(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace volantis::refdata
