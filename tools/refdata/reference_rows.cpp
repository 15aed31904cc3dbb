#include "reference_rows.h"

#include <sstream>

#include "validation/validator.h"

namespace volantis::refdata {

namespace {

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1) {
    fields.push_back(line.substr(start, tab - start));
  }
  fields.push_back(line.substr(start));
  return fields;
}

}  // namespace

bool ReadRowList(const std::string& text, std::vector<Row>* rows, std::string* error) {
  std::istringstream in(text);
  std::string line;
  int line_number = 0;
  while (std::getline(in, line)) {
    ++line_number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    const std::vector<std::string> fields = SplitTabs(line);
    const bool plain = fields.size() == 2;
    const bool published = fields.size() == 4 && fields[2] == "published";
    if ((!plain && !published) || fields[0].empty() || fields[1].empty()) {
      *error = "row list line " + std::to_string(line_number) +
               ": expected section<TAB>key or section<TAB>key<TAB>published<TAB>value";
      return false;
    }
    Row row;
    row.section = fields[0];
    row.key = fields[1];
    row.published = published;
    if (published) row.published_value = fields[3];
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
