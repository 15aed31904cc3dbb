// The pilot's guide quotes the module's messages as the module writes them: every
// line of the guide that is one quotation must be a text some string literal of
// the module's sources produces, with a <...> of the guide where the literal has
// a format field.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The string literals of one C++ source, adjacent literals joined, escapes read,
// comments and character literals skipped.
std::vector<std::string> StringLiterals(const std::string& code) {
  std::vector<std::string> literals;
  std::string current;
  bool joining = false;  // only blanks and comments since the last literal ended
  std::size_t i = 0;
  auto finish = [&] {
    if (joining) literals.push_back(current);
    current.clear();
    joining = false;
  };
  while (i < code.size()) {
    const char c = code[i];
    if (code.compare(i, 2, "//") == 0) {
      i = code.find('\n', i);
      if (i == std::string::npos) break;
    } else if (code.compare(i, 2, "/*") == 0) {
      i = code.find("*/", i + 2);
      if (i == std::string::npos) break;
      i += 2;
    } else if (c == '\'') {
      finish();
      for (++i; i < code.size() && code[i] != '\''; ++i) {
        if (code[i] == '\\') ++i;
      }
      ++i;
    } else if (c == '"') {
      for (++i; i < code.size() && code[i] != '"'; ++i) {
        if (code[i] != '\\') {
          current += code[i];
          continue;
        }
        const char escaped = code[++i];
        current += escaped == 'n' ? '\n' : escaped == 't' ? '\t' : escaped == 'r' ? '\r' : escaped;
      }
      ++i;
      joining = true;
    } else {
      if (!std::isspace(static_cast<unsigned char>(c))) finish();
      ++i;
    }
  }
  finish();
  return literals;
}

std::string EscapeForRegex(char c) {
  static const std::string kSpecial = ".^$|()[]{}*+?\\";
  return kSpecial.find(c) == std::string::npos ? std::string(1, c) : std::string("\\") + c;
}

const std::regex kFormatField("^%[-+ #0]*[0-9]*(\\.[0-9]+)?(hh|h|ll|l|z)?[diouxXfFeEgGsc]");

// A literal as the pattern of the texts it formats (a field matches any text),
// and how many of its characters are fixed text.
std::regex MessagePattern(std::string literal, std::size_t* fixed) {
  while (!literal.empty() && literal.back() == '\n') literal.pop_back();
  std::string pattern;
  *fixed = 0;
  for (std::size_t i = 0; i < literal.size(); ++i) {
    std::smatch field;
    const std::string rest = literal.substr(i);
    if (literal.compare(i, 2, "%%") == 0) {
      pattern += "%";
      ++*fixed;
      ++i;
    } else if (literal[i] == '%' && std::regex_search(rest, field, kFormatField)) {
      pattern += ".+";
      i += field.length(0) - 1;
    } else {
      pattern += EscapeForRegex(literal[i]);
      ++*fixed;
    }
  }
  return std::regex(pattern);
}

// A quotation that ends in " ..." quotes the start of a message: its <...> stand
// for format fields.
std::regex StartPattern(const std::string& quoted_start) {
  std::string pattern;
  for (std::size_t i = 0; i < quoted_start.size(); ++i) {
    if (quoted_start[i] == '<') {
      pattern += "%[-+ #0-9.]*[a-zA-Z]+";
      i = quoted_start.find('>', i);
    } else {
      pattern += EscapeForRegex(quoted_start[i]);
    }
  }
  return std::regex(pattern);
}

TEST(PilotsGuide, QuotesEveryMessageAsTheModuleWritesIt) {
  const fs::path root = VOLANTIS_SOURCE_DIR;
  std::vector<std::string> literals;
  for (const auto& entry : fs::recursive_directory_iterator(root / "src")) {
    const std::string extension = entry.path().extension().string();
    if (extension != ".cpp" && extension != ".h") continue;
    for (std::string& literal : StringLiterals(ReadFile(entry.path()))) literals.push_back(std::move(literal));
  }
  struct Message {
    std::regex pattern;
    std::string literal;
  };
  std::vector<Message> messages;
  for (const std::string& literal : literals) {
    std::size_t fixed = 0;
    std::regex pattern = MessagePattern(literal, &fixed);
    // Mostly-field literals ("%s\n") would match anything.
    if (fixed >= 6) messages.push_back({std::move(pattern), literal});
  }
  ASSERT_GT(messages.size(), 100u) << "the sources were read";

  std::ifstream guide(root / "docs" / "pilots-guide.md");
  ASSERT_TRUE(guide) << "docs/pilots-guide.md";
  int quotations = 0;
  for (std::string line; std::getline(guide, line);) {
    if (line.size() < 2 || line.front() != '"' || line.back() != '"') continue;
    const std::string quoted = line.substr(1, line.size() - 2);
    ++quotations;
    bool found = false;
    const std::string ellipsis = " ...";
    if (quoted.size() > ellipsis.size() &&
        quoted.compare(quoted.size() - ellipsis.size(), ellipsis.size(), ellipsis) == 0) {
      const std::regex start = StartPattern(quoted.substr(0, quoted.size() - ellipsis.size()));
      for (const Message& m : messages) {
        if (std::regex_search(m.literal, start, std::regex_constants::match_continuous)) found = true;
      }
    }
    for (const Message& m : messages) {
      if (!found && std::regex_match(quoted, m.pattern)) found = true;
    }
    EXPECT_TRUE(found) << "the module writes no such message: " << quoted;
  }
  EXPECT_GT(quotations, 0);
}

}  // namespace
