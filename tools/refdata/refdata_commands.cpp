#include "refdata_commands.h"

#include <fstream>
#include <iterator>
#include <map>
#include <utility>

#include "platform/file_system.h"
#include "platform/parsed_profile_reader.h"
#include "published_values.h"
#include "reference_rows.h"
#include "server/digest.h"
#include "validation/reference_aircraft.h"

namespace volantis::refdata {

namespace {

constexpr const char* kReplaceFlag = "--replace-published";
constexpr const char* kPublishedDigestList = "published_digests.tsv";

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

bool Exists(const std::string& path) {
  FileStatus status;
  return SystemFileSystem().Status(path, &status);
}

bool DigestText(const std::string& path, std::string* text) {
  UniqueFile file = SystemFileSystem().OpenForReading(path);
  if (!file) return false;
  Digest d = DigestStream(file.get());
  *text = DigestWords(d.h0, d.h1, d.h2, d.h3, d.h4);
  return true;
}

// A data file to write once every file of the command has been built and checked.
struct DataFile {
  std::string path;
  std::string text;
  std::string summary;  // printed once written
};

// The data files of one command: built in memory, compared with what the race
// rules publish, then written all together or not at all.
class DataSetBuilder {
 public:
  DataSetBuilder(bool replace_published, std::ostream& out, std::ostream& err)
      : replace_published_(replace_published), out_(out), err_(err) {}

  int Fail(const std::string& message) {
    err_ << "volantis_refdata: " << message << "\n";
    return 1;
  }

  // Builds one aircraft's value rows into a pending data file; false with `error` set.
  bool BuildValues(const std::string& aircraft, const std::string& cfg_path, const std::string& rows_path,
                   const std::string& out_path, const std::string& header, std::string* error) {
    std::string row_text;
    if (!ReadText(rows_path, &row_text)) {
      *error = "cannot read the row list " + rows_path;
      return false;
    }
    std::vector<Row> rows;
    if (!ReadRowList(row_text, &rows, error)) {
      *error = rows_path + ": " + *error;
      return false;
    }
    FileStatus status;
    if (!SystemFileSystem().Status(cfg_path, &status) || status.is_directory) {
      *error = "cannot find the configuration file " + cfg_path;
      return false;
    }
    ParsedProfileReader reader(SystemFileSystem());
    if (!FillValues(reader, cfg_path, &rows, error)) {
      *error = cfg_path + ": " + *error;
      return false;
    }
    for (const Row& row : rows) {
      if (row.value.empty()) {
        err_ << "volantis_refdata: warning: " << cfg_path << ": section '" << row.section << "', key '" << row.key
             << "' is missing or empty\n";
      }
    }
    CompareWithPublished(aircraft, rows, &differences_);
    files_.push_back({out_path, FormatDataFile(rows, header), out_path + ": " + std::to_string(rows.size()) + " rows"});
    return true;
  }

  // A published digest is kept where the output already stores it.
  void CheckDigest(const std::string& aircraft, const std::string& air_path, const std::string& published,
                   const std::string& stored, const std::string& fresh) {
    if (stored == published && fresh != published) differences_.push_back({aircraft, air_path, published, fresh});
  }

  void AddFile(DataFile file) { files_.push_back(std::move(file)); }

  // Refuses when published data would change (unless told to), else writes every file.
  int Finish() {
    if (!differences_.empty()) {
      const std::string count = std::to_string(differences_.size());
      if (!replace_published_) {
        err_ << "volantis_refdata: the new data differs from what the race rules publish in " << count
             << " place(s); nothing was written:\n";
        for (const PublishedDifference& d : differences_) err_ << "  " << DifferenceLine(d) << "\n";
        err_ << "volantis_refdata: check the reference installation, or add " << kReplaceFlag
             << " to write the new values anyway.\n";
        return 1;
      }
      err_ << "volantis_refdata: " << kReplaceFlag << ": replacing what the race rules publish in " << count
           << " place(s):\n";
      for (const PublishedDifference& d : differences_) err_ << "  " << DifferenceLine(d) << "\n";
    }
    for (const DataFile& file : files_) {
      if (!WriteText(file.path, file.text)) return Fail("cannot write " + file.path);
      out_ << file.summary << "\n";
    }
    return 0;
  }

