#include "settings/NumberText.h"

#include <charconv>
#include <cmath>

namespace tovik {

std::optional<int32_t> ParseInteger(std::string_view text) {
    if (text.empty())
        return std::nullopt;
    bool negative = false;
    if (text.front() == '-' || text.front() == '+') {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (!text.empty() && text.front() == '$') {
        base = 16;
        text.remove_prefix(1);
    } else if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    // from_chars takes no sign of its own here: the sign was consumed above.
    if (text.empty() || text.front() == '-' || text.front() == '+')
        return std::nullopt;
    int64_t magnitude = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    const int64_t value = negative ? -magnitude : magnitude;
    if (value < INT32_MIN || value > INT32_MAX)
        return std::nullopt;
    return static_cast<int32_t>(value);
}

std::optional<double> ParseNumber(std::string_view text) {
    if (text.empty() || text.front() == ' ')
        return std::nullopt;
    if (auto integer = ParseInteger(text))
        return static_cast<double>(*integer);
    if (text.front() == '+')
        text.remove_prefix(1);
    if (text.empty() || text.front() == '-' || text.front() == '+')
        return std::nullopt;
    double value = 0;
    auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace tovik
