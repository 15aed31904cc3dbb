// The text rules of the configuration checks.
#include <cstring>

#include "validation/validator.h"

namespace volantis {
namespace {

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }

bool AsciiPrefixIgnoringCase(const std::string& text, const std::string& prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (AsciiLower(text[i]) != AsciiLower(prefix[i])) return false;
  }
  return true;
}

bool IsCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

bool IsVariationSection(const std::string& name) { return AsciiPrefixIgnoringCase(name, "fltsim."); }

bool TitleCarriesRaceTitle(const std::string& title, const std::string& race_title) {
  return AsciiPrefixIgnoringCase(title, race_title);
}

bool TextsEqualIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && AsciiPrefixIgnoringCase(a, b);
}

std::string CleanConfigValue(const std::string& value) {
  std::string cleaned = value.substr(0, value.find_first_of("/;"));
  while (!cleaned.empty() && IsCSpace(cleaned.back())) cleaned.pop_back();
  return cleaned;
}

}  // namespace volantis