 private:
  bool replace_published_;
  std::ostream& out_;
  std::ostream& err_;
  std::vector<PublishedDifference> differences_;
  std::vector<DataFile> files_;
};

std::string Header(const std::string& what, const std::string& source) {
  return "# " + what + "\n# Built by volantis_refdata from " + source +
         "\n# section<TAB>key<TAB>expected value, in check order.\n";
}

// The digests a digest list file holds; an absent file holds none when `optional`.
bool ReadDigestFile(const std::string& path, bool optional, std::map<int32_t, std::string>* digests,
                    std::string* error) {
  std::string text;
  if (!ReadText(path, &text)) {
    if (optional && !Exists(path)) return true;
    *error = "cannot read " + path;
    return false;
  }
  if (!ReadDigestList(text, digests, error)) {
    *error = path + ": " + *error;
    return false;
  }
  return true;
}

int BuildSet(DataSetBuilder& command, const std::string& sim_folder, const std::string& rows_folder,
             const std::string& out_folder) {
  std::string error;
  std::map<int32_t, std::string> published;
  std::map<int32_t, std::string> stored;
  const std::string digests_path = out_folder + "/air_digests.tsv";
  if (!ReadDigestFile(rows_folder + "/" + kPublishedDigestList, false, &published, &error) ||
      !ReadDigestFile(digests_path, true, &stored, &error)) {
    return command.Fail(error);
  }
  std::string digests =
      "# Flight-model digests (h0 to h4, hexadecimal), built by volantis_refdata from " + sim_folder + "\n";
  for (int32_t number = 0; number < kReferenceAircraftCount; ++number) {
    const ReferenceAircraft* aircraft = FindReferenceAircraft(number);
    const std::string n = std::to_string(number);
    const std::string label = "aircraft " + n + " (\"" + aircraft->folder + "\")";
    if (published.count(number) == 0) {
      return command.Fail(rows_folder + "/" + kPublishedDigestList + ": no digest for aircraft " + n);
    }
    if (!command.BuildValues(label, sim_folder + aircraft->cfg_path, rows_folder + "/aircraft" + n + ".rows",
                             out_folder + "/aircraft" + n + ".tsv",
                             Header("Reference values of aircraft " + n + " (\"" + aircraft->folder + "\")",
                                    std::string(aircraft->cfg_path)),
                             &error)) {
      return command.Fail(error);
    }
    std::string words;
    const std::string air = sim_folder + aircraft->air_path;
    if (!DigestText(air, &words)) return command.Fail("cannot read the flight-model file " + air);
    command.CheckDigest(label, aircraft->air_path, published[number], stored[number], words);
    digests += n + "\t" + words + "\n";
  }
  command.AddFile({digests_path, digests, digests_path + ": 5 digests"});
  return command.Finish();
}

int Usage(std::ostream& err) {
  err << "usage:\n"
         "  volantis_refdata [--replace-published] set <simulator folder> <row list folder> <output folder>\n"
         "  volantis_refdata [--replace-published] values <aircraft.cfg> <row list> <output file>\n"
         "  volantis_refdata digest <flight-model file>\n";
  return 2;
}

}  // namespace

int RunRefdata(const std::vector<std::string>& all_args, std::ostream& out, std::ostream& err) {
  std::vector<std::string> args;
  bool replace_published = false;
  for (const std::string& arg : all_args) {
    if (arg == kReplaceFlag) {
      replace_published = true;
    } else {
      args.push_back(arg);
    }
  }
  DataSetBuilder command(replace_published, out, err);
  if (args.size() == 4 && args[0] == "set") return BuildSet(command, args[1], args[2], args[3]);
  if (args.size() == 4 && args[0] == "values") {
    std::string error;
    if (!command.BuildValues(args[2], args[1], args[2], args[3], Header("Reference values", args[1]), &error)) {
      return command.Fail(error);
    }
    return command.Finish();
  }
  if (args.size() == 2 && args[0] == "digest" && !replace_published) {
    std::string words;
    if (!DigestText(args[1], &words)) return command.Fail("cannot read " + args[1]);
    out << words << "\n";
    return 0;
  }
  return Usage(err);
}

}  // namespace volantis::refdata
