// Conversions of inputs like the ones phones, cameras, the web and disc rips give: long
// keyframe intervals, packets without presentation times, display matrices, several sound
// tracks, surround sound, cover art, unknown or damaged streams. Outputs are decoded stream
// by stream and compared with what the ffmpeg tool makes of the same files.
#include "ConvertTestSupport.h"
#include "StreamFacts.h"

#include <cmath>
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

} // namespace
} // namespace tovik
