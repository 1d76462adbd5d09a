#include "app/fileinfo/FileInfoValues.h"

#include "engine/MediaConverter.h"
#include "media/TextFormat.h"

#include <cstdio>
#include <exception>

namespace tovik {

namespace {

bool IsContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

size_t CharacterCount(const std::string& text) {
    size_t count = 0;
    for (const char c : text)
        if (!IsContinuationByte(c))
            ++count;
    return count;
}

// The bytes of the first count characters.
std::string FirstCharacters(const std::string& text, size_t count) {
    size_t end = 0;
    for (size_t seen = 0; end < text.size(); ++end) {
        if (!IsContinuationByte(text[end]) && seen++ == count)
            break;
    }
    return text.substr(0, end);
}

// The extension of the file name part, with its point; empty when it has none.
std::string ExtensionOf(const std::string& path) {
    const size_t dot = path.rfind('.');
    const size_t slash = path.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return std::string();
    return path.substr(dot);
}

} // namespace

std::string ShortenedFileName(const std::string& path, bool& shortened) {
    shortened = CharacterCount(path) >= 46;
    if (!shortened)
        return path;
    return FirstCharacters(path, 40) + ".." + ExtensionOf(path) + "  ";
}

std::string FileInfoDurationText(int64_t microseconds) {
    if (microseconds < 0)
        return "N/A";
    return FormatText("%lld.%.3lld Second", static_cast<long long>(microseconds / 1000000),
                      static_cast<long long>(microseconds / 1000 % 1000));
}

std::string AudioFormatOf(const std::string& description) {
    static constexpr std::string_view kAudio = "Audio:";
    const size_t at = description.find(kAudio);
    if (at == std::string::npos)
        return std::string();
    const size_t start = std::min(description.size(), at + kAudio.size() + 1);
    const size_t end = description.find_first_of(",\r\n", start);
    return description.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::string FrameRateText(int32_t numerator, int32_t denominator) {
    if (numerator <= 0 || denominator <= 0)
        return std::string();
    std::string text = FormatText("%.3f", static_cast<double>(numerator) / denominator);
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.')
        text.pop_back();
    return text;
}

std::string CountText(int64_t value) {
    return value > 0 ? std::to_string(value) : std::string("N/A");
}

bool ReadFileInfo(TMediaConverter& engine, const std::string& fileName, TFileInfoValues& values,
                  std::string& error) {
    values = TFileInfoValues();
    values.FileName = ShortenedFileName(fileName, values.NameShortened);
    try {
        engine.ClearTasks();
        TInputOptions input;
        input.FileName = fileName;
        const int task = engine.AddTask(fileName, &input);
        if (task < 0) {
            error = engine.LastError();
            return false;
        }
        TMediaProbe& probe = engine.Probe();
        if (!probe.LoadFile(fileName)) {
            error = probe.LastErrMsg();
            return false;
        }
        values.Duration = FileInfoDurationText(probe.GetFileStreamInfo().Duration);
        values.VideoFormat = probe.FormatName();

        TMediaProbe& streams = engine.TaskProbe(task, 0);
        const int video = streams.FirstVideoStreamIndex();
        if (video >= 0 && streams.IsVideoStream(video)) {
            const TVideoStreamInfo info = streams.GetVideoStreamInfo(video);
            // The size the picture is shown at: a quarter turn swaps the sides.
            const bool quarterTurn = info.Rotation % 180 != 0;
            values.Resolution = std::to_string(quarterTurn ? info.Height : info.Width) + "x" +
                                std::to_string(quarterTurn ? info.Width : info.Height);
            values.VideoBitRate = CountText(info.BitRate);
            values.FrameRate = FrameRateText(info.FrameRateNum, info.FrameRateDen);
            values.TotalFrames = CountText(info.FrameCount);
        }
        const int audio = streams.FirstAudioStreamIndex();
        if (audio >= 0 && streams.IsAudioStream(audio)) {
            const TAudioStreamInfo info = streams.GetAudioStreamInfo(audio);
            values.AudioBitRate = CountText(info.BitRate);
            values.SampleRate = CountText(info.SampleRate);
            values.Channels = CountText(info.Channels);
            values.AudioFormat = AudioFormatOf(probe.FileInfoText());
        }
        return true;
    } catch (const std::exception& exception) {
        error = exception.what();
        return false;
    }
}

} // namespace tovik
