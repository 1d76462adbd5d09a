#pragma once
// The option records a caller fills for one input (AddTask) and one output (SetOutputFile).
// Default construction and Reset() give the reset values; "unset" values are skipped when a
// record is applied to a task.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tovik {

inline constexpr int64_t kUnsetTime = INT64_MIN; // the libraries' no-timestamp value

struct TInputOptions {
    std::string FileName;
    std::string FormatName;         // "f"
    int64_t StartTime = kUnsetTime; // "ss", microseconds
    int32_t ProgramId = -1;         // "programid" when >= 0
    std::string OptionText;         // further option lines

    void Reset() { *this = TInputOptions(); }
};

// Values of TOutputOptions::Target and of the target norms.
inline constexpr int32_t kTargetNone = 0;
inline constexpr int32_t kTargetVcd = 1;
inline constexpr int32_t kTargetSvcd = 2;
inline constexpr int32_t kTargetDvd = 3;
inline constexpr int32_t kNormAuto = 0;
inline constexpr int32_t kNormPal = 1;
inline constexpr int32_t kNormNtsc = 2;

struct TOutputOptions {
    std::string FileName;
    std::string FormatName;   // "f" when not empty
    int32_t PacketSize = -1;  // "packetsize" when > 0
    int32_t MuxRate = -1;     // "muxrate" when > 0
    float MuxDelay = -1.0f;   // "muxdelay" (seconds) when > 0
    float MuxPreload = -1.0f; // "muxpreload" (seconds) when > 0

    std::string AudioCodec;             // "acodec"
    std::string AudioPreset;            // "apre"
    bool DisableAudio = false;          // "an" when true
    int32_t Volume = -1;                // "vol" (256 = unchanged) when >= 0
    int32_t AudioChannels = -1;         // "ac" when > 0
    int32_t AudioSampleRate = -1;       // "ar" when > 0
    int32_t AudioBitRate = -1;          // "ab" when > 0
    int32_t AudioBitRateTolerance = -1; // "abt" when > 0
    std::string AudioLanguage;          // "alang", always assigned
    int32_t AudioSync = 0;              // "async", always assigned
    std::string AudioTag;               // "atag" when not empty

    std::string VideoCodec;    // "vcodec"
    std::string VideoPreset;   // "vpre"
    bool DisableVideo = false; // "vn" when true
    std::string FrameRate;     // "r" when not empty
    std::string FrameSize;     // "s"
    std::string AspectRatio;   // "aspect" when not empty
    int32_t CropTop = -1;      // "croptop" ... when > 0
    int32_t CropBottom = -1;
    int32_t CropLeft = -1;
    int32_t CropRight = -1;
    int32_t GopSize = -1;          // "g" when > 0
    int32_t VideoBitRate = -1;     // "vb" when > 0
    int32_t MaxRate = -1;          // "maxrate" when > 0
    int32_t MinRate = -1;          // "minrate" when > 0
    int32_t BitRateTolerance = -1; // "bt" when > 0
    int32_t BufferSize = -1;       // "bufsize" when > 0
    int32_t VideoSync = -1;        // "vsync", always assigned (-1 automatic)
    std::string VideoTag;          // "vtag" when not empty
    std::string VideoFilters;      // "vf"
    std::string VideoLanguage;     // "vlang", always assigned

    std::string SubtitleCodec;    // "scodec"
    std::string SubtitlePreset;   // "spre"
    bool DisableSubtitle = false; // "sn" when true
    std::string SubtitleLanguage; // "slang", always assigned

    bool InputSync = false;         // "isync", always assigned
    bool CopyTimestamps = false;    // "copyts" when true
    int64_t StartTime = kUnsetTime; // "ss", microseconds
    int64_t Duration = kUnsetTime;  // "t", microseconds
    double Timestamp = -1.0;        // "timestamp": local date-time; 0 now; negative skipped
    int32_t Year = -1;              // metadata "year" when > 0
    int32_t Track = -1;             // metadata "track" when > 0
    std::string Title;              // metadata "title" ...
    std::string Author;
    std::string RightsNote;
    std::string Comment;
    std::string Album;
    std::string Genre;
    int32_t Target = kTargetNone;          // kTargetVcd, kTargetSvcd, kTargetDvd, other none
    int32_t TargetNorm = kNormAuto;        // kNormAuto, kNormPal, kNormNtsc
    int32_t TargetFallbackNorm = kNormPal; // kNormPal, other ntsc
    bool CustomHook = false;               // route frames through OnCustomHook
    bool Join = false;                     // join all inputs into this output
    std::string OptionText;                // further option lines

    void Reset() { *this = TOutputOptions(); }
};

// One "name=value" line of an option text; the name in lower case.
struct TOptionLine {
    std::string Name;
    std::string Value;
    bool operator==(const TOptionLine&) const = default;
};

// Trims the text, turns every line-break form and every literal "<CRLF>" into a line feed,
// and splits it into lines of name=value (a line without '=' is a name with an empty
// value). Empty lines are dropped.
std::vector<TOptionLine> SplitOptionText(const std::string& text);

} // namespace tovik
