#pragma once
// An INI file with the semantics of the Windows profile-file functions: section and key
// names compared without regard to ASCII case, first match wins, blanks around names and
// values ignored, lines starting with ';' are comments. Nothing is cached: every call opens
// the file, reads or writes, and closes it again, so a value written through one object is
// seen by the next read through any other.
//
// Writes change only the one line they concern (or add one); every other byte of the file,
// comments and unknown keys included, is kept. The new text goes to a temporary file in the
// same folder that then replaces the old one, so a crash never leaves a half-written file.
// Names and values that would break the line structure (line breaks, "=" or "]" in names)
// are refused: the write does nothing and returns false.

#include <cstdint>
#include <string>

namespace tovik {

class TIniFile {
public:
    explicit TIniFile(std::string fileName) : fileName_(std::move(fileName)) {}

    const std::string& FileName() const { return fileName_; }

    // A missing or unreadable file, section or key gives defaultValue.
    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& defaultValue) const;
    // A value that is not a whole 32-bit integer (decimal, "$1F" or "0x1F") gives defaultValue.
    int32_t ReadInteger(const std::string& section, const std::string& key,
                        int32_t defaultValue) const;
    // Read as an integer with the default's number; any non-zero number is true.
    bool ReadBool(const std::string& section, const std::string& key, bool defaultValue) const;
    bool ValueExists(const std::string& section, const std::string& key) const;

    // Creates the file, the section and the key as needed. False when the name or value is
    // refused or the file cannot be written; the file is then unchanged.
    bool WriteString(const std::string& section, const std::string& key, const std::string& value);
    bool WriteInteger(const std::string& section, const std::string& key, int32_t value);
    // Written as "1" or "0".
    bool WriteBool(const std::string& section, const std::string& key, bool value);

    // Whether WriteString would accept these texts (no line breaks or NULs anywhere; the
    // section without "]", the key without "=", not empty and not starting with "[" or ";").
    static bool IsWritable(const std::string& section, const std::string& key,
                           const std::string& value);

private:
    std::string fileName_;
};

} // namespace tovik
