#pragma once
// What the file information dialog shows of a source file, without the window: the
// container's name and length and the first video and audio streams' facts as texts, read
// through an engine component of the dialog's own.

#include <cstdint>
#include <string>

namespace tovik {

class TMediaConverter;

struct TFileInfoValues {
    std::string FileName; // the path, shortened when long
    bool NameShortened = false;
    std::string Duration;
    std::string VideoFormat; // the container's short name
    std::string Resolution;
    std::string VideoBitRate;
    std::string FrameRate;
    std::string TotalFrames;
    std::string AudioFormat;
    std::string SampleRate;
    std::string Channels;
    std::string AudioBitRate;
};

// The path when shorter than 46 characters; otherwise its first 40 characters, "..", its
// extension with the point and two blanks. Characters, not bytes, are counted.
std::string ShortenedFileName(const std::string& path, bool& shortened);
// Microseconds as whole seconds and milliseconds: 83456789 -> "83.456 Second"; an unknown
// (negative) length -> "N/A".
std::string FileInfoDurationText(int64_t microseconds);
// The codec word of the first "Audio:" line of a probe description: the text after "Audio: "
// up to the next comma (or the line's end). Empty without such a line.
std::string AudioFormatOf(const std::string& description);
// Frames per second as a number with up to three decimals: 25/1 -> "25", 30000/1001 ->
// "29.97". Empty for an unusable rate.
std::string FrameRateText(int32_t numerator, int32_t denominator);
// A positive count as decimal text; "N/A" when unknown (0 or less).
std::string CountText(int64_t value);

// Opens fileName as the only task of engine (after ClearTasks) and fills values from it.
// False with error when the file cannot be read (values then hold only the name).
bool ReadFileInfo(TMediaConverter& engine, const std::string& fileName, TFileInfoValues& values,
                  std::string& error);

} // namespace tovik
