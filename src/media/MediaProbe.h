#pragma once
// The media probe: opens a media file (or borrows a context that the engine or the player
// already opened) and answers questions about it: container facts, audio and video stream
// facts, stream counts and a readable description. It never decodes.

#include "media/MediaComponent.h"
#include "media/MediaLogger.h"

#include <cstdint>
#include <string>

struct AVFormatContext;
struct AVStream;
struct AVCodecParameters;

namespace tovik {

// Container facts. Numbers are -1 and texts empty while unknown (the reset state).
struct TFileStreamInfo {
    int64_t StartTime = -1; // microseconds
    int64_t Duration = -1;  // microseconds
    int32_t BitRate = -1;   // bit/s, 0 when the container does not know it
    int64_t Timestamp = -1; // creation time, seconds since 1970-01-01 UTC; 0 when none
    int32_t Year = -1;      // 0 when none
    int32_t Track = -1;     // 0 when none
    std::string Title;
    std::string Author;
    std::string RightsNote;
    std::string Comment;
    std::string Album;
    std::string Genre;

    void Reset() { *this = TFileStreamInfo(); }
};

// One audio stream. StartTime and Duration are in stream units, the ...US fields in
// microseconds (-1 when unknown).
struct TAudioStreamInfo {
    std::string Language;
    std::string CodecName;
    int64_t StartTime = -1;
    int64_t StartTimeUS = -1;
    int64_t Duration = -1;
    int64_t DurationUS = -1;
    int32_t BitRate = -1;
    int32_t Channels = -1;
    int32_t SampleRate = -1;
    int32_t SampleFormat = -1; // AVSampleFormat

    void Reset() { *this = TAudioStreamInfo(); }
};

// One video stream.
struct TVideoStreamInfo {
    std::string Language;
    std::string CodecName;
    int64_t StartTime = -1;
    int64_t StartTimeUS = -1;
    int64_t Duration = -1;
    int64_t DurationUS = -1;
    int32_t BitRate = -1;
    int32_t Height = -1;
    int32_t Width = -1;
    float DisplayAspectRatio = -1.0f; // sample aspect ratio x width / height
    int32_t PixelFormat = -1;         // AVPixelFormat
    int32_t FrameRateNum = -1;        // the stream's real base frame rate
    int32_t FrameRateDen = -1;
    // Number of frames: the container's count, else estimated from the length and the rate;
    // -1 when neither is known.
    int64_t FrameCount = -1;
    // Degrees (0, 90, 180, 270, ...) the stored picture is turned clockwise to be shown, as
    // its display matrix says (phones store it as the sensor saw it); 0 without one.
    int32_t Rotation = 0;

    void Reset() { *this = TVideoStreamInfo(); }
};

class TCustomMediaProbe : public TMediaComponent {
public:
    TCustomMediaProbe();
    ~TCustomMediaProbe() override;

    // Opens and examines a file; formatName forces an input format. False on failure, with
    // the reason in LastErrMsg. Throws std::runtime_error when the libraries are not loaded.
    bool LoadFile(const std::string& fileName, const std::string& formatName = std::string());
    // Borrows an opened context (never closed by the probe). Its owner must call CloseFile
    // or attach another context before freeing it.
    virtual void AttachContext(AVFormatContext* context);
    // Closes an owned context, forgets a borrowed one, and resets every fact to -1.
    virtual void CloseFile();

    TFileStreamInfo GetFileStreamInfo();
    // index -1 asks for the first stream of the type.
    TAudioStreamInfo GetAudioStreamInfo(int index = -1);
    TVideoStreamInfo GetVideoStreamInfo(int index = -1);
    bool IsAudioStream(int index);
    bool IsVideoStream(int index);

    std::string FileName() const;
    std::string FormatName() const;
    // A readable description, lines ending in CR LF; "" without a file.
    std::string FileInfoText();

    AVFormatContext* Context() const { return context_; }
    bool OwnsContext() const { return ownsContext_; }
    const std::string& LastErrMsg() const { return lastErrMsg_; }

    int64_t FileSize() const { return fileSize_; }
    int StreamCount() const { return streamCount_; }
    int ProgramCount() const { return programCount_; }
    int AudioStreamCount() const { return audioStreamCount_; }
    int VideoStreamCount() const { return videoStreamCount_; }
    int SubtitleStreamCount() const { return subtitleStreamCount_; }
    int FirstAudioStreamIndex() const { return firstAudioStreamIndex_; }
    int FirstVideoStreamIndex() const { return firstVideoStreamIndex_; }
    int FirstSubtitleStreamIndex() const { return firstSubtitleStreamIndex_; }

protected:
    // Counts the streams of the current context; every fact -1 without one.
    virtual void ReadStreamFacts();
    // Logs message with this probe as sender and keeps it as LastErrMsg.
    void Report(TLogLevel level, const std::string& message);

private:
    void CheckLibraries() const;
    void ReleaseContext();
    // The stream at index when it has the wanted type; reports why not otherwise.
    AVStream* FindStream(int index, int wantedType);
    bool IsStreamOfType(int index, int type);
    std::string StreamLine(int index) const;

    AVFormatContext* context_ = nullptr;
    bool ownsContext_ = false;
    std::string lastErrMsg_;

    int64_t fileSize_ = -1;
    int streamCount_ = -1;
    int programCount_ = -1;
    int audioStreamCount_ = -1;
    int videoStreamCount_ = -1;
    int subtitleStreamCount_ = -1;
    int firstAudioStreamIndex_ = -1;
    int firstVideoStreamIndex_ = -1;
    int firstSubtitleStreamIndex_ = -1;
};

// The concrete probe component.
class TMediaProbe : public TCustomMediaProbe {
public:
    void CloseFile() override;

protected:
    void ReadStreamFacts() override;
};

// Pieces of the description, public so that each can be checked on its own.
namespace probe_text {
// The description's name for a metadata key (ID3v2 frame names to plain words).
std::string DisplayKey(const std::string& key);
// A rate as "fps"/"tbr"/"tbn" text: ", 29.97 fps", ", 25 fps", ", 90k tbn".
std::string RateText(double rate, const char* unit);
// Microseconds as "%d.%.6d" seconds, with a sign for negative values.
std::string SecondsText(int64_t microseconds);
// The codec description of a stream's parameters (decoder name and long name, or the tag).
std::string CodecNameOf(const AVCodecParameters* parameters);
} // namespace probe_text

} // namespace tovik
