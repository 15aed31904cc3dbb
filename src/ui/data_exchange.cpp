#include "ui/data_exchange.h"

#include <cctype>

#include "platform/text_format.h"

namespace volantis {
namespace {

template <class... Ts>
struct Overloaded : Ts... {
  using Ts::operator()...;
};
template <class... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::optional<int64_t> ParseInteger(const std::string& text) {
  std::size_t at = 0;
  while (at < text.size() && IsBlank(text[at])) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  const std::size_t digits_begin = at;
  int64_t value = 0;
  while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) {
    if (at - digits_begin >= 15) return std::nullopt;  // far beyond any bound
    value = value * 10 + (text[at++] - '0');
  }
  if (at == digits_begin) return std::nullopt;
  while (at < text.size() && IsBlank(text[at])) ++at;
  if (at != text.size()) return std::nullopt;
  return negative ? -value : value;
}

void FillControls(const std::vector<ExchangeItem>& table, DialogControls& controls) {
  for (const ExchangeItem& item : table) {
    std::visit(Overloaded{
                   [&](bool* field) { controls.SetCheck(item.control, *field); },
                   [&](std::string* field) { controls.SetText(item.control, *field); },
                   [&](int32_t* field) { controls.SetText(item.control, FormatText("%d", static_cast<int>(*field))); },
               },
               item.field);
    if (const TextBound* bound = std::get_if<TextBound>(&item.bound)) controls.LimitText(item.control, bound->max_chars);
  }
}

std::optional<ExchangeFailure> ReadControls(const std::vector<ExchangeItem>& table, DialogControls& controls) {
  // Every value is read and checked before any field changes.
  std::vector<std::variant<bool, std::string, int32_t>> values;
  for (const ExchangeItem& item : table) {
    if (std::holds_alternative<bool*>(item.field)) {
      values.emplace_back(controls.GetCheck(item.control));
      continue;
    }
    const std::string text = controls.GetText(item.control);
    if (std::holds_alternative<std::string*>(item.field)) {
      if (const TextBound* bound = std::get_if<TextBound>(&item.bound); bound && text.size() > bound->max_chars) {
        return ExchangeFailure{item.control, FormatText("Please enter no more than %u characters.",
                                                        static_cast<unsigned>(bound->max_chars))};
      }
      values.emplace_back(text);
      continue;
    }
    IntegerBound range{INT32_MIN, INT32_MAX};
    if (const IntegerBound* bound = std::get_if<IntegerBound>(&item.bound)) range = *bound;
    const std::optional<int64_t> number = ParseInteger(text);
    if (!number || *number < range.min || *number > range.max) {
      return ExchangeFailure{item.control, FormatText("Please enter an integer between %lld and %lld.",
                                                      static_cast<long long>(range.min),
                                                      static_cast<long long>(range.max))};
    }
    values.emplace_back(static_cast<int32_t>(*number));
  }
  for (std::size_t i = 0; i < table.size(); ++i) {
    std::visit(Overloaded{
                   [&](bool* field) { *field = std::get<bool>(values[i]); },
                   [&](std::string* field) { *field = std::get<std::string>(values[i]); },
                   [&](int32_t* field) { *field = std::get<int32_t>(values[i]); },
               },
               table[i].field);
  }
  return std::nullopt;
}

}  // namespace volantis
