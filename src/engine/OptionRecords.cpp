#include "engine/OptionRecords.h"

#include <algorithm>
#include <cctype>

namespace tovik {

namespace {

std::string Trim(const std::string& text) {
    auto isSpace = [](unsigned char c) { return std::isspace(c) != 0; };
    auto begin = std::find_if_not(text.begin(), text.end(), isSpace);
    auto end = std::find_if_not(text.rbegin(), text.rend(), isSpace).base();
    return begin < end ? std::string(begin, end) : std::string();
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

} // namespace

std::vector<TOptionLine> SplitOptionText(const std::string& text) {
    std::string normal = Trim(text);
    ReplaceAll(normal, "\r\n", "\n");
    ReplaceAll(normal, "\r", "\n");
    ReplaceAll(normal, "<CRLF>", "\n");
    std::vector<TOptionLine> lines;
    size_t start = 0;
    while (start <= normal.size()) {
        size_t end = normal.find('\n', start);
        if (end == std::string::npos)
            end = normal.size();
        const std::string line = normal.substr(start, end - start);
        start = end + 1;
        if (Trim(line).empty())
            continue;
        const size_t equals = line.find('=');
        TOptionLine option;
        option.Name = Trim(line.substr(0, equals));
        option.Value = equals == std::string::npos ? std::string() : line.substr(equals + 1);
        std::transform(option.Name.begin(), option.Name.end(), option.Name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        lines.push_back(std::move(option));
    }
    return lines;
}

} // namespace tovik
