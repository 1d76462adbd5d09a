// Conversions of inputs like the ones phones, cameras, the web and disc rips give: long
// keyframe intervals, packets without presentation times, display matrices, several sound
// tracks, surround sound, cover art, unknown or damaged streams. Outputs are decoded stream
// by stream and compared with what the ffmpeg tool makes of the same files.
#include "ConvertTestSupport.h"
#include "StreamFacts.h"

#include <cmath>
#include <cstring>
#include <filesystem>

namespace tovik {
namespace {

namespace fs = std::filesystem;
using test::Convert;
using test::DecodeStreams;
using test::MediaFile;
using test::StreamsOfType;
using test::TDecodedStream;

constexpr double kFrame = 0.04;       // one picture at 25 frames a second
constexpr double kAudioSlack = 0.025; // what a trimmed sound track may be off

// The step clips get 30 levels brighter and 0.1 of full scale louder every second.
int PictureStep(const TBitmap& picture) {
    const double luma =
        test::MeanLevel(picture, 0, 0, picture.Width(), picture.Height()) * 219.0 / 255.0 + 16.0;
    return static_cast<int>(std::lround((luma - 40.0) / 30.0));
}
int SoundStep(double peak) {
    return static_cast<int>(std::lround(peak / 0.1)) - 1;
}

class RealWorldTest : public ::testing::Test {
protected:
    void SetUp() override { test::LoadEngineLibrariesOrFail(); }
    std::string Out(const std::string& name) const { return dir_.File(name); }
    test::TTempDir dir_;
};

// ---- Trims ---------------------------------------------------------------------------------

void ExpectTrimmed(const std::string& file, double length, int firstStep, const std::string& what) {
    const auto streams = DecodeStreams(file);
    const auto video = StreamsOfType(streams, AVMEDIA_TYPE_VIDEO);
    const auto audio = StreamsOfType(streams, AVMEDIA_TYPE_AUDIO);
    ASSERT_EQ(video.size(), 1u) << what;
    ASSERT_EQ(audio.size(), 1u) << what;
    EXPECT_NEAR(video[0].Start, 0.0, kFrame / 2) << what;
    EXPECT_NEAR(video[0].Length(), length, kFrame + 1e-6) << what;
    EXPECT_NEAR(audio[0].Start, 0.0, kAudioSlack) << what;
    EXPECT_NEAR(audio[0].Length(), length, kAudioSlack) << what;
    EXPECT_EQ(PictureStep(video[0].FirstPicture), firstStep) << what;
    EXPECT_EQ(SoundStep(audio[0].FirstPeak), firstStep) << what;
}

TEST_F(RealWorldTest, TrimsOfLongGopInputsStartAtTheStartInEveryStream) {
    // One keyframe every 4 s: a seek to 1 s lands on the keyframe at 0 s.
    for (const char* clip : {"steps_h264.mp4", "steps_hevc.mp4"}) {
        const std::string input = MediaFile(clip);
        const std::string seeked = Out(std::string("seek_") + clip + ".avi");
        auto result = Convert({"-ss", "1", "-i", input, "-t", "2", "-vcodec", "mpeg4", "-qscale",
                               "2", "-acodec", "pcm_s16le", seeked});
        ASSERT_TRUE(result.Ok) << clip << ": " << result.Error;
        ExpectTrimmed(seeked, 2.0, 1, std::string(clip) + " with an input seek");

        // The start given after the input: everything is decoded from the beginning.
        const std::string late = Out(std::string("late_") + clip + ".avi");
        result = Convert({"-i", input, "-ss", "2", "-t", "3", "-vcodec", "mpeg4", "-qscale", "2",
                          "-acodec", "pcm_s16le", late});
        ASSERT_TRUE(result.Ok) << clip << ": " << result.Error;
        ExpectTrimmed(late, 3.0, 2, std::string(clip) + " with a start after the input");
    }
}

TEST_F(RealWorldTest, TrimOffTheMiddleOfASecondCutsSoundToTheSample) {
    const std::string out = Out("mid.mkv");
    const auto result = Convert({"-ss", "1.5", "-i", MediaFile("steps_h264.mp4"), "-t", "1.3",
                                 "-vcodec", "mpeg4", "-acodec", "pcm_s16le", out});
    ASSERT_TRUE(result.Ok) << result.Error;
    const auto audio = StreamsOfType(DecodeStreams(out), AVMEDIA_TYPE_AUDIO);
    ASSERT_EQ(audio.size(), 1u);
    EXPECT_NEAR(static_cast<double>(audio[0].Samples), 1.3 * 44100, 2);
    const auto video = StreamsOfType(DecodeStreams(out), AVMEDIA_TYPE_VIDEO);
    ASSERT_EQ(video.size(), 1u);
    EXPECT_NEAR(video[0].Frames, 1.3 * 25, 1);
}

TEST_F(RealWorldTest, RecordingTimeCutsStreamsWithoutPresentationTimes) {
    // H.264 with B-frames in AVI: the packets carry decoding times only.
    const std::string out = Out("bframes.avi");
    const auto result = Convert({"-i", MediaFile("bframes.avi"), "-t", "2", "-vcodec", "mpeg4",
                                 "-acodec", "pcm_s16le", out});
    ASSERT_TRUE(result.Ok) << result.Error;
    const auto streams = DecodeStreams(out);
    const auto video = StreamsOfType(streams, AVMEDIA_TYPE_VIDEO);
    const auto audio = StreamsOfType(streams, AVMEDIA_TYPE_AUDIO);
    ASSERT_EQ(video.size(), 1u);
    ASSERT_EQ(audio.size(), 1u);
    EXPECT_NEAR(video[0].Length(), 2.0, kFrame + 1e-6);
    EXPECT_EQ(video[0].Frames, 50);
    EXPECT_NEAR(audio[0].Length(), 2.0, kAudioSlack);
}

// ---- Rotation -------------------------------------------------------------------------------

TEST_F(RealWorldTest, PicturesStoredSidewaysComeOutUprightLikeTheFfmpegTools) {
    for (const int angle : {90, 180, 270}) {
        const std::string name = "rotated" + std::to_string(angle);
        const auto source =
            StreamsOfType(DecodeStreams(MediaFile(name + ".mp4")), AVMEDIA_TYPE_VIDEO);
        ASSERT_EQ(source.size(), 1u);
        // The matrix the ffmpeg tool writes for "rotate=N" turns the stored picture N degrees
        // counter-clockwise: the marker at the top left shows at the bottom left for 90.
        ASSERT_EQ(source[0].Rotation, (360 - angle) % 360) << "the clip's display matrix";
        const std::string out = Out(name + ".mp4");
        const auto result = Convert(
            {"-i", MediaFile(name + ".mp4"), "-vcodec", "mpeg4", "-qscale", "3", "-an", out});
        ASSERT_TRUE(result.Ok) << name << ": " << result.Error;
        const auto ours = StreamsOfType(DecodeStreams(out), AVMEDIA_TYPE_VIDEO);
        const auto tool =
            StreamsOfType(DecodeStreams(MediaFile(name + ".ref.avi")), AVMEDIA_TYPE_VIDEO);
        ASSERT_EQ(ours.size(), 1u);
        ASSERT_EQ(tool.size(), 1u);
        EXPECT_EQ(ours[0].Width, tool[0].Width) << name;
        EXPECT_EQ(ours[0].Height, tool[0].Height) << name;
        const int corner = test::BrightCorner(ours[0].FirstPicture);
        EXPECT_NE(corner, -1) << name;
        EXPECT_EQ(corner, test::BrightCorner(tool[0].FirstPicture)) << name;
        EXPECT_EQ(corner, angle / 90 == 1 ? 3 : angle / 90 == 2 ? 2 : 1) << name;
        // Upright already: no display matrix that would turn it a second time.
        EXPECT_EQ(ours[0].Rotation, 0) << name;
    }
    // Without a display matrix the marker stays where it is.
    const std::string out = Out("upright.avi");
    ASSERT_TRUE(Convert({"-i", MediaFile("upright.mp4"), "-vcodec", "mpeg4", "-an", out}).Ok);
    const auto upright = StreamsOfType(DecodeStreams(out), AVMEDIA_TYPE_VIDEO);
    ASSERT_EQ(upright.size(), 1u);
    EXPECT_EQ(test::BrightCorner(upright[0].FirstPicture), 0);
    EXPECT_EQ(upright[0].Width, 160);
}

TEST_F(RealWorldTest, ASizeGivenForARotatedClipIsTheUprightPicturesSize) {
    const std::string out = Out("sized.avi");
    const auto result = Convert(
        {"-i", MediaFile("rotated90.mp4"), "-s", "240x320", "-vcodec", "mpeg4", "-an", out});
    ASSERT_TRUE(result.Ok) << result.Error;
    const auto video = StreamsOfType(DecodeStreams(out), AVMEDIA_TYPE_VIDEO);
    ASSERT_EQ(video.size(), 1u);
    EXPECT_EQ(video[0].Width, 240);
    EXPECT_EQ(video[0].Height, 320);
    EXPECT_NE(test::BrightCorner(video[0].FirstPicture), -1);
}

TEST_F(RealWorldTest, EffectsOnAClipStoredSidewaysAreDrawnOnTheUprightPicture) {
    // The hook whitens the top right of the picture it is given, as a watermark placed
    // there in the dialogs (which show the clip upright) would be.
    for (const int angle : {90, 180}) {
        const std::string name = "rotated" + std::to_string(angle);
        int hookWidth = 0;
        int hookHeight = 0;
        const std::string out = Out(name + "_hooked.avi");
        const auto result = Convert(
            {"-i", MediaFile(name + ".mp4"), "-vcodec", "mpeg4", "-qscale", "2", "-an", out},
            [&](TFFmpeg& task) {
                task.SetHookCallback(
                    [&](TCustomFFmpeg&, TBitmap& bitmap, int, int64_t, bool& writeBack, bool&) {
                        hookWidth = bitmap.Width();
                        hookHeight = bitmap.Height();
                        for (int y = 0; y < bitmap.Height() / 5; ++y)
                            std::memset(bitmap.ScanLine(y) + 3 * (bitmap.Width() * 4 / 5), 255,
                                        3 * (bitmap.Width() - bitmap.Width() * 4 / 5));
                        writeBack = true;
                    });
            });
        ASSERT_TRUE(result.Ok) << name << ": " << result.Error;
        const auto video = StreamsOfType(DecodeStreams(out), AVMEDIA_TYPE_VIDEO);
        ASSERT_EQ(video.size(), 1u);
        EXPECT_EQ(hookWidth, video[0].Width) << name;
        EXPECT_EQ(hookHeight, video[0].Height) << name;
        if (angle == 90) {
            EXPECT_LT(hookWidth, hookHeight) << name << ": the hook saw the picture upright";
        }
        const TBitmap& picture = video[0].FirstPicture;
        const int w = picture.Width() / 5;
        const int h = picture.Height() / 5;
        EXPECT_GT(test::MeanLevel(picture, picture.Width() - w, 0, w, h), 240)
            << name << ": the white corner is where the hook drew it";
        // The clip's own marker still turns with the picture.
        const int markerX = angle == 90 ? 0 : picture.Width() - w;
        EXPECT_GT(test::MeanLevel(picture, markerX, picture.Height() - h, w, h), 128) << name;
    }
}

// ---- Display aspect ---------------------------------------------------------------------------

TEST_F(RealWorldTest, SquarePixelWidescreenScaledToFourThreeKeepsItsShapeOnScreen) {
    // What Full Screen asks for: the target's frame, the source's display aspect.
    for (const std::vector<std::string>& options :
         {std::vector<std::string>{"-s", "640x480", "-aspect", "16:9"},
          std::vector<std::string>{"-s", "640x480"}}) {
        const std::string out = Out(std::to_string(options.size()) + ".mov");
        std::vector<std::string> arguments = {"-i", MediaFile("wide.mp4")};
        arguments.insert(arguments.end(), options.begin(), options.end());
        arguments.insert(arguments.end(), {"-vcodec", "mpeg4", out});
        const auto result = Convert(arguments);
        ASSERT_TRUE(result.Ok) << result.Error;
        const auto video = StreamsOfType(DecodeStreams(out), AVMEDIA_TYPE_VIDEO);
        ASSERT_EQ(video.size(), 1u);
        EXPECT_EQ(video[0].Width, 640);
        EXPECT_EQ(video[0].Height, 480);
        EXPECT_EQ(video[0].SampleAspect.num * 3, video[0].SampleAspect.den * 4)
            << video[0].SampleAspect.num << ":" << video[0].SampleAspect.den;
        EXPECT_NEAR(video[0].DisplayAspect(), 16.0 / 9.0, 0.01);
    }
}

// ---- Sound layouts ---------------------------------------------------------------------------

TEST_F(RealWorldTest, EachSoundStreamKeepsItsOwnSourcesLayout) {
    // Stereo "Main" is the track chosen; the mono commentary after it must not decide.
    std::string out = Out("main.mkv");
    auto result = Convert(
        {"-i", MediaFile("stereo_mono.mkv"), "-vcodec", "mpeg4", "-acodec", "pcm_s16le", out});
    ASSERT_TRUE(result.Ok) << result.Error;
    auto audio = StreamsOfType(DecodeStreams(out), AVMEDIA_TYPE_AUDIO);
    ASSERT_EQ(audio.size(), 1u);
    EXPECT_EQ(audio[0].Channels, 2);
    EXPECT_EQ(audio[0].SampleRate, 44100);

    struct TCase {
        const char* Map;
        int Channels;
        int Rate;
    };
    for (const TCase& c : {TCase{"0:1", 2, 44100}, TCase{"0:2", 6, 48000}}) {
        out = Out(std::string("map") + c.Map[2] + ".mkv");
        result = Convert({"-i", MediaFile("stereo_51.mkv"), "-map", "0:0", "-map", c.Map, "-vcodec",
                          "mpeg4", "-acodec", "pcm_s16le", out});
        ASSERT_TRUE(result.Ok) << c.Map << ": " << result.Error;
        audio = StreamsOfType(DecodeStreams(out), AVMEDIA_TYPE_AUDIO);
        ASSERT_EQ(audio.size(), 1u) << c.Map;
        EXPECT_EQ(audio[0].Channels, c.Channels) << c.Map;
        EXPECT_EQ(audio[0].SampleRate, c.Rate) << c.Map;
    }

    // "ac" and "ar" after the input decide for every stream.
    out = Out("asked.mkv");
    result = Convert({"-i", MediaFile("stereo_51.mkv"), "-map", "0:0", "-map", "0:2", "-ac", "1",
                      "-ar", "22050", "-vcodec", "mpeg4", "-acodec", "pcm_s16le", out});
    ASSERT_TRUE(result.Ok) << result.Error;
    audio = StreamsOfType(DecodeStreams(out), AVMEDIA_TYPE_AUDIO);
    ASSERT_EQ(audio.size(), 1u);
    EXPECT_EQ(audio[0].Channels, 1);
    EXPECT_EQ(audio[0].SampleRate, 22050);
}

TEST_F(RealWorldTest, SurroundSoundIsMixedDownForEncodersThatTakeStereoOnly) {
    struct TCase {
        const char* Encoder;
        const char* File;
    };
    for (const TCase& c :
         {TCase{"libmp3lame", "o.mp3"}, TCase{"mp2", "o.mp2"}, TCase{"wmav2", "o.wma"}}) {
        for (const char* source : {"surround51.mkv", "surround71.mkv"}) {
            const std::string what = std::string(c.Encoder) + " from " + source;
            const std::string out = Out(std::string(source) + "." + c.File);
            const auto result =
                Convert({"-i", MediaFile(source), "-vn", "-acodec", c.Encoder, out});
            ASSERT_TRUE(result.Ok) << what << ": " << result.Error;
            const auto audio = StreamsOfType(DecodeStreams(out), AVMEDIA_TYPE_AUDIO);
            ASSERT_EQ(audio.size(), 1u) << what;
            EXPECT_EQ(audio[0].Channels, 2) << what;
            // The 7.1 clip is at 96 kHz: the nearest rate these encoders take is 48 kHz.
            EXPECT_EQ(audio[0].SampleRate, 48000) << what;
            EXPECT_NEAR(audio[0].Length(), 2.0, 0.1) << what;
            if (std::string(c.Encoder) == "wmav2")
                continue; // the ffmpeg tool refuses 7.1 for WMA
            // The ffmpeg tool makes the same choice.
            const std::string reference = Out(std::string("ref.") + source + "." + c.File);
            ASSERT_EQ(test::RunFfmpegTool("-i " + MediaFile(source) + " -vn -c:a " + c.Encoder +
                                          " " + reference),
                      0);
            const auto tool = StreamsOfType(DecodeStreams(reference), AVMEDIA_TYPE_AUDIO);
            ASSERT_EQ(tool.size(), 1u);
            EXPECT_EQ(audio[0].Channels, tool[0].Channels) << what;
            EXPECT_EQ(audio[0].SampleRate, tool[0].SampleRate) << what;
        }
    }
    // DV carries stereo only.
    const std::string dv = Out("surround.dv");
    const auto result = Convert({"-i", MediaFile("surround51.mkv"), "-target", "pal-dv", dv});
    ASSERT_TRUE(result.Ok) << result.Error;
    const auto streams = DecodeStreams(dv);
    const auto audio = StreamsOfType(streams, AVMEDIA_TYPE_AUDIO);
    ASSERT_EQ(audio.size(), 1u);
    EXPECT_EQ(audio[0].Channels, 2);
    EXPECT_EQ(audio[0].SampleRate, 48000);
    EXPECT_NEAR(audio[0].Length(), 2.0, kFrame);
}

// ---- Cover art ---------------------------------------------------------------------------------

TEST_F(RealWorldTest, CoverArtIsNoVideoSourceAndSoundFormatsGetNoPicture) {
    for (const char* file : {"cover.mp4", "cover.avi"}) {
        const std::string out = Out(file);
        const auto result =
            Convert({"-i", MediaFile("cover.m4a"), "-vcodec", "mpeg4", "-acodec", "aac", out});
        ASSERT_TRUE(result.Ok) << file << ": " << result.Error;
        const auto streams = DecodeStreams(out);
        EXPECT_TRUE(StreamsOfType(streams, AVMEDIA_TYPE_VIDEO).empty()) << file;
        const auto audio = StreamsOfType(streams, AVMEDIA_TYPE_AUDIO);
        ASSERT_EQ(audio.size(), 1u) << file;
        EXPECT_NEAR(audio[0].Length(), 5.0, 0.1) << file;
    }
    // A video converted to MP3 gives sound only.
    const std::string mp3 = Out("clip.mp3");
    ASSERT_TRUE(Convert({"-i", MediaFile("clip.avi"), mp3}).Ok);
    const auto streams = DecodeStreams(mp3);
    EXPECT_TRUE(StreamsOfType(streams, AVMEDIA_TYPE_VIDEO).empty());
    ASSERT_EQ(StreamsOfType(streams, AVMEDIA_TYPE_AUDIO).size(), 1u);
    // DV needs a picture: without one the task fails and leaves no file.
    const std::string dv = Out("cover.dv");
    const auto result = Convert({"-i", MediaFile("cover.m4a"), "-target", "pal-dv", dv});
    EXPECT_FALSE(result.Ok);
    EXPECT_FALSE(fs::exists(dv));
}

// ---- Streams that cannot be decoded ----------------------------------------------------------

TEST_F(RealWorldTest, UndecodableVideoFailsItsTaskWithAClearText) {
    struct TCase {
        const char* File;
        const char* Text;
    };
    for (const TCase& c : {TCase{"unknown_fourcc.avi",
                                 "Decoder (codec id 0) not found for input stream #0.0 (Video)"},
                           TCase{"cut_early.mkv", "Input stream #0.0 (Video) cannot be decoded"}}) {
        const std::string out = Out(std::string(c.File) + ".avi");
        const auto result = Convert({"-i", MediaFile(c.File), "-vcodec", "mpeg4", out});
        EXPECT_FALSE(result.Ok) << c.File;
        EXPECT_NE(result.Error.find(c.Text), std::string::npos) << c.File << ": " << result.Error;
        EXPECT_FALSE(fs::exists(out)) << c.File;
    }
    // Its sound alone still converts.
    const std::string out = Out("sound.wav");
    const auto result = Convert({"-i", MediaFile("unknown_fourcc.avi"), "-vn", out});
    ASSERT_TRUE(result.Ok) << result.Error;
    const auto audio = StreamsOfType(DecodeStreams(out), AVMEDIA_TYPE_AUDIO);
    ASSERT_EQ(audio.size(), 1u);
    EXPECT_NEAR(audio[0].Length(), 1.0, kAudioSlack);
}

// ---- Output over the input ---------------------------------------------------------------------

TEST_F(RealWorldTest, AnOutputThatIsTheInputIsRefusedAndTheInputKept) {
    const std::string input = Out("a.avi");
    fs::copy_file(MediaFile("clip.avi"), input);
    fs::create_directory(Out("sub"));
    fs::create_symlink(input, Out("link.avi"));
    fs::create_hard_link(input, Out("hard.avi"));
    std::vector<uint8_t> before;
    test::ReadBinaryFile(input, before);
    for (const std::string& name :
         {input, Out("link.avi"), Out("hard.avi"), Out("sub") + "/../a.avi"}) {
        const auto result = Convert({"-i", input, "-vcodec", "mpeg4", name});
        EXPECT_FALSE(result.Ok) << name;
        EXPECT_EQ(result.Error, "Output " + name + " same as Input #0 - exiting");
    }
    // The second input counts as well.
    const auto result = Convert({"-i", MediaFile("clip.avi"), "-i", input, Out("link.avi")});
    EXPECT_EQ(result.Error, "Output " + Out("link.avi") + " same as Input #1 - exiting");
    std::vector<uint8_t> after;
    test::ReadBinaryFile(input, after);
    EXPECT_EQ(after, before);
}

// ---- DV ----------------------------------------------------------------------------------------

TEST_F(RealWorldTest, DvFromSoundThatStartsLateIsLedInBySilence) {
    // The ffmpeg tool fails on this file ("Insufficient audio data").
    const std::string out = Out("late.dv");
    const auto result = Convert({"-i", MediaFile("late_audio_ts.mkv"), "-target", "pal-dv", out});
    ASSERT_TRUE(result.Ok) << result.Error;
    const auto streams = DecodeStreams(out);
    const auto video = StreamsOfType(streams, AVMEDIA_TYPE_VIDEO);
    const auto audio = StreamsOfType(streams, AVMEDIA_TYPE_AUDIO);
    ASSERT_EQ(video.size(), 1u);
    ASSERT_EQ(audio.size(), 1u);
    EXPECT_NEAR(video[0].Length(), 3.0, kFrame);
    EXPECT_NEAR(audio[0].Length(), 3.0, kFrame);
    EXPECT_LT(audio[0].FirstPeak, 0.001);
}

TEST_F(RealWorldTest, DvFromSoundThatStopsEarlyKeepsEveryPicture) {
    // A cut-off download: 3 s of pictures, 2 s of sound. The ffmpeg tool drops the last
    // second of pictures ("Insufficient audio data"); the sound is filled up with silence.
    for (const char* target : {"pal-dv", "ntsc-dv"}) {
        const std::string out = Out(std::string(target) + ".dv");
        const auto result = Convert({"-i", MediaFile("short_sound.mkv"), "-target", target, out});
        ASSERT_TRUE(result.Ok) << target << ": " << result.Error;
        const auto streams = DecodeStreams(out);
        const auto video = StreamsOfType(streams, AVMEDIA_TYPE_VIDEO);
        const auto audio = StreamsOfType(streams, AVMEDIA_TYPE_AUDIO);
        ASSERT_EQ(video.size(), 1u);
        ASSERT_EQ(audio.size(), 1u);
        EXPECT_NEAR(video[0].Length(), 3.0, 0.05) << target;
        EXPECT_NEAR(audio[0].Length(), 3.0, 0.05) << target;
    }
}

TEST_F(RealWorldTest, AnOutputThatLostMostOfAStreamIsNoSuccess) {
    // The ffmpeg tool writes the picture alone and exits 0.
    const std::string out = Out("lost.avi");
    const auto result = Convert(
        {"-i", MediaFile("sound_damaged.mkv"), "-vcodec", "mpeg4", "-acodec", "libmp3lame", out});
    EXPECT_FALSE(result.Ok);
    EXPECT_NE(result.Error.find("Output file #0 stream #1 (Audio) lost most of its input"),
              std::string::npos)
        << result.Error;
    // The intact file converts; so does the damaged one without its sound.
    EXPECT_TRUE(Convert({"-i", MediaFile("sound_ok.mkv"), "-vcodec", "mpeg4", "-acodec",
                         "libmp3lame", Out("ok.avi")})
                    .Ok);
    EXPECT_TRUE(Convert({"-i", MediaFile("sound_damaged.mkv"), "-an", "-vcodec", "mpeg4",
                         Out("picture.avi")})
                    .Ok);
}

TEST_F(RealWorldTest, ATimestampJumpOfHoursIsNoLoss) {
    // 2 s of sound, its second half stamped 50000 s later. The ffmpeg tool writes the 2 s and
    // exits 0, with or without sound sync; the hole is not sound that went missing on the way.
    for (const bool sync : {false, true}) {
        std::vector<std::string> arguments = {"-i", MediaFile("sound_jump.mka")};
        if (sync)
            arguments.insert(arguments.end(), {"-async", "1"});
        const std::string out = Out(sync ? "synced.wav" : "plain.wav");
        arguments.push_back(out);
        const auto result = Convert(arguments);
        EXPECT_TRUE(result.Ok) << result.Error;
        EXPECT_NEAR(static_cast<double>(test::PcmSamples(out).size()) / 44100, 2.0, 0.05);
    }
}

// Found by fuzzing: the resampler kept the stream's first sound format, so mono frames after
// stereo ones were read as stereo (a crash) and a new rate played at the old one.
TEST_F(RealWorldTest, SoundThatChangesItsFormatMidStreamIsFollowed) {
    const std::string out = Out("switch.m4a");
    const auto result = Convert({"-i", MediaFile("switch_channels.mp2"), "-acodec", "aac", out});
    ASSERT_TRUE(result.Ok) << result.Error;
    const auto audio = StreamsOfType(DecodeStreams(out), AVMEDIA_TYPE_AUDIO);
    ASSERT_EQ(audio.size(), 1u);
    EXPECT_EQ(audio[0].Channels, 2) << "the first format's layout, as the ffmpeg tool keeps";
    EXPECT_EQ(audio[0].SampleRate, 44100) << "the engine's default rate";
    // Each second of the source stays a second, whatever its own rate was.
    EXPECT_NEAR(audio[0].Length(), 2.0, 0.06);
}

// ---- Sizes -------------------------------------------------------------------------------------

TEST_F(RealWorldTest, AnOddSourceSizeIsRoundedDownToEvenForSubsampledEncoders) {
    for (const char* encoder : {"libx264", "mpeg4"}) {
        const std::string out = Out(std::string("odd_") + encoder + ".mkv");
        const auto result = Convert({"-i", MediaFile("odd.mkv"), "-vcodec", encoder, out});
        ASSERT_TRUE(result.Ok) << encoder << ": " << result.Error;
        const auto video = StreamsOfType(DecodeStreams(out), AVMEDIA_TYPE_VIDEO);
        ASSERT_EQ(video.size(), 1u);
        EXPECT_EQ(video[0].Width, 160) << encoder;
        EXPECT_EQ(video[0].Height, 120) << encoder;
        EXPECT_EQ(video[0].Frames, 25) << encoder;
    }
}

} // namespace
} // namespace tovik
