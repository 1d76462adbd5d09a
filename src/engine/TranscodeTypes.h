#pragma once
// What the input/output stage sets up for the transcode stages: per-input facts and, per
// output, its streams with the codec settings they were created with.

#include "media/FFmpegPtr.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace tovik {

struct TInputFile {
    AVFormatContext* Context = nullptr; // owned; closed with CloseInputFormat
    int64_t TsOffset = 0;               // microseconds added to every timestamp
    std::array<double, 20> TsScale{};   // per stream, 0: none
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
