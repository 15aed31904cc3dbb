#include "svg_writer.h"

#include "platform/text_format.h"

namespace volantis::replay {

std::string EscapeXml(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        if (u < 0x20 && c != '\t' && c != '\n' && c != '\r') break;  // not allowed in XML 1.0
        out += c;
    }
  }
  return out;
}

std::string SvgNumber(double value) {
  std::string text = FormatText("%.2f", value);
  if (text == "-0.00") text = "0.00";
  return text;
}

SvgWriter::SvgWriter(double width, double height, const SvgAttributes& attributes) {
  out_ = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  SvgAttributes root = {{"xmlns", "http://www.w3.org/2000/svg"},
                        {"width", SvgNumber(width)},
                        {"height", SvgNumber(height)},
                        {"viewBox", "0 0 " + SvgNumber(width) + " " + SvgNumber(height)}};
  root.insert(root.end(), attributes.begin(), attributes.end());
  Open("svg", root);
}

void SvgWriter::StartTag(const std::string& name, const SvgAttributes& attributes) {
  out_ += std::string(open_.size(), ' ') + "<" + name;
  for (const auto& [key, value] : attributes) out_ += " " + key + "=\"" + EscapeXml(value) + "\"";
}

void SvgWriter::Open(const std::string& name, const SvgAttributes& attributes) {
  StartTag(name, attributes);
  out_ += ">\n";
  open_.push_back(name);
}

void SvgWriter::Close() {
  if (open_.empty()) return;
  const std::string name = open_.back();
  open_.pop_back();
  out_ += std::string(open_.size(), ' ') + "</" + name + ">\n";
}

void SvgWriter::Empty(const std::string& name, const SvgAttributes& attributes) {
  StartTag(name, attributes);
  out_ += "/>\n";
}

void SvgWriter::Text(const std::string& name, const SvgAttributes& attributes, const std::string& text) {
  StartTag(name, attributes);
  out_ += ">" + EscapeXml(text) + "</" + name + ">\n";
}

std::string SvgWriter::Finish() {
  while (!open_.empty()) Close();
  return out_;
}

}  // namespace volantis::replay
