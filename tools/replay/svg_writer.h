#pragma once
// Writes an SVG document element by element. Every attribute value and every
// text is escaped for XML; element and attribute names are the caller's
// constants. Elements close in the order they were opened.
#include <string>
#include <utility>
#include <vector>

namespace volantis::replay {

using SvgAttributes = std::vector<std::pair<std::string, std::string>>;

// & < > " ' as entities; characters XML 1.0 does not allow are left out.
std::string EscapeXml(const std::string& text);

// A coordinate or length: fixed with two decimals.
std::string SvgNumber(double value);

class SvgWriter {
 public:
  // The XML declaration and the opening <svg> of width x height pixels.
  SvgWriter(double width, double height, const SvgAttributes& attributes = {});

  void Open(const std::string& name, const SvgAttributes& attributes = {});
  void Close();
  void Empty(const std::string& name, const SvgAttributes& attributes);
  void Text(const std::string& name, const SvgAttributes& attributes, const std::string& text);
  // A <title> child, shown as a tooltip by viewers.
  void Title(const std::string& text) { Text("title", {}, text); }

  // Closes every open element and returns the document.
  std::string Finish();

 private:
  void StartTag(const std::string& name, const SvgAttributes& attributes);
  std::string out_;
  std::vector<std::string> open_;
};

}  // namespace volantis::replay
