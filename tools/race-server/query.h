#pragma once
// Reading the module's query strings on the server side, and checking the
// validation code they carry.
#include <map>
#include <string>
#include <vector>

namespace volantis::race_server {

// Raw "key=value" pairs of a query (after "?"), values not decoded.
std::map<std::string, std::string> SplitQuery(const std::string& query);

// %XX decoded; "+" read as a space when plus_is_space.
std::string PercentDecode(const std::string& value, bool plus_is_space);

// Every way to read a raw player= value: the module sends a space as "+" but
// also leaves a "+" of the name as it is, so each "+" may be either. With more
// than ten "+" only the two uniform readings are returned.
std::vector<std::string> PlayerReadings(const std::string& raw_value);

}  // namespace volantis::race_server
