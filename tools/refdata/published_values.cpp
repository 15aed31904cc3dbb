#include "published_values.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace volantis::refdata {

std::string DifferenceLine(const PublishedDifference& difference) {
  return difference.aircraft + ": " + difference.item + ": published \"" + difference.published + "\", new \"" +
         difference.replacement + "\"";
}

void CompareWithPublished(const std::string& aircraft, const std::vector<Row>& rows,
                          std::vector<PublishedDifference>* differences) {
  for (const Row& row : rows) {
    if (!row.published || row.value == row.published_value) continue;
    differences->push_back({aircraft, "[" + row.section + "] " + row.key, row.published_value, row.value});
  }
}

std::string DigestWords(uint32_t h0, uint32_t h1, uint32_t h2, uint32_t h3, uint32_t h4) {
  char words[64];
  std::snprintf(words, sizeof words, "%08X %08X %08X %08X %08X", static_cast<unsigned>(h0), static_cast<unsigned>(h1),
                static_cast<unsigned>(h2), static_cast<unsigned>(h3), static_cast<unsigned>(h4));
  return words;
}

namespace {

// One hexadecimal word of at most eight digits, nothing else.
bool ReadWord(const std::string& text, uint32_t* word) {
  if (text.empty() || text.size() > 8) return false;
  for (char c : text) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  }
  *word = static_cast<uint32_t>(std::strtoul(text.c_str(), nullptr, 16));
  return true;
}

}  // namespace

bool ReadDigestList(const std::string& text, std::map<int32_t, std::string>* digests, std::string* error) {
  std::istringstream in(text);
  std::string line;
  int line_number = 0;
  while (std::getline(in, line)) {
    ++line_number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string number;
    std::string words[5];
    std::string extra;
    uint32_t h[5] = {};
    bool ok = static_cast<bool>(std::getline(fields, number, '\t')) && number.size() == 1 && number[0] >= '0' &&
              number[0] <= '9';
    for (int i = 0; ok && i < 5; ++i) ok = static_cast<bool>(fields >> words[i]) && ReadWord(words[i], &h[i]);
    if (!ok || (fields >> extra)) {
      *error = "line " + std::to_string(line_number) + ": expected number<TAB>h0 h1 h2 h3 h4";
      return false;
    }
    (*digests)[number[0] - '0'] = DigestWords(h[0], h[1], h[2], h[3], h[4]);
  }
  return true;
}

}  // namespace volantis::refdata
