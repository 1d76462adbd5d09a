#include "engine/OptionValues.h"

#include "media/TextFormat.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <limits>

namespace tovik {

int64_t StrToInt64(const std::string& text) {
    const std::string trimmed = TrimText(text);
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(trimmed.c_str(), &end, 10);
    if (trimmed.empty() || *end != '\0' || errno == ERANGE)
        throw EConvertError(FormatText("'%s' is not a valid integer value", text.c_str()));
    return value;
}

int32_t StrToInt(const std::string& text) {
    const int64_t value = StrToInt64(text);
    if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max())
        throw EConvertError(FormatText("'%s' is not a valid integer value", text.c_str()));
    return static_cast<int32_t>(value);
}

double StrToFloat(const std::string& text) {
    const std::string trimmed = TrimText(text);
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(trimmed.c_str(), &end);
    // strtod also reads "inf", "nan" and hexadecimal numbers; an option value is decimal.
    const bool decimal = trimmed.find_first_not_of("0123456789+-.eE") == std::string::npos;
    if (trimmed.empty() || *end != '\0' || errno == ERANGE || !decimal)
        throw EConvertError(FormatText("'%s' is not a valid floating point value", text.c_str()));
    return value;
}

} // namespace tovik
