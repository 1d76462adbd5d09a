#include "engine/OptionRecords.h"

#include "media/TextFormat.h"

#include <algorithm>
#include <cctype>

namespace tovik {

namespace {

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

} // namespace

std::vector<TOptionLine> SplitOptionText(const std::string& text) {
    std::string normal = TrimText(text);
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
        if (TrimText(line).empty())
            continue;
        const size_t equals = line.find('=');
        TOptionLine option;
        option.Name = TrimText(line.substr(0, equals));
        option.Value = equals == std::string::npos ? std::string() : line.substr(equals + 1);
        option.Name = LowerText(option.Name);
        lines.push_back(std::move(option));
    }
    return lines;
}

} // namespace tovik
