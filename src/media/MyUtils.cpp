#include "media/MyUtils.h"

#include "media/TextFormat.h"
#include "platform/FileSystem.h"
#include "platform/PathText.h"
#include "platform/TimeZone.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>

extern "C" {
#include <libavutil/error.h>
}

namespace tovik {

std::string ErrorNumberText(int errorNumber) {
    switch (errorNumber) {
    case AVERROR_PATCHWELCOME: // -1163346256
        return "Not yet implemented in FFmpeg";
    case -10043: // the old code for an unknown protocol
    case AVERROR(ENOPROTOOPT):
    case AVERROR_PROTOCOL_NOT_FOUND:
        return "Unsupported network protocol";
    case -42: // the old code for an unknown format
    case AVERROR(EILSEQ):
    case AVERROR_DEMUXER_NOT_FOUND:
    case AVERROR_MUXER_NOT_FOUND:
        return "Unknown format";
    case AVERROR(EDOM):
        return "Number syntax expected in filename";
    case AVERROR(EPIPE):
    case AVERROR_EOF:
        return "End of file";
    case AVERROR(EINVAL):
    case AVERROR_INVALIDDATA:
        return "Invalid data found when processing input";
    case AVERROR(ENOMEM):
        return "Not enough memory";
    case AVERROR(EIO):
        return "I/O error";
    case AVERROR(ENOENT):
        return "No such file or directory";
    // Conditions of today's libraries that users meet with files and folders.
    case AVERROR(EACCES):
        return "Permission denied";
    case AVERROR(ENOSPC):
        return "No space left on device";
    case AVERROR(EISDIR):
        return "Is a directory";
    case AVERROR(ENAMETOOLONG):
        return "File name too long";
    default:
        break;
    }
    // Other system conditions ("Read-only file system") in the system's own words.
    if (errorNumber < 0 && errorNumber > -4096) {
#ifdef __GLIBC__
        if (const char* text = strerrordesc_np(-errorNumber))
            return text;
#else
        const std::string text = std::strerror(-errorNumber);
        if (!text.empty() && text.rfind("Unknown error", 0) != 0)
            return text;
#endif
    }
    return FormatText("Error number %d occurred", errorNumber);
}

std::string ErrorText(const std::string& name, int errorNumber) {
    return name + ": " + ErrorNumberText(errorNumber);
}

std::string StreamTypeName(int type) {
    switch (type) {
    case 0:
        return "Video";
    case 1:
        return "Audio";
    case 2:
        return "Data";
    case 3:
        return "Subtitle";
    case 4:
        return "Attachment";
    default:
        return "Unknown";
    }
}

std::string SplitAt(std::string& text, const std::string& separator, bool remove) {
    const size_t at = separator.empty() ? std::string::npos : text.find(separator);
    if (at == std::string::npos) {
        std::string whole = text;
        if (remove)
            text.clear();
        return whole;
    }
    std::string before = text.substr(0, at);
    if (remove)
        text.erase(0, at + separator.size());
    return before;
}

std::string SizeText(int64_t bytes) {
    if (bytes > 1073741824)
        return FormatText("%.2f GB", static_cast<double>(bytes) / 1073741824.0);
    if (bytes > 1048576)
        return FormatText("%.2f MB", static_cast<double>(bytes) / 1048576.0);
    if (bytes > 1024)
        return FormatText("%.2f KB", static_cast<double>(bytes) / 1024.0);
    return FormatText("%lld Byte", static_cast<long long>(bytes));
}

std::string MicrosecondsToText(int64_t t) {
    const int64_t seconds = t / 1000000;
    return FormatText("%.2lld:%.2lld:%.2lld.%.3lld", static_cast<long long>(seconds / 3600),
                      static_cast<long long>(seconds / 60 % 60),
                      static_cast<long long>(seconds % 60),
                      static_cast<long long>((t % 1000000) * 1000 / 1000000));
}

std::string DurationText(int64_t microseconds) {
    if (microseconds == kNoPtsValue)
        return "N/A";
    return MicrosecondsToText(microseconds);
}

std::string SecondsToText(int32_t seconds) {
    if (seconds < 0)
        seconds = 0;
    return FormatText("%d:%.2d:%.2d", seconds / 3600, seconds / 60 % 60, seconds % 60);
}

double UnixToLocal(int64_t seconds) {
    return static_cast<double>(seconds + platform::StandardTimeOffsetSeconds()) / 86400.0 + 25569.0;
}

std::string DateTimeText(double dateTime) {
    // Day count since 1899-12-30 back to a civil date (proleptic Gregorian).
    const double totalSeconds = std::round((dateTime - 25569.0) * 86400.0);
    auto seconds = static_cast<int64_t>(totalSeconds);
    int64_t days = seconds / 86400;
    int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    // Howard Hinnant's days-to-civil.
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t dayOfEra = days - era * 146097;
    const int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t mp = (5 * dayOfYear + 2) / 153;
    const int64_t day = dayOfYear - (153 * mp + 2) / 5 + 1;
    const int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    return FormatText("%.4lld-%.2lld-%.2lld %.2lld:%.2lld:%.2lld", static_cast<long long>(year),
                      static_cast<long long>(month), static_cast<long long>(day),
                      static_cast<long long>(rest / 3600), static_cast<long long>(rest / 60 % 60),
                      static_cast<long long>(rest % 60));
}

int ReadWholeFile(const std::string& fileName, std::vector<uint8_t>& buffer) {
    buffer.clear();
    if (!platform::FileExistsNotDirectory(fileName))
        return -1;
    std::ifstream file(fileName, std::ios::binary | std::ios::ate);
    if (!file)
        return -1;
    const std::streamoff size = file.tellg();
    if (size < 0)
        return -1;
    try {
        buffer.resize(static_cast<size_t>(size) + 1);
    } catch (const std::bad_alloc&) {
        return AVERROR(ENOMEM);
    }
    file.seekg(0);
    file.read(reinterpret_cast<char*>(buffer.data()), size);
    buffer[static_cast<size_t>(size)] = 0;
    return 0;
}

int64_t FileSizeOf(const std::string& fileName) {
    return platform::FileSizeOf(fileName);
}

std::string ExtractFilePart(const std::string& path) {
    return platform::FileNamePart(path);
}

std::string ExtractFolderPart(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string IncludeTrailingSeparator(const std::string& folder) {
    if (folder.empty() || folder.back() == '/')
        return folder;
    return folder + '/';
}

bool FileExistsNotDirectory(const std::string& fileName) {
    return platform::FileExistsNotDirectory(fileName);
}

} // namespace tovik
