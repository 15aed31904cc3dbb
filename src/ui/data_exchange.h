#pragma once
// Data exchange between a dialog's fields and its controls, driven by one table
// of (control, field, bound). Filling the controls also limits what can be typed
// into bounded text controls; reading them back checks every bound first and
// changes no field unless all hold, naming the control of the first broken bound.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace volantis {

// What data exchange needs from a dialog; the Windows half implements it over
// the dialog's window, tests over a map.
class DialogControls {
 public:
  virtual ~DialogControls() = default;
  virtual std::string GetText(int control) = 0;
  virtual void SetText(int control, const std::string& text) = 0;
  virtual bool GetCheck(int control) = 0;
  virtual void SetCheck(int control, bool checked) = 0;
  // At most max_chars characters can be typed into the control.
  virtual void LimitText(int control, std::size_t max_chars) = 0;
};

struct TextBound {
  std::size_t max_chars;
};
struct IntegerBound {
  int64_t min;
  int64_t max;
};

struct ExchangeItem {
  int control;
  std::variant<bool*, std::string*, int32_t*> field;
  std::variant<std::monostate, TextBound, IntegerBound> bound;
};

struct ExchangeFailure {
  int control;          // gets the focus
  std::string message;  // shown to the user
};

void FillControls(const std::vector<ExchangeItem>& table, DialogControls& controls);
std::optional<ExchangeFailure> ReadControls(const std::vector<ExchangeItem>& table, DialogControls& controls);

// An integer as typed: optional blanks around an optionally signed run of digits.
std::optional<int64_t> ParseInteger(const std::string& text);

}  // namespace volantis
