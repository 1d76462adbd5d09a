#pragma once
// Small shared functions of the media kit: error and stream-type texts, size and time texts,
// text splitting, whole-file reading and path helpers.

#include <cstdint>
#include <string>
#include <vector>

namespace tovik {

// The libraries' "no timestamp" value (AV_NOPTS_VALUE).
inline constexpr int64_t kNoPtsValue = INT64_MIN;

// name + ": " + the text of a library error number.
std::string ErrorText(const std::string& name, int errorNumber);
// The text alone.
std::string ErrorNumberText(int errorNumber);

// 0 "Video", 1 "Audio", 2 "Data", 3 "Subtitle", 4 "Attachment", else "Unknown".
std::string StreamTypeName(int type);

// The part of text before the first separator (all of it when there is none). With remove
// set, text keeps what follows the separator (nothing when there was none).
std::string SplitAt(std::string& text, const std::string& separator, bool remove);

// "%.2f GB", "%.2f MB", "%.2f KB" above 2^30, 2^20 and 2^10 bytes, else "%d Byte".
std::string SizeText(int64_t bytes);
// "hh:mm:ss.zzz" of microseconds (hours not wrapped); "N/A" for the no-timestamp value.
std::string DurationText(int64_t microseconds);
// Signed microseconds as "%.2d:%.2d:%.2d.%.3d".
std::string MicrosecondsToText(int64_t microseconds);
// Whole seconds as "h:mm:ss"; negative counts as 0.
std::string SecondsToText(int32_t seconds);

// Seconds since 1970-01-01 UTC as a day count since 1899-12-30 in local standard time.
double UnixToLocal(int64_t seconds);
// The same date-time as "yyyy-mm-dd hh:nn:ss".
std::string DateTimeText(double dateTime);

// Reads a whole file; the buffer gets one zero byte appended, counted in its size.
// Returns 0, -1 when the file cannot be opened, or AVERROR(ENOMEM).
int ReadWholeFile(const std::string& fileName, std::vector<uint8_t>& buffer);

// Size of an existing non-directory file; -1 otherwise.
int64_t FileSizeOf(const std::string& fileName);
// Path pieces split at the last '/'.
std::string ExtractFilePart(const std::string& path);
std::string ExtractFolderPart(const std::string& path); // with its trailing '/'
std::string IncludeTrailingSeparator(const std::string& folder);
bool FileExistsNotDirectory(const std::string& fileName);

} // namespace tovik
