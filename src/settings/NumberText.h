#pragma once
// Number tests shared by the INI reader and the option builder: whole-text integer and
// floating-point parsing, never locale dependent.

#include <cstdint>
#include <optional>
#include <string_view>

namespace tovik {

// The whole text as a 32-bit integer: optional sign and decimal digits, or hexadecimal
// written "$1F" or "0x1F". Surrounding blanks, empty text and overflow give nothing.
std::optional<int32_t> ParseInteger(std::string_view text);
// The whole text as a finite floating-point number with "." as the decimal point (an
// integer text counts too). Infinities and NaN are refused: callers multiply and truncate.
std::optional<double> ParseNumber(std::string_view text);

} // namespace tovik
