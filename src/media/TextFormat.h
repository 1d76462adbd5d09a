#pragma once
// printf-style formatting into a std::string, for the fixed message texts of the kit.

#include <cstdarg>
#include <string>

namespace tovik {

std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string FormatTextV(const char* format, va_list arguments);

// The text without white space at either end.
std::string TrimText(const std::string& text);
// The text with ASCII letters in lower case.
std::string LowerText(std::string text);

} // namespace tovik
