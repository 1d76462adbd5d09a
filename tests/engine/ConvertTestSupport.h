#pragma once
// Converting test clips with the engine and looking at the results.

#include "engine/CommandLine.h"
#include "engine/FFmpeg.h"
#include "media/MediaProbe.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace tovik::test {

struct TConversion {
    bool Ok = false;
    bool Finished = false;
    std::string Error;
};

// Runs one conversion given in command-line form; the task may be prepared further first.
inline TConversion Convert(const std::vector<std::string>& arguments,
                           const std::function<void(TFFmpeg&)>& prepare = {}) {
    TFFmpeg task;
    task.ResetEngine();
    TConversion result;
    try {
        if (prepare)
            prepare(task);
        ApplyCommandLine(task, arguments);
    } catch (const std::exception& error) {
        result.Error = error.what();
        return result;
    }
    result.Ok = task.RunConvert();
    result.Finished = task.Finished();
    result.Error = task.ErrorMessage();
    return result;
}

// Facts of a converted file, read with the kit's own probe.
struct TOutputFacts {
    bool Opened = false;
    double Duration = 0; // seconds
    int VideoStreams = 0;
    int AudioStreams = 0;
    std::string VideoCodec;
    std::string AudioCodec;
    int Width = 0;
    int Height = 0;
    int SampleRate = 0;
    int Channels = 0;
};

inline TOutputFacts Inspect(const std::string& fileName) {
    TOutputFacts facts;
    TMediaProbe probe;
    if (!probe.LoadFile(fileName))
        return facts;
    facts.Opened = true;
    const TFileStreamInfo file = probe.GetFileStreamInfo();
    facts.Duration = file.Duration > 0 ? static_cast<double>(file.Duration) / 1e6 : 0.0;
    facts.VideoStreams = probe.VideoStreamCount();
    facts.AudioStreams = probe.AudioStreamCount();
    if (facts.VideoStreams > 0) {
        const TVideoStreamInfo video = probe.GetVideoStreamInfo(-1);
        facts.VideoCodec = video.CodecName.substr(0, video.CodecName.find('('));
        facts.Width = video.Width;
        facts.Height = video.Height;
    }
    if (facts.AudioStreams > 0) {
        const TAudioStreamInfo audio = probe.GetAudioStreamInfo(-1);
        facts.AudioCodec = audio.CodecName.substr(0, audio.CodecName.find('('));
        facts.SampleRate = audio.SampleRate;
        facts.Channels = audio.Channels;
    }
    return facts;
}

// Number of decoded video frames and their times (seconds), read with the libraries.
std::vector<double> VideoFrameTimes(const std::string& fileName);
// The first decoded picture of the file as a 24-bit bitmap (empty when there is none).
TBitmap FirstPicture(const std::string& fileName);
// The 16-bit samples of the first audio stream of a PCM file.
std::vector<int16_t> PcmSamples(const std::string& fileName);
// The first audio stream decoded, for codecs that decode to interleaved 16-bit samples (FLAC
// of 16-bit sound); the packets' times (stream time base) into times when given.
std::vector<int16_t> DecodedSamples(const std::string& fileName,
                                    std::vector<int64_t>* times = nullptr);

} // namespace tovik::test
