#include "reference_rows.h"

#include <sstream>

#include "validation/validator.h"

namespace volantis::refdata {

bool ReadRowList(const std::string& text, std::vector<Row>* rows, std::string* error) {
  std::istringstream in(text);
  std::string line;
  int line_number = 0;
  while (std::getline(in, line)) {
    ++line_number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    std::size_t tab = line.find('\t');
    if (tab == std::string::npos || tab == 0 || tab + 1 >= line.size()) {
      *error = "row list line " + std::to_string(line_number) + ": expected section<TAB>key";
      return false;
    }
    std::size_t next = line.find('\t', tab + 1);
    Row row;
    row.section = line.substr(0, tab);
    row.key = line.substr(tab + 1, next == std::string::npos ? std::string::npos : next - tab - 1);
    rows->push_back(row);
  }
  return true;
}

bool FillValues(ProfileReader& reader, const std::string& cfg_path, std::vector<Row>* rows, std::string* error) {
  for (Row& row : *rows) {
    row.value = CleanConfigValue(
        ReadProfileValue(reader, cfg_path, row.section.c_str(), row.key.c_str(), kConfigValueBufferSize));
    if (row.value.find_first_of("\t[];\\") != std::string::npos) {
      *error = "section '" + row.section + "', key '" + row.key + "': the value '" + row.value +
               "' holds a character a data file cannot store";
      return false;
    }
  }
  return true;
}

std::string FormatDataFile(const std::vector<Row>& rows, const std::string& header) {
  std::string text = header;
  for (const Row& row : rows) text += row.section + "\t" + row.key + "\t" + row.value + "\n";
  return text;
}

}  // namespace volantis::refdata
