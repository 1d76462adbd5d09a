#include "engine/AudioConverter.h"

#include "support/TestSupport.h"

#include <cmath>
#include <gtest/gtest.h>

namespace tovik {
namespace {

class AudioConverterTest : public ::testing::Test {
protected:
    void SetUp() override { test::LoadEngineLibrariesOrFail(); }

    static TAudioFormat Format(AVSampleFormat format, int channels, int rate) {
        TAudioFormat result;
        result.Format = format;
        ff::av_channel_layout_default(&result.Layout, channels);
        result.SampleRate = rate;
        return result;
    }

    // A frame of a 1 kHz tone at half scale, stereo s16.
    static TFramePtr ToneS16(int samples, int rate) {
        TFramePtr frame = MakeFrame();
        frame->format = AV_SAMPLE_FMT_S16;
        frame->sample_rate = rate;
        frame->nb_samples = samples;
        ff::av_channel_layout_default(&frame->ch_layout, 2);
        EXPECT_GE(ff::av_frame_get_buffer(frame.get(), 0), 0);
        auto* data = reinterpret_cast<int16_t*>(frame->data[0]);
        for (int i = 0; i < samples; ++i)
            data[2 * i] = data[2 * i + 1] =
                static_cast<int16_t>(16384 * std::sin(2 * M_PI * 1000.0 * i / rate));
        return frame;
    }
};

TEST_F(AudioConverterTest, ResamplesAndCutsIntoEncoderFrames) {
    TAudioConverter converter;
    std::string error;
    ASSERT_TRUE(converter.Open(Format(AV_SAMPLE_FMT_S16, 2, 44100),
                               Format(AV_SAMPLE_FMT_FLTP, 1, 48000), error))
        << error;
    int pushed = 0;
    for (int i = 0; i < 10; ++i) {
        TFramePtr tone = ToneS16(4410, 44100);
        ASSERT_GE(converter.Push(tone.get()), 0);
        pushed += 4410;
    }
    ASSERT_GE(converter.Push(nullptr), 0);
    // One second in, one second out (within the filter's edge).
    EXPECT_NEAR(converter.FifoSamples(), 48000, 64);
    TFramePtr frame = MakeFrame();
    int frames = 0;
    int last = 0;
    while ((last = converter.Pop(frame.get(), 1024, true)) > 0) {
        ++frames;
        EXPECT_EQ(frame->nb_samples, 1024) << "the tail is padded to a whole frame";
        EXPECT_EQ(frame->format, AV_SAMPLE_FMT_FLTP);
        EXPECT_EQ(frame->ch_layout.nb_channels, 1);
    }
    EXPECT_EQ(frames, (48000 + 1023) / 1024);
}

TEST_F(AudioConverterTest, DroppingInputAndAddingSilenceChangeTheCount) {
    TAudioConverter converter;
    std::string error;
    ASSERT_TRUE(converter.Open(Format(AV_SAMPLE_FMT_S16, 2, 44100),
                               Format(AV_SAMPLE_FMT_S16, 2, 44100), error))
        << error;
    TFramePtr tone = ToneS16(1000, 44100);
    ASSERT_GE(converter.Push(tone.get(), 400), 0);
    ASSERT_GE(converter.Push(nullptr), 0);
    EXPECT_NEAR(converter.FifoSamples(), 600, 2);
    const int before = converter.FifoSamples();
    ASSERT_EQ(converter.AddSilence(250), 250);
    EXPECT_EQ(converter.FifoSamples(), before + 250);
    TFramePtr all = MakeFrame();
    ASSERT_EQ(converter.Pop(all.get(), 10000, false), before + 250);
    const auto* data = reinterpret_cast<const int16_t*>(all->data[0]);
    EXPECT_EQ(data[2 * (before + 100)], 0) << "the added samples are silent";
    TFramePtr everything = ToneS16(100, 44100);
    EXPECT_EQ(converter.Push(everything.get(), 100), 0) << "dropping a whole frame leaves nothing";
}

TEST_F(AudioConverterTest, CompensationStretchesTheOutput) {
    TAudioConverter converter;
    std::string error;
    ASSERT_TRUE(converter.Open(Format(AV_SAMPLE_FMT_S16, 2, 44100),
                               Format(AV_SAMPLE_FMT_S16, 2, 44100), error))
        << error;
    ASSERT_GE(converter.Compensate(441, 44100), 0);
    for (int i = 0; i < 10; ++i) {
        TFramePtr tone = ToneS16(4410, 44100);
        ASSERT_GE(converter.Push(tone.get()), 0);
    }
    ASSERT_GE(converter.Push(nullptr), 0);
    EXPECT_NEAR(converter.FifoSamples(), 44100 + 441, 40);
}

TEST_F(AudioConverterTest, VolumeScalesIntegerSamplesWithRoundingAndClipping) {
    TFramePtr frame = ToneS16(4, 44100);
    auto* data = reinterpret_cast<int16_t*>(frame->data[0]);
    const int16_t values[] = {1000, -1000, 20000, -20000, 3, -3, 0, 32767};
    std::copy(std::begin(values), std::end(values), data);
    ApplyVolume(*frame, 512);
    EXPECT_EQ(data[0], 2000);
    EXPECT_EQ(data[1], -2000);
    EXPECT_EQ(data[2], 32767) << "clipped";
    EXPECT_EQ(data[3], -32768) << "clipped";
    ApplyVolume(*frame, 128);
    EXPECT_EQ(data[0], 1000);
    EXPECT_EQ(data[4], 3); // (6 * 128 + 128) >> 8
    EXPECT_EQ(data[5], -3);

    TFramePtr floats = MakeFrame();
    floats->format = AV_SAMPLE_FMT_FLTP;
    floats->nb_samples = 2;
    floats->sample_rate = 48000;
    ff::av_channel_layout_default(&floats->ch_layout, 2);
    ASSERT_GE(ff::av_frame_get_buffer(floats.get(), 0), 0);
    auto* left = reinterpret_cast<float*>(floats->data[0]);
    auto* right = reinterpret_cast<float*>(floats->data[1]);
    left[0] = 0.25f;
    left[1] = 0.75f;
    right[0] = -0.5f;
    right[1] = -0.75f;
    ApplyVolume(*floats, 512);
    EXPECT_FLOAT_EQ(left[0], 0.5f);
    EXPECT_FLOAT_EQ(left[1], 1.0f);
    EXPECT_FLOAT_EQ(right[0], -1.0f);
    EXPECT_FLOAT_EQ(right[1], -1.0f);
}

TEST_F(AudioConverterTest, AnImpossibleConversionIsRefusedWithTheChannelText) {
    TAudioConverter converter;
    std::string error;
    TAudioFormat bad = Format(AV_SAMPLE_FMT_S16, 2, 0);
    EXPECT_FALSE(converter.Open(bad, Format(AV_SAMPLE_FMT_S16, 2, 44100), error));
    EXPECT_EQ(error, "Can not resample 2 channels @ 0 Hz to 2 channels @ 44100 Hz");
    EXPECT_FALSE(converter.IsOpen());
}

} // namespace
} // namespace tovik
