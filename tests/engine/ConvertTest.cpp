// Whole conversions with the engine, checked on the files they produce.
#include "ConvertTestSupport.h"

#include <cmath>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace tovik {
namespace {

namespace fs = std::filesystem;
using test::Convert;
using test::Inspect;
using test::MediaFile;

class ConvertTest : public ::testing::Test {
protected:
    void SetUp() override { test::LoadEngineLibrariesOrFail(); }
    std::string Out(const std::string& name) const { return dir_.File(name); }
    test::TTempDir dir_;
};

TEST_F(ConvertTest, EncodesToTheContainersAndCodecsAsked) {
    struct TCase {
        std::vector<std::string> Options;
        std::string File;
        std::string Video;
        std::string Audio;
    };
    const std::vector<TCase> cases = {
        {{"-vcodec", "libx264", "-acodec", "aac"}, "a.mov", "h264", "aac"},
        {{}, "b.avi", "mpeg4", "mp3float"},
        {{"-vcodec", "mpeg2video", "-acodec", "mp2"}, "c.mpg", "mpeg2video", "mp2"},
        {{"-vcodec", "wmv2", "-acodec", "wmav2"}, "d.wmv", "wmv2", "wmav2"},
        {{"-vcodec", "flv", "-acodec", "libmp3lame", "-ar", "44100"}, "e.flv", "flv", "mp3float"},
        {{"-vn", "-acodec", "libmp3lame"}, "f.mp3", "", "mp3float"},
    };
    for (const TCase& c : cases) {
        std::vector<std::string> arguments = {"-i", MediaFile("clip.avi")};
        arguments.insert(arguments.end(), c.Options.begin(), c.Options.end());
        arguments.push_back(Out(c.File));
        const auto result = Convert(arguments);
        ASSERT_TRUE(result.Ok) << c.File << ": " << result.Error;
        EXPECT_TRUE(result.Finished);
        const auto facts = Inspect(Out(c.File));
        ASSERT_TRUE(facts.Opened) << c.File;
        EXPECT_EQ(facts.VideoCodec, c.Video) << c.File;
        EXPECT_EQ(facts.AudioCodec, c.Audio) << c.File;
        EXPECT_NEAR(facts.Duration, 2.0, 0.1) << c.File;
        if (!c.Video.empty()) {
            EXPECT_EQ(facts.Width, 160) << c.File;
            EXPECT_EQ(facts.Height, 120) << c.File;
        }
    }
}

TEST_F(ConvertTest, TheFfmpegToolsStreamTypedNamesAreUnderstoodAndUnknownOnesRefused) {
    ASSERT_TRUE(Convert({"-i", MediaFile("clip.avi"), "-c:v", "mpeg2video", "-b:v", "300k", "-c:a",
                         "mp2", "-b:a", "64k", Out("typed.mpg")})
                    .Ok);
    auto facts = Inspect(Out("typed.mpg"));
    EXPECT_EQ(facts.VideoCodec, "mpeg2video");
    EXPECT_EQ(facts.AudioCodec, "mp2");
    ASSERT_TRUE(Convert({"-i", MediaFile("clip.avi"), "-c", "copy", Out("copied.mkv")}).Ok);
    facts = Inspect(Out("copied.mkv"));
    EXPECT_EQ(facts.VideoCodec, "mpeg4");
    EXPECT_EQ(facts.AudioCodec, "mp3float");
    // A typing error must not convert with the option quietly left out.
    auto result = Convert({"-i", MediaFile("clip.avi"), "-bogus", "5", Out("bogus.avi")});
    EXPECT_FALSE(result.Ok);
    EXPECT_EQ(result.Error, "Unrecognized option 'bogus' or invalid value '5'");
    result = Convert({"-i", MediaFile("clip.avi"), "-g", "many", Out("bad.avi")});
    EXPECT_EQ(result.Error, "Unrecognized option 'g' or invalid value 'many'");
    EXPECT_FALSE(fs::exists(Out("bogus.avi")));
}

TEST_F(ConvertTest, SizeRateAndChannelsFollowTheOptions) {
    const auto result = Convert({"-i", MediaFile("clip.avi"), "-s", "320x240", "-r", "10", "-ar",
                                 "22050", "-ac", "1", Out("small.avi")});
    ASSERT_TRUE(result.Ok) << result.Error;
    const auto facts = Inspect(Out("small.avi"));
    EXPECT_EQ(facts.Width, 320);
    EXPECT_EQ(facts.Height, 240);
    EXPECT_EQ(facts.SampleRate, 22050);
    EXPECT_EQ(facts.Channels, 1);
    // 10 frames a second over 2 s, and as the ffmpeg tool, up to two more at the end.
    const size_t frames = test::VideoFrameTimes(Out("small.avi")).size();
    EXPECT_GE(frames, 20u);
    EXPECT_LE(frames, 22u);
}

TEST_F(ConvertTest, StreamCopyKeepsTheCodecs) {
    const auto result = Convert(
        {"-i", MediaFile("clip.avi"), "-vcodec", "copy", "-acodec", "copy", Out("copy.mkv")});
    ASSERT_TRUE(result.Ok) << result.Error;
    const auto facts = Inspect(Out("copy.mkv"));
    EXPECT_EQ(facts.VideoCodec, "mpeg4");
    EXPECT_EQ(facts.AudioCodec, "mp3float");
    EXPECT_NEAR(facts.Duration, 2.0, 0.1);
    EXPECT_EQ(test::VideoFrameTimes(Out("copy.mkv")).size(), 50u);
}

TEST_F(ConvertTest, RecordingTimeAndStartPositionCut) {
    ASSERT_TRUE(Convert({"-i", MediaFile("clip.avi"), "-t", "1", Out("first.avi")}).Ok);
    EXPECT_NEAR(Inspect(Out("first.avi")).Duration, 1.0, 0.1);
    ASSERT_TRUE(Convert({"-ss", "0.5", "-i", MediaFile("clip.avi"), Out("rest.avi")}).Ok);
    EXPECT_NEAR(Inspect(Out("rest.avi")).Duration, 1.5, 0.12);
    const auto times = test::VideoFrameTimes(Out("rest.avi"));
    ASSERT_FALSE(times.empty());
    EXPECT_NEAR(times.front(), 0.0, 0.05) << "the output starts at the start position";
    ASSERT_TRUE(Convert({"-i", MediaFile("clip.avi"), "-ss", "0.5", "-t", "1", Out("mid.avi")}).Ok);
    EXPECT_NEAR(Inspect(Out("mid.avi")).Duration, 1.0, 0.12);
}

TEST_F(ConvertTest, JoiningTwoInputsGivesTheirSummedLength) {
    TFFmpeg task;
    task.ResetEngine();
    ASSERT_TRUE(task.AddInputFile(MediaFile("clip.avi")));
    ASSERT_TRUE(task.AddInputFile(MediaFile("clip.avi")));
    ASSERT_EQ(task.AddOutputFile(Out("joined.avi"), true), 2);
    EXPECT_EQ(task.TotalDuration(), 2 * task.InputContext(0)->duration);
    EXPECT_EQ(task.AddOutputFile(Out("second.avi"), false), -1);
    EXPECT_EQ(task.LastError(), "Cannot join more than one output file.");
    ASSERT_TRUE(task.RunConvert()) << task.ErrorMessage();
    const auto facts = Inspect(Out("joined.avi"));
    EXPECT_NEAR(facts.Duration, 4.0, 0.15);
    const auto times = test::VideoFrameTimes(Out("joined.avi"));
    // The second input starts where the longer stream of the first ended (the sound runs a
    // little past the picture), so a frame or two may be repeated at the joint.
    EXPECT_GE(times.size(), 100u);
    EXPECT_LE(times.size(), 103u);
    EXPECT_GE(times.back(), 3.95);
    EXPECT_LE(times.back(), 4.1);
}

TEST_F(ConvertTest, VariableRateInputGetsDuplicatesInAConstantRateContainer) {
    ASSERT_TRUE(Convert({"-i", MediaFile("vfr.mkv"), Out("cfr.avi")}).Ok);
    // Every 1/25 s of the 2 s has a frame, although the input lacks many.
    EXPECT_NEAR(static_cast<double>(test::VideoFrameTimes(Out("cfr.avi")).size()), 50, 2);
    ASSERT_TRUE(Convert({"-i", MediaFile("vfr.mkv"), "-vsync", "0", Out("pass.avi")}).Ok);
    const size_t inputFrames = test::VideoFrameTimes(MediaFile("vfr.mkv")).size();
    EXPECT_EQ(test::VideoFrameTimes(Out("pass.avi")).size(), inputFrames);
    // A variable-rate container keeps the frames' own times.
    ASSERT_TRUE(Convert({"-i", MediaFile("vfr.mkv"), Out("vfr_out.mkv")}).Ok);
    EXPECT_EQ(test::VideoFrameTimes(Out("vfr_out.mkv")).size(), inputFrames);
}

TEST_F(ConvertTest, AudioSyncFillsAHoleWithSilence) {
    ASSERT_TRUE(Convert({"-i", MediaFile("gap.mka"), "-async", "1", Out("filled.wav")}).Ok);
    const auto filled = test::PcmSamples(Out("filled.wav"));
    EXPECT_NEAR(static_cast<double>(filled.size()) / 44100, 3.5, 0.05);
    // Inside the hole the samples are silent.
    ASSERT_GT(filled.size(), 88200u);
    EXPECT_EQ(filled[static_cast<size_t>(1.8 * 44100)], 0);
    ASSERT_TRUE(Convert({"-i", MediaFile("gap.mka"), Out("closed.wav")}).Ok);
    EXPECT_NEAR(static_cast<double>(test::PcmSamples(Out("closed.wav")).size()) / 44100, 2.0, 0.05);
}

TEST_F(ConvertTest, SoundCutIntoSmallEncoderFramesKeepsEverySampleInPlace) {
    // The encoder stage cuts runs of sound into the encoder's frames (libvorbis takes 64
    // samples); lossless FLAC with small frames shows every sample and every frame's time.
    ASSERT_TRUE(
        Convert({"-i", MediaFile("long.avi"), "-vn", "-acodec", "pcm_s16le", Out("reference.wav")})
            .Ok);
    ASSERT_TRUE(Convert({"-i", MediaFile("long.avi"), "-vn", "-acodec", "flac", "-frame_size",
                         "100", Out("small.nut")})
                    .Ok);
    const auto reference = test::PcmSamples(Out("reference.wav"));
    std::vector<int64_t> times;
    const auto cut = test::DecodedSamples(Out("small.nut"), &times);
    ASSERT_GT(reference.size(), 100000u);
    // The last frame is filled up with silence.
    ASSERT_GE(cut.size(), reference.size());
    EXPECT_LT(cut.size(), reference.size() + 2 * 100);
    EXPECT_TRUE(std::equal(reference.begin(), reference.end(), cut.begin()));
    EXPECT_TRUE(std::all_of(cut.begin() + static_cast<long>(reference.size()), cut.end(),
                            [](int16_t sample) { return sample == 0; }));
    ASSERT_GT(times.size(), 2u);
    for (size_t i = 1; i < times.size(); ++i)
        ASSERT_EQ(times[i] - times[i - 1], times[1] - times[0]) << "frame " << i;
}

TEST_F(ConvertTest, VolumeScalesSamplesAndClips) {
    ASSERT_TRUE(Convert({"-i", MediaFile("quiet.wav"), "-vol", "512", Out("loud.wav")}).Ok);
    const auto in = test::PcmSamples(MediaFile("quiet.wav"));
    const auto out = test::PcmSamples(Out("loud.wav"));
    ASSERT_EQ(in.size(), out.size());
    for (size_t i = 0; i < in.size(); i += 97)
        EXPECT_EQ(out[i], std::clamp((in[i] * 512 + 128) >> 8, -32768, 32767)) << i;
    ASSERT_TRUE(Convert({"-i", MediaFile("quiet.wav"), "-vol", "2048", Out("clipped.wav")}).Ok);
    const auto clipped = test::PcmSamples(Out("clipped.wav"));
    EXPECT_EQ(*std::max_element(clipped.begin(), clipped.end()), 32767);
    EXPECT_EQ(*std::min_element(clipped.begin(), clipped.end()), -32768);
}

TEST_F(ConvertTest, HookChangesPicturesOnlyWithWriteBackAndStopsWhenDisabled) {
    int calls = 0;
    auto run = [&](const std::string& name, bool writeBack, int disableAt) {
        calls = 0;
        return Convert({"-i", MediaFile("clip.avi"), "-an", "-vcodec", "rawvideo", Out(name)},
                       [&](TFFmpeg& task) {
                           task.SetHookCallback(
                               [&, writeBack, disableAt](TCustomFFmpeg&, TBitmap& bitmap, int frame,
                                                         int64_t, bool& write, bool& disable) {
                                   ++calls;
                                   EXPECT_EQ(frame, calls);
                                   for (int y = 0; y < bitmap.Height(); ++y)
                                       std::memset(bitmap.ScanLine(y), 255, bitmap.Width() * 3);
                                   write = writeBack;
                                   disable = frame == disableAt;
                               });
                       });
    };
    // A dark spot of the test picture: painting it white shows.
    const TBitmap original = test::FirstPicture(MediaFile("clip.avi"));
    ASSERT_FALSE(original.Empty());
    int spotX = -1;
    int spotY = -1;
    for (int y = 8; y < original.Height() - 8 && spotX < 0; ++y)
        for (int x = 8; x < original.Width() - 8 && spotX < 0; ++x)
            if (original.ScanLine(y)[3 * x] < 60 && original.ScanLine(y)[3 * x + 3] < 60 &&
                original.ScanLine(y + 1)[3 * x] < 60) {
                spotX = x;
                spotY = y;
            }
    ASSERT_GE(spotX, 0);
    const int originalPixel = original.ScanLine(spotY)[3 * spotX];
    auto firstPixel = [&](const std::string& name) {
        const TBitmap picture = test::FirstPicture(Out(name));
        return picture.Empty() ? -1 : static_cast<int>(picture.ScanLine(spotY)[3 * spotX]);
    };
    ASSERT_TRUE(run("white.avi", true, -1).Ok);
    EXPECT_EQ(calls, 50);
    EXPECT_GE(firstPixel("white.avi"), 245) << "painted white (through 4:2:0 and back)";
    ASSERT_TRUE(run("asis.avi", false, -1).Ok);
    EXPECT_NEAR(firstPixel("asis.avi"), originalPixel, 12);
    ASSERT_TRUE(run("some.avi", true, 10).Ok);
    EXPECT_EQ(calls, 10) << "no calls after DisableHook";
    EXPECT_EQ(test::VideoFrameTimes(Out("some.avi")).size(), 50u) << "the conversion went on";
}

TEST_F(ConvertTest, AHandlerThatResizesThePictureLeavesTheFramesAsTheyWere) {
    int calls = 0;
    const auto result =
        Convert({"-i", MediaFile("clip.avi"), "-an", "-vcodec", "rawvideo", Out("resized.avi")},
                [&](TFFmpeg& task) {
                    task.SetHookCallback(
                        [&](TCustomFFmpeg&, TBitmap& bitmap, int frame, int64_t, bool&, bool&) {
                            ++calls;
                            // Smaller on odd frames, larger on even ones; white either way.
                            bitmap.SetSize(frame % 2 ? 40 : 400, frame % 2 ? 30 : 300);
                            for (int y = 0; y < bitmap.Height(); ++y)
                                std::memset(bitmap.ScanLine(y), 255, bitmap.Width() * 3);
                        });
                });
    ASSERT_TRUE(result.Ok) << result.Error;
    EXPECT_EQ(calls, 50);
    const TBitmap original = test::FirstPicture(MediaFile("clip.avi"));
    const TBitmap converted = test::FirstPicture(Out("resized.avi"));
    ASSERT_EQ(converted.Width(), original.Width());
    ASSERT_EQ(converted.Height(), original.Height());
    int worst = 0;
    for (int y = 0; y < original.Height(); ++y)
        for (int i = 0; i < original.Width() * 3; ++i)
            worst = std::max(worst, std::abs(converted.ScanLine(y)[i] - original.ScanLine(y)[i]));
    EXPECT_LE(worst, 12) << "nothing was painted into the frames";
}

TEST_F(ConvertTest, TwoPassStatisticsFilesAreNamedByStream) {
    const std::string prefix = Out("stats");
    ASSERT_TRUE(Convert({"-i", MediaFile("clip.avi"), "-an", "-pass", "1", "-passlogfile", prefix,
                         "-b", "200000", Out("pass1.avi")})
                    .Ok);
    ASSERT_TRUE(fs::exists(prefix + "-0.log"));
    EXPECT_GT(fs::file_size(prefix + "-0.log"), 100u);
    const auto second = Convert({"-i", MediaFile("clip.avi"), "-an", "-pass", "2", "-passlogfile",
                                 prefix, "-b", "200000", Out("pass2.avi")});
    ASSERT_TRUE(second.Ok) << second.Error;
    EXPECT_EQ(test::VideoFrameTimes(Out("pass2.avi")).size(), 50u);
    const auto missing = Convert({"-i", MediaFile("clip.avi"), "-an", "-pass", "2", "-passlogfile",
                                  Out("nothing"), Out("pass2b.avi")});
    EXPECT_FALSE(missing.Ok);
    EXPECT_EQ(missing.Error, "Cannot read file: Error reading log file \"" + Out("nothing") +
                                 "-0.log\" for pass-2 encoding");
}

TEST_F(ConvertTest, VideoStatisticsListEveryCodedFrame) {
    const std::string stats = Out("vstats.txt");
    std::vector<std::string> lines;
    ASSERT_TRUE(Convert({"-i", MediaFile("clip.avi"), "-an", "-psnr", "-vstats_file", stats,
                         Out("stats.avi")})
                    .Ok);
    std::vector<uint8_t> bytes;
    test::ReadBinaryFile(stats, bytes);
    std::string text(bytes.begin(), bytes.end());
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    ASSERT_EQ(lines.size(), 50u);
    EXPECT_EQ(lines[0].rfind("frame=     1 q= ", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find("PSNR= "), std::string::npos);
    EXPECT_NE(lines[0].find("type= I"), std::string::npos) << lines[0];
    EXPECT_NE(lines[49].find("time= 1.960"), std::string::npos) << lines[49];
}

TEST_F(ConvertTest, BadInputsFailWithClearTexts) {
    auto error = Convert({"-i", MediaFile("empty.avi"), Out("x.avi")}).Error;
    EXPECT_EQ(error.rfind(MediaFile("empty.avi") + ": ", 0), 0u) << error;
    error = Convert({"-i", MediaFile("clip.avi"), "-vcodec", "nosuchcodec", Out("x.avi")}).Error;
    EXPECT_EQ(error, "new_video_stream fail: Unknown encoder 'nosuchcodec'");
    auto result =
        Convert({"-i", MediaFile("video_only.avi"), "-acodec", "libmp3lame", Out("x.avi")});
    EXPECT_TRUE(result.Ok) << "an audio codec without audio input creates no audio stream";
    result = Convert({"-i", MediaFile("clip.avi"), "-map", "0:0", "-map", "0:0", Out("y.avi")});
    EXPECT_FALSE(result.Ok);
    EXPECT_EQ(result.Error, "Codec type mismatch for mapping #0.0 (Video) -> #0.1 (Audio)");
    EXPECT_FALSE(fs::exists(Out("y.avi"))) << "an output left empty is removed";
    error = Convert({"-i", MediaFile("clip.avi"), Out("x.unknownext")}).Error;
    EXPECT_EQ(error, "Unable to find a suitable output format for '" + Out("x.unknownext") + "'");
}

TEST_F(ConvertTest, AnAudioOutputStreamWithoutSourceFailsNamingIt) {
    TFFmpeg task;
    task.ResetEngine();
    ASSERT_TRUE(task.AddInputFile(MediaFile("video_only.avi")));
    ASSERT_GT(task.AddOutputFile(Out("x.avi"), false), 0);
    task.SetOption("acodec", "libmp3lame");
    task.SetOption("newaudio", "");
    EXPECT_FALSE(task.RunConvert());
    EXPECT_EQ(task.ErrorMessage(),
              "Could not find input stream matching output stream #0.1 (Audio)");
}

TEST_F(ConvertTest, TruncatedInputConvertsWhatIsReadable) {
    const auto result = Convert({"-i", MediaFile("truncated.avi"), Out("part.avi")});
    ASSERT_TRUE(result.Ok) << result.Error;
    const auto facts = Inspect(Out("part.avi"));
    ASSERT_TRUE(facts.Opened);
    EXPECT_GT(facts.Duration, 0.3);
    EXPECT_LT(facts.Duration, 2.0);
}

TEST_F(ConvertTest, AnUnwritableOutputFolderFailsAndLeavesNothing) {
    fs::create_directories(Out("blocked"));
    // A folder in place of the output file: no one can open it for writing.
    fs::create_directories(Out("blocked/out.avi"));
    const auto result = Convert({"-i", MediaFile("clip.avi"), Out("blocked/out.avi")});
    EXPECT_FALSE(result.Ok);
    EXPECT_EQ(result.Error.rfind(Out("blocked/out.avi") + ": ", 0), 0u) << result.Error;
    EXPECT_TRUE(fs::is_directory(Out("blocked/out.avi")));
}

TEST_F(ConvertTest, APictureSizeChangeMidStreamKeepsTheOutputSize) {
    const auto result =
        Convert({"-i", MediaFile("size_change.ts"), "-s", "160x120", Out("same.avi")});
    ASSERT_TRUE(result.Ok) << result.Error;
    const auto facts = Inspect(Out("same.avi"));
    EXPECT_EQ(facts.Width, 160);
    EXPECT_GT(test::VideoFrameTimes(Out("same.avi")).size(), 40u);
    // Also when the first part needed no scaling at all.
    ASSERT_TRUE(Convert({"-i", MediaFile("size_change.ts"), Out("unscaled.avi")}).Ok);
    EXPECT_EQ(Inspect(Out("unscaled.avi")).Width, 160);
}

TEST_F(ConvertTest, ProgressReportsCountFramesAndEndWithAFinalReport) {
    std::vector<TProgressInfo> reports;
    const auto result =
        Convert({"-i", MediaFile("clip.avi"), Out("progress.avi")}, [&](TFFmpeg& task) {
            task.SetProgressCallback(
                [&](TCustomFFmpeg&, const TProgressInfo& info) { reports.push_back(info); });
        });
    ASSERT_TRUE(result.Ok);
    ASSERT_FALSE(reports.empty());
    const TProgressInfo& last = reports.back();
    EXPECT_EQ(last.FileIndex, -1);
    EXPECT_EQ(last.FrameNumber, 50);
    EXPECT_NEAR(static_cast<double>(last.CurrentTime) / 1e6, 2.0, 0.1);
    EXPECT_NEAR(static_cast<double>(last.TotalDuration) / 1e6, 2.0, 0.1);
    EXPECT_EQ(last.TotalSize, static_cast<int64_t>(fs::file_size(Out("progress.avi"))));
}

} // namespace
} // namespace tovik
