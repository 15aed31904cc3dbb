#include "query.h"

#include <algorithm>
#include <cstdlib>

namespace volantis::race_server {

namespace {

int HexValue(char ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  return -1;
}

// Decodes %XX and records where the raw "+" signs land in the output.
std::string DecodeKeepingPlus(const std::string& value, std::vector<std::size_t>& plus_positions) {
  std::string out;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '%' && i + 2 < value.size() && HexValue(value[i + 1]) >= 0 && HexValue(value[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(value[i + 1]) * 16 + HexValue(value[i + 2]));
      i += 2;
    } else {
      if (value[i] == '+') plus_positions.push_back(out.size());
      out += value[i];
    }
  }
  return out;
}

}  // namespace

std::map<std::string, std::string> SplitQuery(const std::string& query) {
  std::map<std::string, std::string> pairs;
  std::size_t start = 0;
  while (start <= query.size()) {
    std::size_t end = query.find('&', start);
    if (end == std::string::npos) end = query.size();
    std::string pair = query.substr(start, end - start);
    if (!pair.empty()) {
      std::size_t equals = pair.find('=');
      std::string key = equals == std::string::npos ? pair : pair.substr(0, equals);
      std::string value = equals == std::string::npos ? std::string() : pair.substr(equals + 1);
      pairs.emplace(key, value);  // the first of a repeated key counts
    }
    start = end + 1;
  }
  return pairs;
}

std::string PercentDecode(const std::string& value, bool plus_is_space) {
  std::vector<std::size_t> plus_positions;
  std::string out = DecodeKeepingPlus(value, plus_positions);
  if (plus_is_space) {
    for (std::size_t at : plus_positions) out[at] = ' ';
  }
  return out;
}

std::vector<std::string> PlayerReadings(const std::string& raw_value) {
  std::vector<std::size_t> plus_positions;
  const std::string with_plus = DecodeKeepingPlus(raw_value, plus_positions);
  std::vector<std::string> readings;
  if (plus_positions.size() > 10) {
    std::string with_space = with_plus;
    for (std::size_t at : plus_positions) with_space[at] = ' ';
    readings.push_back(with_space);
    readings.push_back(with_plus);
    return readings;
  }
  const std::size_t combinations = std::size_t{1} << plus_positions.size();
  // Mask 0 reads every "+" as a space, the usual reading, so it comes first.
  for (std::size_t mask = 0; mask < combinations; ++mask) {
    std::string reading = with_plus;
    for (std::size_t bit = 0; bit < plus_positions.size(); ++bit) {
      if ((mask & (std::size_t{1} << bit)) == 0) reading[plus_positions[bit]] = ' ';
    }
    readings.push_back(reading);
  }
  return readings;
}

}  // namespace volantis::race_server
