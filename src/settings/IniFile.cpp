#include "settings/IniFile.h"

#include "settings/NumberText.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tovik {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Serialises the read-modify-replace of writes within the process, so that two threads
// writing different keys of one file cannot lose one of the keys. Readers need no lock: a
// file is only ever replaced whole.
std::mutex& WriteLock() {
    static std::mutex lock;
    return lock;
}

struct TLine {
    std::string text; // without its line break
    std::string eol;  // "\n", "\r\n", "\r" or empty for a last line without one
};

enum class TLineKind { Other, Section, Key };

struct TParsedLine {
    TLineKind kind = TLineKind::Other;
    std::string name; // section or key name, trimmed
    std::string value;
};

std::string_view Trim(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) {
                   return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
               };
               return lower(x) == lower(y);
           });
}

std::optional<std::string> ReadWholeText(const std::string& fileName) {
    std::ifstream stream(fileName, std::ios::binary);
    if (!stream)
        return std::nullopt;
    std::ostringstream buffer;
    buffer << stream.rdbuf();
    return buffer.str();
}

std::vector<TLine> SplitLines(const std::string& text) {
    std::vector<TLine> lines;
    size_t position = 0;
    while (position < text.size()) {
        const size_t stop = text.find_first_of("\r\n", position);
        if (stop == std::string::npos) {
            lines.push_back({text.substr(position), ""});
            break;
        }
        size_t next = stop + 1;
        if (text[stop] == '\r' && next < text.size() && text[next] == '\n')
            ++next;
        lines.push_back({text.substr(position, stop - position), text.substr(stop, next - stop)});
        position = next;
    }
    return lines;
}

TParsedLine ParseLine(std::string_view text, bool firstLine) {
    if (firstLine && text.starts_with(kByteOrderMark))
        text.remove_prefix(kByteOrderMark.size());
    text = Trim(text);
    TParsedLine parsed;
    if (text.empty() || text.front() == ';')
        return parsed;
    if (text.front() == '[') {
        const size_t close = text.rfind(']');
        if (close != std::string_view::npos && close > 0) {
            parsed.kind = TLineKind::Section;
            parsed.name = std::string(Trim(text.substr(1, close - 1)));
        }
        return parsed;
    }
    const size_t equals = text.find('=');
    if (equals == std::string_view::npos)
        return parsed;
    parsed.kind = TLineKind::Key;
    parsed.name = std::string(Trim(text.substr(0, equals)));
    parsed.value = std::string(Trim(text.substr(equals + 1)));
    return parsed;
}

// Index of the section's header line and of the key's line within it (first matches, as the
// profile functions do); npos when absent.
struct TLookup {
    size_t sectionLine = std::string::npos;
    size_t keyLine = std::string::npos;
    size_t lastEntryLine = std::string::npos; // last key line of the section
    std::string value;
};

TLookup Find(const std::vector<TLine>& lines, const std::string& section, const std::string& key) {
    TLookup lookup;
    bool inSection = false;
    for (size_t index = 0; index < lines.size(); ++index) {
        const TParsedLine parsed = ParseLine(lines[index].text, index == 0);
        if (parsed.kind == TLineKind::Section) {
            if (inSection)
                break; // the first matching section has ended
            inSection = SameName(parsed.name, section);
            if (inSection)
                lookup.sectionLine = index;
        } else if (inSection && parsed.kind == TLineKind::Key) {
            lookup.lastEntryLine = index;
            if (lookup.keyLine == std::string::npos && SameName(parsed.name, key)) {
                lookup.keyLine = index;
                lookup.value = parsed.value;
            }
        }
    }
    return lookup;
}

std::optional<std::string> LookUpValue(const std::string& fileName, const std::string& section,
                                       const std::string& key) {
    const auto text = ReadWholeText(fileName);
    if (!text)
        return std::nullopt;
    // Blanks around the asked names count as little as blanks around the file's names.
    const TLookup lookup =
        Find(SplitLines(*text), std::string(Trim(section)), std::string(Trim(key)));
    if (lookup.keyLine == std::string::npos)
        return std::nullopt;
    return lookup.value;
}

bool HasLineBreakOrNul(const std::string& text) {
    return text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos;
}

