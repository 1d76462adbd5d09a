#pragma once
// What the input/output stage sets up for the transcode stages: per-input facts and, per
// output, its streams with the codec settings they were created with.

#include "media/FFmpegPtr.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tovik {

// Cover art: a picture attached to a sound file, never a video source.
inline bool IsAttachedPicture(const AVStream& stream) {
    return (stream.disposition & AV_DISPOSITION_ATTACHED_PIC) != 0;
}

struct TInputFile {
    AVFormatContext* Context = nullptr; // owned; closed with CloseInputFormat
    int64_t TsOffset = 0;               // microseconds added to every timestamp
    // After an input seek (which lands on the keyframe at or before the position), where
    // the kept part starts on the offset timeline; frames before it are decoded and dropped.
    int64_t KeepFrom = INT64_MIN;
    std::array<double, 20> TsScale{}; // per stream, 0: none
    std::string FileName;
};

// One stream of an output as created, before the encoders are opened.
struct TOutputStreamSetup {
    AVStream* Stream = nullptr;       // owned by the output's format context
    TCodecContextPtr Codec;           // the encoder's settings (or the copied stream's)
    const AVCodec* Encoder = nullptr; // the forced encoder; null: the format's choice
    bool StreamCopy = false;
    std::vector<std::string> BitstreamFilters; // "name[=arguments]" in order
    float Quality = 0.0f;                      // fixed quality (118 x qscale) when set
    // Audio: the layout and rate follow the stream's source (no "ac" / "ar" given).
    bool ChannelsFromSource = false;
    bool RateFromSource = false;
};

struct TOutputFile {
    AVFormatContext* Context = nullptr; // owned; the file is closed with CloseLibraryIO
    std::string FileName;
    std::vector<std::unique_ptr<TOutputStreamSetup>> Streams;
    bool CreatedFile = false; // the file was opened for writing by this task
    bool HeaderWritten = false;
    bool TrailerWritten = false;
};

} // namespace tovik
