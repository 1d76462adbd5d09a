#include "media/MediaProbe.h"

#include "media/FFmpegLoader.h"
#include "media/LibraryBindings.h"
#include "media/MyUtils.h"
#include "media/UnicodeProtocol.h"
#include "support/TestSupport.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <vector>

namespace tovik {
namespace {

namespace fs = std::filesystem;
using test::MediaFile;

struct TLogLine {
    TObject* sender;
    TLogLevel level;
    std::string text;
};

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    size_t end;
    while ((end = text.find("\r\n", start)) != std::string::npos) {
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    EXPECT_EQ(start, text.size()) << "every line, the last too, ends in CR LF";
    return lines;
}

size_t CountOf(const std::string& text, const std::string& piece) {
    size_t count = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1))
        ++count;
    return count;
}

// The line that starts with prefix; "" when none.
std::string LineStartingWith(const std::vector<std::string>& lines, const std::string& prefix) {
    for (const std::string& line : lines)
        if (line.starts_with(prefix))
            return line;
    return {};
}

class MediaProbeTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::LoadEngineLibrariesOrFail();
        LoggerInstance().SetTriggerEventInMainThread(false);
        LoggerInstance().SetLogLevel(TLogLevel::llInfo);
        LoggerInstance().SetOnLog(
            [this](TObject* sender, uint32_t, TLogLevel level, const std::string& text) {
                if (sender == &probe_)
                    log_.push_back({sender, level, text});
            });
    }
    void TearDown() override {
        probe_.CloseFile();
        LoggerInstance().SetOnLog(nullptr);
        LoggerInstance().SetTriggerEventInMainThread(true);
    }
    void Load(const std::string& name) {
        ASSERT_TRUE(probe_.LoadFile(MediaFile(name))) << probe_.LastErrMsg();
    }
    void ExpectClosed() {
        EXPECT_EQ(probe_.Context(), nullptr);
        EXPECT_EQ(probe_.FileSize(), -1);
        EXPECT_EQ(probe_.StreamCount(), -1);
        EXPECT_EQ(probe_.ProgramCount(), -1);
        EXPECT_EQ(probe_.AudioStreamCount(), -1);
        EXPECT_EQ(probe_.VideoStreamCount(), -1);
        EXPECT_EQ(probe_.SubtitleStreamCount(), -1);
        EXPECT_EQ(probe_.FirstAudioStreamIndex(), -1);
        EXPECT_EQ(probe_.FirstVideoStreamIndex(), -1);
        EXPECT_EQ(probe_.FirstSubtitleStreamIndex(), -1);
    }
    // The last report of the probe: its level and text, which LastErrMsg must repeat.
    void ExpectReported(TLogLevel level, const std::string& text) {
        ASSERT_FALSE(log_.empty()) << "nothing was reported";
        EXPECT_EQ(log_.back().level, level);
        EXPECT_EQ(log_.back().text, text);
        EXPECT_EQ(probe_.LastErrMsg(), text);
    }

    TMediaProbe probe_;
    std::vector<TLogLine> log_;
};

void ExpectResetAudio(const TAudioStreamInfo& info) {
    EXPECT_EQ(info.Language, "");
    EXPECT_EQ(info.CodecName, "");
    EXPECT_EQ(info.StartTime, -1);
    EXPECT_EQ(info.StartTimeUS, -1);
    EXPECT_EQ(info.Duration, -1);
    EXPECT_EQ(info.DurationUS, -1);
    EXPECT_EQ(info.BitRate, -1);
    EXPECT_EQ(info.Channels, -1);
    EXPECT_EQ(info.SampleRate, -1);
    EXPECT_EQ(info.SampleFormat, -1);
}

void ExpectResetVideo(const TVideoStreamInfo& info) {
    EXPECT_EQ(info.Language, "");
    EXPECT_EQ(info.CodecName, "");
    EXPECT_EQ(info.StartTimeUS, -1);
    EXPECT_EQ(info.DurationUS, -1);
    EXPECT_EQ(info.Width, -1);
    EXPECT_EQ(info.Height, -1);
    EXPECT_FLOAT_EQ(info.DisplayAspectRatio, -1.0f);
    EXPECT_EQ(info.PixelFormat, -1);
    EXPECT_EQ(info.FrameRateNum, -1);
    EXPECT_EQ(info.FrameRateDen, -1);
    EXPECT_EQ(info.FrameCount, -1);
}

// ---------------------------------------------------------------- library checks

