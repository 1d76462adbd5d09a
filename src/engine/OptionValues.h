#pragma once
// Value conversions of the engine's options. A text that is not a number raises the
// conversion error (EConvertError, not an engine error) with the run-time library's text.

#include "media/TextFormat.h"

#include <cstdint>
#include <stdexcept>
#include <string>

namespace tovik {

class EConvertError : public std::runtime_error {
public:
    explicit EConvertError(const std::string& message) : std::runtime_error(message) {}
};

// Decimal integer, surrounding blanks allowed: "'%s' is not a valid integer value".
int32_t StrToInt(const std::string& text);
int64_t StrToInt64(const std::string& text);
// Decimal number: "'%s' is not a valid floating point value".
double StrToFloat(const std::string& text);
// A switch is on unless its value is exactly "0" (an empty value turns it on).
inline bool SwitchValue(const std::string& value) {
    return value != "0";
}

} // namespace tovik