// Writes text to a temporary file beside target and renames it over target. The old file's
// permission bits are kept; a new file gets 0644 less the process's umask-free default.
bool ReplaceFileAtomically(const std::string& target, const std::string& text) {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path path(target);
    // Follow a symbolic link so that the link stays and its target gets the new text.
    if (fs::is_symlink(fs::symlink_status(path, error))) {
        fs::path resolved = fs::canonical(path, error);
        if (error)
            return false;
        path = resolved;
    }
    mode_t mode = 0644;
    struct stat facts {};
    if (::stat(path.c_str(), &facts) == 0)
        mode = facts.st_mode & 07777;
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    // The settings folder of a new account may not exist yet ($XDG_CONFIG_HOME).
    fs::create_directories(folder, error);
    std::string pattern = (folder / ("." + path.filename().string() + ".XXXXXX")).string();
    const int descriptor = ::mkstemp(pattern.data());
    if (descriptor < 0)
        return false;
    bool ok = true;
    size_t written = 0;
    while (ok && written < text.size()) {
        const ssize_t count = ::write(descriptor, text.data() + written, text.size() - written);
        if (count < 0 && errno == EINTR)
            continue;
        ok = count > 0;
        if (ok)
            written += static_cast<size_t>(count);
    }
    ok = ok && ::fchmod(descriptor, mode) == 0 && ::fsync(descriptor) == 0;
    ok = (::close(descriptor) == 0) && ok;
    ok = ok && ::rename(pattern.c_str(), path.c_str()) == 0;
    if (!ok)
        ::unlink(pattern.c_str());
    return ok;
}

} // namespace

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& defaultValue) const {
    return LookUpValue(fileName_, section, key).value_or(defaultValue);
}

int32_t TIniFile::ReadInteger(const std::string& section, const std::string& key,
                              int32_t defaultValue) const {
    const auto value = LookUpValue(fileName_, section, key);
    if (!value)
        return defaultValue;
    return ParseInteger(*value).value_or(defaultValue);
}

bool TIniFile::ReadBool(const std::string& section, const std::string& key,
                        bool defaultValue) const {
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

bool TIniFile::ValueExists(const std::string& section, const std::string& key) const {
    return LookUpValue(fileName_, section, key).has_value();
}

bool TIniFile::IsWritable(const std::string& section, const std::string& key,
                          const std::string& value) {
    if (HasLineBreakOrNul(section) || HasLineBreakOrNul(key) || HasLineBreakOrNul(value))
        return false;
    if (section.find(']') != std::string::npos)
        return false;
    const std::string_view trimmedKey = Trim(key);
    if (trimmedKey.empty() || trimmedKey.front() == '[' || trimmedKey.front() == ';' ||
        key.find('=') != std::string::npos)
        return false;
    return true;
}

bool TIniFile::WriteString(const std::string& section, const std::string& key,
                           const std::string& value) {
    if (!IsWritable(section, key, value))
        return false;
    std::lock_guard lock(WriteLock());
    const std::string trimmedSection(Trim(section));
    const std::string trimmedKey(Trim(key));
    const std::string text = ReadWholeText(fileName_).value_or("");
    std::vector<TLine> lines = SplitLines(text);
    // New lines follow the file's own line-break style.
    std::string eol = "\n";
    if (!lines.empty() && !lines.front().eol.empty())
        eol = lines.front().eol;

    const TLookup lookup = Find(lines, trimmedSection, trimmedKey);
    if (lookup.keyLine != std::string::npos) {
        if (lookup.value == std::string(Trim(value)))
            return true; // already holds it: leave the file alone
        TLine& line = lines[lookup.keyLine];
        // Keep the key as spelt in the file and whatever stood before it.
        const size_t equals = line.text.find('=');
        line.text = line.text.substr(0, equals + 1) + value;
    } else {
        const TLine entry{trimmedKey + "=" + value, eol};
        if (lookup.sectionLine != std::string::npos) {
            size_t after = lookup.lastEntryLine != std::string::npos ? lookup.lastEntryLine
                                                                     : lookup.sectionLine;
            if (lines[after].eol.empty())
                lines[after].eol = eol;
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(after + 1), entry);
        } else {
            if (!lines.empty() && lines.back().eol.empty())
                lines.back().eol = eol;
            lines.push_back({"[" + trimmedSection + "]", eol});
            lines.push_back(entry);
        }
    }
    std::string result;
    result.reserve(text.size() + key.size() + value.size() + 8);
    for (const TLine& line : lines)
        result += line.text + line.eol;
    return ReplaceFileAtomically(fileName_, result);
}

bool TIniFile::WriteInteger(const std::string& section, const std::string& key, int32_t value) {
    return WriteString(section, key, std::to_string(value));
}

bool TIniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
    return WriteString(section, key, value ? "1" : "0");
}

} // namespace tovik