// Runs in a process of its own (one test per process), so the libraries start unloaded.
TEST(MediaProbeLibraryTest, EachMissingLibraryIsNamedInTurn) {
    FFmpegLoader().SetLibraryPath("");
    FFmpegLoader().UnloadLibs({TLibraryId::libAVCodec, TLibraryId::libAVFormat,
                               TLibraryId::libAVUtil, TLibraryId::libSwScale,
                               TLibraryId::libAVFilter, TLibraryId::libSwResample});
    TMediaProbe probe;
    const auto loadError = [&probe]() -> std::string {
        try {
            probe.LoadFile(MediaFile("clip.avi"));
        } catch (const std::runtime_error& error) {
            return error.what();
        }
        return "no error";
    };
    EXPECT_EQ(loadError(), "LibAVCodec not loaded.");
    // One library at a time, in the order the probe checks them.
    ASSERT_TRUE(FFmpegLoader().LoadLib(TLibraryId::libAVCodec)) << FFmpegLoader().LastError();
    EXPECT_EQ(loadError(), "LibAVFormat not loaded.");
    ASSERT_TRUE(FFmpegLoader().LoadLib(TLibraryId::libAVFormat)) << FFmpegLoader().LastError();
    EXPECT_EQ(loadError(), "LibAVUtil not loaded.");
    ASSERT_TRUE(FFmpegLoader().LoadLib(TLibraryId::libAVUtil)) << FFmpegLoader().LastError();
    EXPECT_EQ(loadError(), "LibSwScale not loaded.");
    try {
        probe.AttachContext(nullptr);
        ADD_FAILURE() << "AttachContext checks the libraries too";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "LibSwScale not loaded.");
    }
    ASSERT_TRUE(FFmpegLoader().LoadLib(TLibraryId::libSwScale)) << FFmpegLoader().LastError();
    EXPECT_TRUE(probe.LoadFile(MediaFile("clip.avi"))) << probe.LastErrMsg();
    probe.CloseFile();
    EXPECT_EQ(probe.Context(), nullptr);
}

// ---------------------------------------------------------------- facts of real files

