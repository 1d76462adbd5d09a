// The settings reader on any file content, and one write into it: a write that reports success
// must be read back as written, and must leave every other key's value as it was.

#include "FuzzSupport.h"

#include "settings/IniFile.h"

#include <cstdlib>
#include <fstream>
#include <fuzzer/FuzzedDataProvider.h>
#include <string_view>

namespace {

std::string Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return std::string(text);
}

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

bool SameEntry(const std::string& sectionA, const std::string& keyA, const std::string& sectionB,
               const std::string& keyB) {
    return Lower(Trimmed(sectionA)) == Lower(Trimmed(sectionB)) &&
           Lower(Trimmed(keyA)) == Lower(Trimmed(keyB));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string section = input.ConsumeRandomLengthString(24);
    const std::string key = input.ConsumeRandomLengthString(24);
    const std::string value = input.ConsumeRandomLengthString(48);
    const std::string otherSection = input.ConsumeRandomLengthString(24);
    const std::string otherKey = input.ConsumeRandomLengthString(24);
    const std::string content = input.ConsumeRemainingBytesAsString();

    const tovik::fuzz::TScratchFolder folder;
    const std::string name = folder.Path() + "/settings.ini";
    std::ofstream(name, std::ios::binary) << content;
    tovik::TIniFile file(name);

    (void)file.ReadInteger(section, key, -1);
    (void)file.ReadBool(otherSection, otherKey, false);
    const bool otherExisted = file.ValueExists(otherSection, otherKey);
    const std::string otherBefore = file.ReadString(otherSection, otherKey, "\x01missing");

    if (!file.WriteString(section, key, value))
        return 0;
    if (!tovik::TIniFile::IsWritable(section, key, value))
        std::abort(); // a refused text was written
    if (file.ReadString(section, key, "\x01missing") != Trimmed(value) ||
        !file.ValueExists(section, key))
        std::abort(); // what was written does not read back
    if (!SameEntry(section, key, otherSection, otherKey) &&
        (file.ReadString(otherSection, otherKey, "\x01missing") != otherBefore ||
         file.ValueExists(otherSection, otherKey) != otherExisted))
        std::abort(); // the write changed another key
    return 0;
}
