// volantis_refdata: builds the reference data files of the race aircraft from a
// reference installation.
//
//   volantis_refdata set <simulator folder> <row list folder> <output folder>
//       all five aircraft: aircraft0.tsv .. aircraft4.tsv and air_digests.tsv
//   volantis_refdata values <aircraft.cfg> <row list> <output file>
//       one aircraft's value rows
//   volantis_refdata digest <flight-model file>
//       the file's digest words h0 to h4 in hexadecimal
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/parsed_profile_reader.h"
#include "reference_rows.h"
#include "server/digest.h"
#include "validation/reference_aircraft.h"

namespace {

using volantis::refdata::Row;

bool ReadText(const std::string& path, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  text->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

bool WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  return static_cast<bool>(out);
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "volantis_refdata: %s\n", message.c_str());
  return 1;
}

bool DigestText(const std::string& path, std::string* text) {
  volantis::UniqueFile file = volantis::SystemFileSystem().OpenForReading(path);
  if (!file) return false;
  volantis::Digest d = volantis::DigestStream(file.get());
  char words[64];
  std::snprintf(words, sizeof words, "%08X %08X %08X %08X %08X", static_cast<unsigned>(d.h0),
                static_cast<unsigned>(d.h1), static_cast<unsigned>(d.h2), static_cast<unsigned>(d.h3),
                static_cast<unsigned>(d.h4));
  *text = words;
  return true;
}

// Builds one data file; false with `error` set.
bool BuildValues(const std::string& cfg_path, const std::string& rows_path, const std::string& out_path,
                 const std::string& header, std::string* error) {
  std::string row_text;
  if (!ReadText(rows_path, &row_text)) {
    *error = "cannot read the row list " + rows_path;
    return false;
  }
  std::vector<Row> rows;
  if (!volantis::refdata::ReadRowList(row_text, &rows, error)) {
    *error = rows_path + ": " + *error;
    return false;
  }
  volantis::FileStatus status;
  if (!volantis::SystemFileSystem().Status(cfg_path, &status) || status.is_directory) {
    *error = "cannot find the configuration file " + cfg_path;
    return false;
  }
  volantis::ParsedProfileReader reader(volantis::SystemFileSystem());
  if (!volantis::refdata::FillValues(reader, cfg_path, &rows, error)) {
    *error = cfg_path + ": " + *error;
    return false;
  }
  for (const Row& row : rows) {
    if (row.value.empty()) {
      std::fprintf(stderr, "volantis_refdata: warning: %s: section '%s', key '%s' is missing or empty\n",
                   cfg_path.c_str(), row.section.c_str(), row.key.c_str());
    }
  }
  if (!WriteText(out_path, volantis::refdata::FormatDataFile(rows, header))) {
    *error = "cannot write " + out_path;
    return false;
  }
  std::printf("%s: %zu rows\n", out_path.c_str(), rows.size());
  return true;
}

std::string Header(const std::string& what, const std::string& source) {
  return "# " + what + "\n# Built by volantis_refdata from " + source +
         "\n# section<TAB>key<TAB>expected value, in check order.\n";
}

int BuildSet(const std::string& sim_folder, const std::string& rows_folder, const std::string& out_folder) {
  std::string digests =
      "# Flight-model digests (h0 to h4, hexadecimal), built by volantis_refdata from " + sim_folder + "\n";
  for (int32_t number = 0; number < volantis::kReferenceAircraftCount; ++number) {
    const volantis::ReferenceAircraft* aircraft = volantis::FindReferenceAircraft(number);
    std::string n = std::to_string(number);
    std::string error;
    std::string cfg = sim_folder + aircraft->cfg_path;
    if (!BuildValues(cfg, rows_folder + "/aircraft" + n + ".rows", out_folder + "/aircraft" + n + ".tsv",
                     Header("Reference values of aircraft " + n + " (\"" + aircraft->folder + "\")",
                            std::string(aircraft->cfg_path)),
                     &error)) {
      return Fail(error);
    }
    std::string words;
    std::string air = sim_folder + aircraft->air_path;
    if (!DigestText(air, &words)) return Fail("cannot read the flight-model file " + air);
    digests += n + "\t" + words + "\n";
  }
  if (!WriteText(out_folder + "/air_digests.tsv", digests)) return Fail("cannot write " + out_folder + "/air_digests.tsv");
  std::printf("%s/air_digests.tsv: 5 digests\n", out_folder.c_str());
  return 0;
}

int Usage() {
  std::fprintf(stderr,
               "usage:\n"
               "  volantis_refdata set <simulator folder> <row list folder> <output folder>\n"
               "  volantis_refdata values <aircraft.cfg> <row list> <output file>\n"
               "  volantis_refdata digest <flight-model file>\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 4 && args[0] == "set") return BuildSet(args[1], args[2], args[3]);
  if (args.size() == 4 && args[0] == "values") {
    std::string error;
    if (!BuildValues(args[1], args[2], args[3], Header("Reference values", args[1]), &error)) return Fail(error);
    return 0;
  }
  if (args.size() == 2 && args[0] == "digest") {
    std::string words;
    if (!DigestText(args[1], &words)) return Fail("cannot read " + args[1]);
    std::printf("%s\n", words.c_str());
    return 0;
  }
  return Usage();
}