TEST_F(MediaProbeTest, AviWithVideoAndSoundGivesItsFacts) {
    Load("clip.avi");
    EXPECT_TRUE(probe_.OwnsContext());
    EXPECT_EQ(probe_.FormatName(), "avi");
    EXPECT_EQ(probe_.FileName(), MediaFile("clip.avi"));
    EXPECT_EQ(probe_.FileSize(), static_cast<int64_t>(fs::file_size(MediaFile("clip.avi"))));
    EXPECT_EQ(probe_.StreamCount(), 2);
    EXPECT_EQ(probe_.ProgramCount(), 0);
    EXPECT_EQ(probe_.VideoStreamCount(), 1);
    EXPECT_EQ(probe_.AudioStreamCount(), 1);
    EXPECT_EQ(probe_.SubtitleStreamCount(), 0);
    EXPECT_EQ(probe_.FirstVideoStreamIndex(), 0);
    EXPECT_EQ(probe_.FirstAudioStreamIndex(), 1);
    EXPECT_EQ(probe_.FirstSubtitleStreamIndex(), -1);
    EXPECT_TRUE(probe_.IsVideoStream(0));
    EXPECT_FALSE(probe_.IsAudioStream(0));
    EXPECT_TRUE(probe_.IsAudioStream(1));

    const TFileStreamInfo file = probe_.GetFileStreamInfo();
    EXPECT_EQ(file.StartTime, 0);
    EXPECT_NEAR(static_cast<double>(file.Duration), 2'000'000.0, 100'000.0);
    EXPECT_GT(file.BitRate, 100'000);
    EXPECT_EQ(file.Timestamp, 0);
    EXPECT_EQ(file.Year, 0);
    EXPECT_EQ(file.Track, 0);
    EXPECT_EQ(file.Title, "");

    const TVideoStreamInfo video = probe_.GetVideoStreamInfo(-1);
    EXPECT_EQ(video.Width, 160);
    EXPECT_EQ(video.Height, 120);
    EXPECT_EQ(video.CodecName, "mpeg4(MPEG-4 part 2)");
    EXPECT_EQ(video.PixelFormat, AV_PIX_FMT_YUV420P);
    EXPECT_EQ(video.FrameRateNum, 25);
    EXPECT_EQ(video.FrameRateDen, 1);
    // The count the AVI header keeps (its muxer counts one frame more than it wrote).
    EXPECT_NEAR(static_cast<double>(video.FrameCount), 50.0, 1.0);
    EXPECT_NEAR(video.DisplayAspectRatio, 4.0 / 3.0, 1e-5);
    EXPECT_EQ(video.StartTime, 0);
    EXPECT_EQ(video.StartTimeUS, 0);
    EXPECT_NEAR(static_cast<double>(video.DurationUS), 2'000'000.0, 100'000.0);
    EXPECT_EQ(video.DurationUS, video.Duration * 40'000) << "frames of 1/25 s";
    EXPECT_EQ(video.Language, "");

    const TAudioStreamInfo audio = probe_.GetAudioStreamInfo(-1);
    EXPECT_EQ(audio.Channels, 2);
    EXPECT_EQ(audio.SampleRate, 44100);
    EXPECT_EQ(audio.BitRate, 64000);
    EXPECT_EQ(audio.SampleFormat, AV_SAMPLE_FMT_FLTP);
    EXPECT_TRUE(audio.CodecName.starts_with("mp3")) << audio.CodecName;
    EXPECT_NE(audio.CodecName.find("(MP3 (MPEG audio layer 3))"), std::string::npos);
    EXPECT_NEAR(static_cast<double>(audio.DurationUS), 2'000'000.0, 100'000.0);
    EXPECT_TRUE(log_.empty()) << log_.front().text;
}

TEST_F(MediaProbeTest, AviDescriptionHasEveryLineInOrder) {
    Load("clip.avi");
    const std::string text = probe_.FileInfoText();
    const std::vector<std::string> lines = SplitLines(text);
    ASSERT_GE(lines.size(), 10u) << text;
    EXPECT_EQ(lines[0], "File Name: " + MediaFile("clip.avi"));
    EXPECT_EQ(lines[1], "Format Name: avi");
    EXPECT_EQ(lines[2], "Format Long Name: AVI (Audio Video Interleaved)");
    EXPECT_EQ(lines[3],
              "File Size: " + SizeText(static_cast<int64_t>(fs::file_size(MediaFile("clip.avi")))));
    EXPECT_TRUE(lines[3].ends_with(" KB")) << lines[3];
    EXPECT_TRUE(lines[4].starts_with("Duration: 00:00:02.")) << lines[4];
    EXPECT_EQ(lines[5], "StartTime: 0.000000");
    EXPECT_TRUE(lines[6].starts_with("Bit Rate: ") && lines[6].ends_with(" kb/s")) << lines[6];
    EXPECT_EQ(lines[7], "Metadata:");
    EXPECT_TRUE(lines[8].starts_with("  software        : Lavf")) << lines[8];

    const std::string video = LineStartingWith(lines, "Stream #0");
    EXPECT_TRUE(video.starts_with("Stream #0, 1/25: Video: mpeg4")) << video;
    EXPECT_NE(video.find("160x120"), std::string::npos) << video;
    EXPECT_NE(video.find(", 25 fps, 25 tbr, 25 tbn"), std::string::npos) << video;
    EXPECT_NE(video.find(", StartTime: 0.000000, Duration: 00:00:02.0"), std::string::npos)
        << video;
    EXPECT_EQ(video.find("PAR"), std::string::npos) << "same ratio in stream and codec";
    const std::string audio = LineStartingWith(lines, "Stream #1");
    EXPECT_NE(audio.find(": Audio: mp3"), std::string::npos) << audio;
    EXPECT_NE(audio.find("44100 Hz"), std::string::npos) << audio;
    EXPECT_EQ(audio.find(" fps"), std::string::npos) << "rates belong to video streams";
    EXPECT_EQ(CountOf(text, "Stream #"), 2u);
}

TEST_F(MediaProbeTest, VideoOnlyFileHasNoAudioStream) {
    Load("video_only.avi");
    EXPECT_EQ(probe_.AudioStreamCount(), 0);
    EXPECT_EQ(probe_.FirstAudioStreamIndex(), -1);
    const TAudioStreamInfo audio = probe_.GetAudioStreamInfo(-1);
    ExpectResetAudio(audio);
    ExpectReported(TLogLevel::llError, "no audio stream.");
    EXPECT_EQ(probe_.GetVideoStreamInfo(-1).Width, 160);
}

TEST_F(MediaProbeTest, AudioOnlyFileHasNoVideoStream) {
    Load("audio_only.wav");
    EXPECT_EQ(probe_.FormatName(), "wav");
    EXPECT_EQ(probe_.VideoStreamCount(), 0);
    ExpectResetVideo(probe_.GetVideoStreamInfo(-1));
    ExpectReported(TLogLevel::llError, "no video stream.");
    const TAudioStreamInfo audio = probe_.GetAudioStreamInfo(0);
    EXPECT_EQ(audio.CodecName, "pcm_s16le(PCM signed 16-bit little-endian)");
    EXPECT_EQ(audio.Channels, 1);
    EXPECT_EQ(audio.SampleRate, 44100);
    EXPECT_EQ(audio.BitRate, 705600);
    EXPECT_EQ(audio.SampleFormat, AV_SAMPLE_FMT_S16);
    EXPECT_NEAR(static_cast<double>(audio.DurationUS), 1'000'000.0, 1'000.0);
}

TEST_F(MediaProbeTest, StreamQueriesRejectBadIndexesAndWrongTypes) {
    Load("clip.avi");
    ExpectResetVideo(probe_.GetVideoStreamInfo(2));
    ExpectReported(TLogLevel::llError, "stream index #2 is invalid.");
    ExpectResetVideo(probe_.GetVideoStreamInfo(1));
    ExpectReported(TLogLevel::llError, "stream #1 is not video stream.");
    ExpectResetAudio(probe_.GetAudioStreamInfo(0));
    ExpectReported(TLogLevel::llError, "stream #0 is not audio stream.");
    EXPECT_FALSE(probe_.IsAudioStream(-1));
    ExpectReported(TLogLevel::llError, "stream index #-1 is invalid.");
    EXPECT_FALSE(probe_.IsVideoStream(2));
    ExpectReported(TLogLevel::llError, "stream index #2 is invalid.");
}

TEST_F(MediaProbeTest, QueriesWithoutFileReportAndGiveResetValues) {
    ExpectClosed();
    const TFileStreamInfo file = probe_.GetFileStreamInfo();
    ExpectReported(TLogLevel::llWarning, "file not loaded.");
    EXPECT_EQ(file.StartTime, -1);
    EXPECT_EQ(file.BitRate, -1);
    EXPECT_EQ(file.Year, -1);
    EXPECT_EQ(file.Title, "");
    log_.clear();
    ExpectResetAudio(probe_.GetAudioStreamInfo(-1));
    ExpectReported(TLogLevel::llWarning, "file not loaded.");
    log_.clear();
    EXPECT_FALSE(probe_.IsVideoStream(0));
    ExpectReported(TLogLevel::llWarning, "file not loaded.");
    log_.clear();
    EXPECT_EQ(probe_.FileInfoText(), "");
    ExpectReported(TLogLevel::llWarning, "file not loaded.");
    EXPECT_EQ(probe_.FileName(), "");
    EXPECT_EQ(probe_.FormatName(), "");
}

TEST_F(MediaProbeTest, CloseFileForgetsEverything) {
    Load("clip.avi");
    probe_.CloseFile();
    ExpectClosed();
    EXPECT_FALSE(probe_.OwnsContext());
    // A second load on the same probe replaces the first file.
    Load("clip.avi");
    Load("audio_only.wav");
    EXPECT_EQ(probe_.StreamCount(), 1);
}

TEST_F(MediaProbeTest, TwoSoundTracksKeepTheirLanguages) {
    Load("probe_two_audio.mkv");
    EXPECT_EQ(probe_.StreamCount(), 3);
    EXPECT_EQ(probe_.AudioStreamCount(), 2);
    EXPECT_EQ(probe_.FirstAudioStreamIndex(), 1);
    const TAudioStreamInfo first = probe_.GetAudioStreamInfo(-1);
    const TAudioStreamInfo second = probe_.GetAudioStreamInfo(2);
    EXPECT_EQ(first.Language, "eng");
    EXPECT_EQ(first.SampleRate, 44100);
    EXPECT_EQ(second.Language, "ger");
    EXPECT_EQ(second.SampleRate, 22050);
    const std::string text = probe_.FileInfoText();
    EXPECT_NE(text.find("\r\nStream #1(eng), 1/1000: Audio: mp3"), std::string::npos) << text;
    EXPECT_NE(text.find("\r\nStream #2(ger), 1/1000: Audio: mp3"), std::string::npos) << text;
    // Matroska keeps an encoder tag per track: the block lists it but not the language.
    EXPECT_EQ(text.find(": eng\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\r\n  Metadata:\r\n    ENCODER         : Lavc"), std::string::npos)
        << text;
}

TEST_F(MediaProbeTest, TransportStreamListsProgramStreamsOnceUnderTheirProgram) {
    Load("probe_program.ts");
    EXPECT_EQ(probe_.ProgramCount(), 1);
    EXPECT_EQ(probe_.StreamCount(), 2);
    const TVideoStreamInfo video = probe_.GetVideoStreamInfo(-1);
    EXPECT_EQ(video.FrameRateNum, 30000);
    EXPECT_EQ(video.FrameRateDen, 1001);
    // A transport stream keeps no count: the length at the rate tells it.
    EXPECT_NEAR(static_cast<double>(video.FrameCount),
                static_cast<double>(video.DurationUS) / 1e6 * 30000 / 1001, 1.0);
    EXPECT_GT(video.FrameCount, 0);
    EXPECT_EQ(video.CodecName, "mpeg2video(MPEG-2 video)");
    EXPECT_GT(video.StartTime, 0);
    EXPECT_NEAR(static_cast<double>(video.StartTimeUS), video.StartTime / 0.09, 1.0)
        << "90 kHz ticks";
    EXPECT_EQ(probe_.GetAudioStreamInfo(-1).Language, "fre");

    const std::string text = probe_.FileInfoText();
    const std::vector<std::string> lines = SplitLines(text);
    EXPECT_TRUE(LineStartingWith(lines, "StartTime: 1.").size() > 0) << text;
    size_t program = lines.size();
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i] == "Program 1 TovikLab@Channel7")
            program = i;
    ASSERT_LT(program + 4, lines.size()) << text;
    EXPECT_EQ(lines[program + 1], "  Metadata:");
    EXPECT_EQ(CountOf(text, "Stream #0"), 1u) << text;
    EXPECT_EQ(CountOf(text, "Stream #1"), 1u) << text;
    const std::string videoLine = LineStartingWith(lines, "Stream #0");
    EXPECT_TRUE(videoLine.starts_with("Stream #0[0x100], 1/90000: Video: mpeg2video")) << videoLine;
    EXPECT_NE(videoLine.find(", 29.97 fps, 29.97 tbr, 90k tbn"), std::string::npos) << videoLine;
    EXPECT_NE(videoLine.find(", StartTime: 1."), std::string::npos) << videoLine;
    const std::string audioLine = LineStartingWith(lines, "Stream #1");
    EXPECT_TRUE(audioLine.starts_with("Stream #1[0x101](fre), 1/90000: Audio: mp2")) << audioLine;
    // The program's block is the only one: the sound's only tag is its language.
    EXPECT_EQ(CountOf(text, "Metadata:"), 1u) << text;
    EXPECT_TRUE(lines.back().starts_with("Stream #1")) << text;
}

TEST_F(MediaProbeTest, ContainerTagsFillTheFileRecord) {
    Load("probe_tags.mp4");
    const TFileStreamInfo file = probe_.GetFileStreamInfo();
    EXPECT_EQ(file.Title, "Harbour at Dawn");
    EXPECT_EQ(file.Author, "Anna Berg");
    EXPECT_EQ(file.Year, 2019);
    EXPECT_EQ(file.Track, 3);
    EXPECT_EQ(file.Timestamp, 1577934245) << "2020-01-02 03:04:05 UTC";
    EXPECT_EQ(file.Album, "");
    EXPECT_EQ(probe_.GetAudioStreamInfo(-1).Language, "swe");
}

TEST_F(MediaProbeTest, DescriptionShowsTimeStampAndTagsButNotTheLanguageTag) {
    const char* oldZone = std::getenv("TZ");
    const std::string savedZone = oldZone ? oldZone : "";
    setenv("TZ", "UTC0", 1);
    Load("probe_tags.mp4");
    const std::string text = probe_.FileInfoText();
    if (oldZone)
        setenv("TZ", savedZone.c_str(), 1);
    else
        unsetenv("TZ");
    const std::vector<std::string> lines = SplitLines(text);
    EXPECT_EQ(LineStartingWith(lines, "Time Stamp: "), "Time Stamp: 2020-01-02 03:04:05") << text;
    EXPECT_NE(text.find("\r\n  title           : Harbour at Dawn\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\r\n  artist          : Anna Berg\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\r\n  track           : 3/12\r\n"), std::string::npos) << text;
    const std::string audio = LineStartingWith(lines, "Stream #1");
    EXPECT_TRUE(audio.starts_with("Stream #1[0x2](swe), 1/44100: Audio: aac")) << audio;
    EXPECT_EQ(text.find("language"), std::string::npos) << text;
    EXPECT_NE(text.find("    handler_name    : SoundHandler\r\n"), std::string::npos) << text;
}

TEST_F(MediaProbeTest, ContainerAspectDifferentFromTheVideosShowsParAndDar) {
    Load("probe_aspect.mkv");
    const std::string video = LineStartingWith(SplitLines(probe_.FileInfoText()), "Stream #0");
    EXPECT_NE(video.find(", PAR 4:3 DAR 16:9"), std::string::npos) << video;
    EXPECT_NE(video.find(", 1k tbn"), std::string::npos) << video;
}

TEST_F(MediaProbeTest, DisplayMatrixGivesTheRotationInTheFactsAndTheDescription) {
    // The clips' matrices turn the stored picture 270, 180 and 90 degrees clockwise.
    const std::pair<const char*, int> clips[] = {
        {"rotated90.mp4", 270}, {"rotated180.mp4", 180}, {"rotated270.mp4", 90}};
    for (const auto& [clip, degrees] : clips) {
        Load(clip);
        const TVideoStreamInfo info = probe_.GetVideoStreamInfo(-1);
        EXPECT_EQ(info.Rotation, degrees) << clip;
        EXPECT_EQ(info.Width, 160) << clip; // the stored picture's size
        const std::string video = LineStartingWith(SplitLines(probe_.FileInfoText()), "Stream #0");
        EXPECT_NE(video.find(", Rotation: " + std::to_string(degrees) + " degrees"),
                  std::string::npos)
            << video;
        probe_.CloseFile();
    }
    Load("upright.mp4");
    EXPECT_EQ(probe_.GetVideoStreamInfo(-1).Rotation, 0);
    EXPECT_EQ(probe_.FileInfoText().find("Rotation"), std::string::npos);
}

// Found by fuzzing: a damaged matrix with no scale has no angle; its picture is shown as
// stored instead of at a rotation made up from an undefined conversion.
TEST_F(MediaProbeTest, ADisplayMatrixWithoutScaleMeansNoRotation) {
    std::ostringstream read;
    read << std::ifstream(MediaFile("rotated90.mp4"), std::ios::binary).rdbuf();
    std::string bytes = read.str();
    const size_t header = bytes.find("tkhd");
    ASSERT_NE(header, std::string::npos);
    // The nine matrix entries follow 44 bytes after the box type in a version-0 header.
    std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(header + 44), 36, '\0');
    test::TTempDir dir;
    const std::string damaged = dir.File("damaged-matrix.mp4");
    std::ofstream(damaged, std::ios::binary) << bytes;
    ASSERT_TRUE(probe_.LoadFile(damaged)) << probe_.LastErrMsg();
    EXPECT_EQ(probe_.GetVideoStreamInfo(-1).Rotation, 0);
    EXPECT_EQ(probe_.FileInfoText().find("Rotation"), std::string::npos);
}

// ---------------------------------------------------------------- forced formats and sizes

TEST_F(MediaProbeTest, ForcedFormatReadsRawBytesAndSizesUseTheirTexts) {
    test::TTempDir dir;
    const struct {
        size_t bytes;
        const char* shown;
    } cases[] = {{1024, "File Size: 1024 Byte"},
                 {1025, "File Size: 1.00 KB"},
                 {1048576, "File Size: 1024.00 KB"},
                 {1048577, "File Size: 1.00 MB"}};
    for (const auto& sizeCase : cases) {
        const std::string name = dir.File("raw" + std::to_string(sizeCase.bytes) + ".pcm");
        test::WriteTextFile(name, std::string(sizeCase.bytes, '\x80'));
        ASSERT_TRUE(probe_.LoadFile(name, "u8")) << probe_.LastErrMsg();
        EXPECT_EQ(probe_.FormatName(), "u8");
        EXPECT_EQ(probe_.FileSize(), static_cast<int64_t>(sizeCase.bytes));
        EXPECT_EQ(SplitLines(probe_.FileInfoText())[3], sizeCase.shown);
    }
}

TEST_F(MediaProbeTest, UnknownForcedFormatFailsWithoutLogging) {
    EXPECT_FALSE(probe_.LoadFile(MediaFile("clip.avi"), "no_such_format"));
    EXPECT_EQ(probe_.LastErrMsg(), "Unknown input format: no_such_format");
    EXPECT_TRUE(log_.empty());
    ExpectClosed();
}

TEST_F(MediaProbeTest, ForcedFormatThatDoesNotFitFails) {
    EXPECT_FALSE(probe_.LoadFile(MediaFile("probe_text.avi"), "mpegts"));
    EXPECT_FALSE(probe_.LastErrMsg().empty());
    ExpectClosed();
}

// ---------------------------------------------------------------- bad input

TEST_F(MediaProbeTest, MissingFileGivesTheLibraryErrorText) {
    const std::string name = MediaFile("no_such_file.avi");
    EXPECT_FALSE(probe_.LoadFile(name));
    ExpectReported(TLogLevel::llError, name + ": No such file or directory");
    ExpectClosed();
}

TEST_F(MediaProbeTest, FilesThatAreNotMediaFailCleanly) {
    for (const char* file : {"probe_empty.avi", "probe_text.avi", "probe_cut_header.avi"}) {
        SCOPED_TRACE(file);
        log_.clear();
        const std::string name = MediaFile(file);
        EXPECT_FALSE(probe_.LoadFile(name));
        EXPECT_TRUE(probe_.LastErrMsg().starts_with(name + ": ")) << probe_.LastErrMsg();
        ExpectClosed();
        EXPECT_EQ(probe_.FileInfoText(), "");
    }
}

TEST_F(MediaProbeTest, DirectoryIsRefused) {
    const std::string name = MediaFile("probe_folder.avi");
    EXPECT_FALSE(probe_.LoadFile(name));
    EXPECT_TRUE(probe_.LastErrMsg().starts_with(name + ": ")) << probe_.LastErrMsg();
    ExpectClosed();
}

TEST_F(MediaProbeTest, TruncatedFileGivesWhatIsReadable) {
    Load("probe_truncated.avi");
    EXPECT_EQ(probe_.FileSize(), 60000);
    EXPECT_EQ(probe_.VideoStreamCount(), 1);
    EXPECT_EQ(probe_.GetVideoStreamInfo(-1).Width, 160);
    EXPECT_FALSE(probe_.FileInfoText().empty());
}

TEST_F(MediaProbeTest, NamesOutsideAsciiAndWithColonsOpen) {
    Load("probe_Überfahrt 日本.avi");
    EXPECT_EQ(probe_.FileName(), MediaFile("probe_Überfahrt 日本.avi"));
    EXPECT_EQ(probe_.StreamCount(), 2);

    // A ':' sends the name through the kit's own file I/O.
    test::TTempDir dir;
    const std::string name = dir.File("Clip 10:30 ü.avi");
    fs::copy_file(MediaFile("clip.avi"), name);
    ASSERT_TRUE(probe_.LoadFile(name)) << probe_.LastErrMsg();
    EXPECT_EQ(probe_.FileName(), name);
    EXPECT_EQ(probe_.FileSize(), static_cast<int64_t>(fs::file_size(name)));
    EXPECT_EQ(SplitLines(probe_.FileInfoText())[0], "File Name: " + name);
    const std::string missing = dir.File("gone 10:30.avi");
    EXPECT_FALSE(probe_.LoadFile(missing));
    ExpectReported(TLogLevel::llError, missing + ": No such file or directory");
}

TEST_F(MediaProbeTest, OverlongNameIsReportedNotThrown) {
    const std::string name = "/tmp/" + std::string(kMaxLibraryNameLength, 'a') + ".avi";
    bool loaded = true;
    EXPECT_NO_THROW(loaded = probe_.LoadFile(name));
    EXPECT_FALSE(loaded);
    EXPECT_NE(probe_.LastErrMsg().find("too long"), std::string::npos) << probe_.LastErrMsg();
    ASSERT_FALSE(log_.empty());
    EXPECT_EQ(log_.back().level, TLogLevel::llError);
    ExpectClosed();
}

// ---------------------------------------------------------------- borrowed contexts

TEST_F(MediaProbeTest, BorrowedContextIsNeverClosedByTheProbe) {
    AVFormatContext* context = nullptr;
    ASSERT_EQ(OpenInputFormat(&context, NameForLibrary(MediaFile("clip.avi")), nullptr, nullptr),
              0);
    ASSERT_GE(ff::avformat_find_stream_info(context, nullptr), 0);
    probe_.AttachContext(context);
    EXPECT_FALSE(probe_.OwnsContext());
    EXPECT_EQ(probe_.StreamCount(), 2);
    EXPECT_EQ(probe_.GetVideoStreamInfo(-1).Width, 160);
    probe_.AttachContext(context); // the same context again: still borrowed, still open
    EXPECT_EQ(probe_.Context(), context);
    Load("audio_only.wav"); // replaces the borrowed context without closing it
    EXPECT_TRUE(probe_.OwnsContext());
    probe_.AttachContext(context);
    probe_.CloseFile();
    ExpectClosed();
    // The owner can still read and must close it itself (AddressSanitizer sees a double free).
    AVPacket* packet = ff::av_packet_alloc();
    EXPECT_GE(ff::av_read_frame(context, packet), 0);
    ff::av_packet_free(&packet);
    CloseInputFormat(&context);
}

// A context made by hand, as a muxer or a test builds one: no input format, no I/O.
class HandMadeContextTest : public MediaProbeTest {
protected:
    void SetUp() override {
        MediaProbeTest::SetUp();
        context_ = ff::avformat_alloc_context();
        ASSERT_NE(context_, nullptr);
    }
    void TearDown() override {
        MediaProbeTest::TearDown();
        ff::avformat_free_context(context_);
    }
    AVStream* AddStream(AVMediaType type, AVCodecID codec, AVRational timeBase) {
        AVStream* stream = ff::avformat_new_stream(context_, nullptr);
        stream->codecpar->codec_type = type;
        stream->codecpar->codec_id = codec;
        stream->time_base = timeBase;
        return stream;
    }
    AVFormatContext* context_ = nullptr;
};

TEST_F(HandMadeContextTest, ZeroTimeBaseDenominatorIsRepairedInTheStream) {
    AVStream* video = AddStream(AVMEDIA_TYPE_VIDEO, AV_CODEC_ID_MPEG4, {5, 0});
    video->start_time = 10;
    video->duration = 200000;
    AVStream* audio = AddStream(AVMEDIA_TYPE_AUDIO, AV_CODEC_ID_MP2, {0, 0});
    audio->start_time = AV_NOPTS_VALUE;
    audio->duration = 7;
    probe_.AttachContext(context_);
    const TVideoStreamInfo videoInfo = probe_.GetVideoStreamInfo(-1);
    EXPECT_EQ(video->time_base.num, 5);
    EXPECT_EQ(video->time_base.den, 5);
    EXPECT_EQ(videoInfo.StartTime, 10);
    EXPECT_EQ(videoInfo.StartTimeUS, 10'000'000) << "ticks of 5/5 s";
    EXPECT_EQ(videoInfo.DurationUS, 200000LL * 1'000'000);
    const TAudioStreamInfo audioInfo = probe_.GetAudioStreamInfo(-1);
    EXPECT_EQ(audio->time_base.num, 0);
    EXPECT_EQ(audio->time_base.den, 1);
    EXPECT_EQ(audioInfo.StartTime, AV_NOPTS_VALUE) << "copied as the stream holds it";
    EXPECT_EQ(audioInfo.StartTimeUS, -1);
    EXPECT_EQ(audioInfo.DurationUS, 0);
}

TEST_F(HandMadeContextTest, FileSizeFallsBackToTheDiskWhenTheContainerHasNone) {
    AddStream(AVMEDIA_TYPE_VIDEO, AV_CODEC_ID_MPEG4, {1, 25});
    context_->url = ff::av_strdup(MediaFile("clip.avi").c_str());
    probe_.AttachContext(context_);
    EXPECT_EQ(probe_.FileSize(), static_cast<int64_t>(fs::file_size(MediaFile("clip.avi"))));
    probe_.CloseFile();

    ff::av_freep(static_cast<void*>(&context_->url));
    context_->url = ff::av_strdup("http://example.invalid/clip.avi");
    probe_.AttachContext(context_);
    EXPECT_EQ(probe_.FileSize(), -1);
    EXPECT_EQ(SplitLines(probe_.FileInfoText())[3], "File Size: -1 Byte");
    probe_.CloseFile();

    ff::av_freep(static_cast<void*>(&context_->url));
    context_->url = ff::av_strdup(MediaFile("probe_folder.avi").c_str());
    probe_.AttachContext(context_);
    EXPECT_EQ(probe_.FileSize(), -1) << "a folder has no file size";
}

TEST_F(HandMadeContextTest, StreamsOutsidePrograms) {
    AVStream* first = AddStream(AVMEDIA_TYPE_VIDEO, AV_CODEC_ID_MPEG4, {1, 25});
    AVStream* second = AddStream(AVMEDIA_TYPE_AUDIO, AV_CODEC_ID_MP2, {1, 44100});
    AddStream(AVMEDIA_TYPE_DATA, AV_CODEC_ID_NONE, {1, 1000});
    AddStream(AVMEDIA_TYPE_SUBTITLE, AV_CODEC_ID_SUBRIP, {1, 1000});
    context_->start_time = AV_NOPTS_VALUE;
    context_->duration = AV_NOPTS_VALUE;
    first->start_time = AV_NOPTS_VALUE;
    first->duration = AV_NOPTS_VALUE;
    second->start_time = -1024;
    second->duration = 44100 * 3;
    AVProgram* program = ff::av_new_program(context_, 7);
    ff::av_program_add_stream_index(context_, 7, 1);
    ff::av_program_add_stream_index(context_, 7, 1); // listed twice: still one line
    ff::av_dict_set(&program->metadata, "name", "News", 0);
    ff::av_dict_set(&second->metadata, "language", "dut", 0);
    ff::av_dict_set(&second->metadata, "TIT2", "Headlines", 0);

    probe_.AttachContext(context_);
    EXPECT_EQ(probe_.StreamCount(), 4);
    EXPECT_EQ(probe_.ProgramCount(), 1);
    EXPECT_EQ(probe_.SubtitleStreamCount(), 1);
    EXPECT_EQ(probe_.FirstSubtitleStreamIndex(), 3);
    EXPECT_EQ(probe_.VideoStreamCount() + probe_.AudioStreamCount(), 2) << "data not counted";
    const std::vector<std::string> lines = SplitLines(probe_.FileInfoText());
    std::vector<std::string> order;
    for (const std::string& line : lines)
        if (line.starts_with("Program") || line.starts_with("Stream"))
            order.push_back(line.substr(0, 9));
    EXPECT_EQ(order, (std::vector<std::string>{"Program 7", "Stream #1", "Stream #0", "Stream #2",
                                               "Stream #3"}));
    EXPECT_EQ(LineStartingWith(lines, "Program"), "Program 7 N/A@News");
    EXPECT_EQ(LineStartingWith(lines, "Format Name:"), "Format Name: ");
    EXPECT_EQ(LineStartingWith(lines, "Duration:"), "Duration: N/A");
    EXPECT_EQ(LineStartingWith(lines, "StartTime"), "") << "unknown start: no line";
    EXPECT_EQ(LineStartingWith(lines, "Bit Rate:"), "Bit Rate: N/A");
    const std::string audio = LineStartingWith(lines, "Stream #1");
    EXPECT_TRUE(audio.starts_with("Stream #1(dut), 1/44100: Audio: mp2")) << audio;
    EXPECT_TRUE(audio.ends_with(", StartTime: -0.023220, Duration: 00:00:03.000")) << audio;
    EXPECT_TRUE(LineStartingWith(lines, "Stream #0").ends_with(", 25 tbn, Duration: N/A"));
    EXPECT_NE(std::find(lines.begin(), lines.end(), "    title           : Headlines"),
              lines.end());
}

TEST_F(HandMadeContextTest, CodecNamesFallBackToTheTag) {
    AVStream* stream = AddStream(AVMEDIA_TYPE_VIDEO, AV_CODEC_ID_NONE, {1, 25});
    AVCodecParameters* parameters = stream->codecpar;
    parameters->codec_tag = MKTAG('X', 'V', 'I', 'D');
    EXPECT_EQ(probe_text::CodecNameOf(parameters), "XVID / 0x44495658");
    parameters->codec_tag = 1;
    EXPECT_EQ(probe_text::CodecNameOf(parameters), "0x0001");
    parameters->codec_tag = MKTAG('a', 'b', 'c', 0x7F);
    EXPECT_EQ(probe_text::CodecNameOf(parameters), "0x7f636261");
    parameters->codec_id = AV_CODEC_ID_MPEG2TS;
    EXPECT_EQ(probe_text::CodecNameOf(parameters), "mpeg2ts");
    parameters->codec_id = AV_CODEC_ID_H264;
    EXPECT_EQ(probe_text::CodecNameOf(parameters),
              "h264(H.264 / AVC / MPEG-4 AVC / MPEG-4 part 10)");
}

TEST_F(HandMadeContextTest, MetadataBlocksSkipTheLanguageAndKeepLineBreaksReadable) {
    AVStream* stream = AddStream(AVMEDIA_TYPE_AUDIO, AV_CODEC_ID_MP2, {1, 44100});
    ff::av_dict_set(&stream->metadata, "language", "ita", 0);
    ff::av_dict_set(&context_->metadata, "TPE1", "Band", 0);
    ff::av_dict_set(&context_->metadata, "TT2", "Song", 0);
    ff::av_dict_set(&context_->metadata, "comment", "line one\r\nline two", 0);
    probe_.AttachContext(context_);
    const std::string text = probe_.FileInfoText();
    EXPECT_NE(text.find("Metadata:\r\n  artist          : Band\r\n"
                        "  title           : Song\r\n"
                        "  comment         : line one\r\n"
                        "                  : line two\r\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(CountOf(text, "Metadata:"), 1u) << "a stream with only a language has no block";
}

// ---------------------------------------------------------------- text pieces

TEST(ProbeTextTest, RatesUseTheirThreeForms) {
    EXPECT_EQ(probe_text::RateText(25.0, "fps"), ", 25 fps");
    EXPECT_EQ(probe_text::RateText(30000.0 / 1001.0, "fps"), ", 29.97 fps");
    EXPECT_EQ(probe_text::RateText(24000.0 / 1001.0, "tbr"), ", 23.98 tbr");
    EXPECT_EQ(probe_text::RateText(90000.0, "tbn"), ", 90k tbn");
    EXPECT_EQ(probe_text::RateText(12800.0, "tbn"), ", 12800 tbn");
    EXPECT_EQ(probe_text::RateText(1000.0, "tbn"), ", 1k tbn");
}

TEST(ProbeTextTest, SecondsKeepTheSignInFront) {
    EXPECT_EQ(probe_text::SecondsText(1'422'456), "1.422456");
    EXPECT_EQ(probe_text::SecondsText(-23'220), "-0.023220");
    EXPECT_EQ(probe_text::SecondsText(0), "0.000000");
}

} // namespace
} // namespace tovik
