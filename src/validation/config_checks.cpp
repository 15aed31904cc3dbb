// The three checks on the aircraft configuration files.
#include "validation/validator.h"

namespace volantis {

bool Validator::CheckConfigValue(const std::string& path, const std::string& section, const std::string& key,
                                 const std::string& expected, std::string* message) {
  std::string value =
      CleanConfigValue(ReadProfileValue(profiles_, path, section.c_str(), key.c_str(), kConfigValueBufferSize));
  if (value == expected) return true;
  *message = FormatText("Bad config value. File: '%s', section: '%s', key: '%s', value: '%s' should be '%s'.\n",
                        path.c_str(), section.c_str(), key.c_str(), value.c_str(), expected.c_str());
  log_.LogText(kLogDetail, *message);
  return false;
}

bool Validator::ForEachVariation(const std::string& path, const std::function<bool(const std::string&)>& visit) {
  for (const std::string& section : ReadProfileSectionNames(profiles_, path, kSectionListBufferSize)) {
    if (!IsVariationSection(section)) continue;
    if (!visit(section)) return false;
  }
  return true;
}

bool Validator::CheckSimLine(const std::string& path, const std::string& title, const std::string& sim_name) {
  return ForEachVariation(path, [&](const std::string& section) {
    std::string found_title = ReadProfileValue(profiles_, path, section.c_str(), "title", kTitleBufferSize);
    if (!TitleCarriesRaceTitle(found_title, title)) return true;
    std::string sim = ReadProfileValue(profiles_, path, section.c_str(), "sim", kTitleBufferSize);
    if (TextsEqualIgnoringCase(sim, sim_name)) return true;
    server_.SendResults(false,
                        "Bad 'sim=' line in config file: '%s', section: '%s', title: '%s', 'sim=%s' should be "
                        "'sim=%s'.\n",
                        path.c_str(), section.c_str(), found_title.c_str(), sim.c_str(), sim_name.c_str());
    return false;
  });
}

bool Validator::CheckTitleElsewhere(const std::string& own_folder, const std::string& title) {
  const std::string folder = sim_folder() + "\\Aircraft";
  bool claimed = false;
  bool stopped = false;
  bool searched = files_.SearchFolder(folder, [&](const DirectoryEntry& entry) {
    // A folder of thousands of aircraft: the end of the module stops the scan.
    if (workers_.ending()) return stopped = true, false;
    if (!entry.is_directory) return true;
    if (entry.name == "." || entry.name == "..") return true;
    if (TextsEqualIgnoringCase(entry.name, own_folder)) return true;
    std::string path = folder + "\\" + entry.name + "\\aircraft.cfg";
    FileStatus status;
    if (!files_.Status(path, &status)) return true;
    bool clean = ForEachVariation(path, [&](const std::string& section) {
      std::string found_title = ReadProfileValue(profiles_, path, section.c_str(), "title", kTitleBufferSize);
      if (!TitleCarriesRaceTitle(found_title, title)) return true;
      server_.SendResults(false, "Found title '%s' in wrong config file: '%s', section: '%s'.\n",
                          found_title.c_str(), path.c_str(), section.c_str());
      return false;
    });
    claimed = !clean;
    return clean;
  });
  if (stopped) return false;  // nothing more is reported after the end
  if (!searched) {
    server_.SendResults(false, "Error searching for files in: '%s'.\n", folder.c_str());
    return false;
  }
  return !claimed;
}

}  // namespace volantis
