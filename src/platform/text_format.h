#pragma once
// The one formatting helper: printf-style formatting into a std::string, with an
// optional cap on the characters kept. A formatted text is never used again as a
// format: pass it on as text ("%s" or the *Text operations).
#include <cstdarg>
#include <cstddef>
#include <string>

#if defined(__GNUC__)
#define VOLANTIS_PRINTF(format_index, first_arg) __attribute__((format(printf, format_index, first_arg)))
#else
#define VOLANTIS_PRINTF(format_index, first_arg)
#endif

namespace volantis {

std::string FormatText(const char* format, ...) VOLANTIS_PRINTF(1, 2);
std::string FormatTextV(const char* format, va_list args);
// As FormatText, keeping at most max_chars characters (a buffer of max_chars + 1).
std::string FormatTextCut(std::size_t max_chars, const char* format, ...) VOLANTIS_PRINTF(2, 3);
std::string FormatTextCutV(std::size_t max_chars, const char* format, va_list args);

}  // namespace volantis
