#include "workspace/run/RunTexts.h"

#include <gtest/gtest.h>

namespace tovik {
namespace {

TEST(RunTexts, PriorityFollowsTheSettingAndLeavesOtherValuesAlone) {
    EXPECT_EQ(PriorityOfSetting(0), TThreadPriority::tpIdle);
    EXPECT_EQ(PriorityOfSetting(1), TThreadPriority::tpNormal);
    EXPECT_EQ(PriorityOfSetting(2), TThreadPriority::tpLower);
    EXPECT_EQ(PriorityOfSetting(3), TThreadPriority::tpLowest);
    EXPECT_FALSE(PriorityOfSetting(4));
    EXPECT_FALSE(PriorityOfSetting(-1));
}

TEST(RunTexts, PercentIsIntegerDivisionHeldWithinTheBar) {
    EXPECT_EQ(ProgressPercent(0, 10'000'000), 0);
    EXPECT_EQ(ProgressPercent(1'999'999, 10'000'000), 19); // rounds down
    EXPECT_EQ(ProgressPercent(10'000'000, 10'000'000), 100);
    EXPECT_EQ(ProgressPercent(10'400'000, 10'000'000), 100); // output ran a little longer
    EXPECT_EQ(ProgressPercent(-5, 10'000'000), 0);
    // An unknown total gives no percentage instead of a division by zero.
    EXPECT_FALSE(ProgressPercent(5'000'000, 0));
    EXPECT_FALSE(ProgressPercent(5'000'000, -1));
    // Huge times do not overflow into a negative percentage.
    EXPECT_EQ(ProgressPercent(INT64_MAX / 2, INT64_MAX), 49);
}

TEST(RunTexts, ValueLabels) {
    EXPECT_EQ(SecondsLabel(12'999'999), "12 Second");
    EXPECT_EQ(SecondsLabel(0), "0 Second");
    EXPECT_EQ(SizeLabel(1'234'567), "1234 kb");
    EXPECT_EQ(SizeLabel(999), "0 kb");
    EXPECT_EQ(TaskNumberLabel(0, 3), "[1/3]");
    EXPECT_EQ(TaskNumberLabel(2, 3), "[3/3]");
}

TEST(RunTexts, FileLabelShortensLongCaptionsKeepingTheExtension) {
    const std::string fifty = "/v/" + std::string(43, 'a') + ".avi"; // 50 characters
    ASSERT_EQ(fifty.size(), 50u);
    EXPECT_EQ(FileLabel(fifty), fifty);
    const std::string longer = "/v/" + std::string(60, 'b') + ".mpeg";
    EXPECT_EQ(FileLabel(longer), longer.substr(0, 44) + "...mpeg");
    EXPECT_EQ(FileLabel(longer).size(), 44u + 2u + 5u);
    // No extension in the file name: a point in a folder name is not one.
    const std::string bare = "/my.videos/" + std::string(60, 'c');
    EXPECT_EQ(FileLabel(bare), bare.substr(0, 44) + "..");
}

TEST(RunTexts, FileLabelCountsCharactersNotBytes) {
    // 48 two-byte characters plus ".avi": 52 characters, 100 bytes.
    std::string wide;
    for (int i = 0; i < 48; ++i)
        wide += "\xC3\xA9"; // é
    const std::string caption = wide + ".avi";
    const std::string label = FileLabel(caption);
    EXPECT_EQ(label, wide.substr(0, 88) + "...avi");
    // 25 two-byte characters: 50 bytes but 29 characters, kept whole.
    const std::string shortWide = wide.substr(0, 50) + ".avi";
    EXPECT_EQ(FileLabel(shortWide), shortWide);
}

TEST(RunTexts, FrameHookOnlyForJobsThatChangeFrames) {
    TJobEffects plain;
    EXPECT_FALSE(NeedsFrameHook(plain));

    TJobEffects exposure;
    exposure.Exposure = 10;
    EXPECT_TRUE(NeedsFrameHook(exposure));
    TJobEffects brightness;
    brightness.Brightness = 300;
    EXPECT_TRUE(NeedsFrameHook(brightness));
    TJobEffects contrast;
    contrast.Contrast = -5;
    EXPECT_TRUE(NeedsFrameHook(contrast));
    TJobEffects saturation;
    saturation.Saturation = 0;
    EXPECT_TRUE(NeedsFrameHook(saturation));

    // A layer with neither text nor picture draws nothing.
    TJobEffects emptyLayer;
    emptyLayer.Overlays.push_back(std::make_shared<TWmRec>());
    EXPECT_FALSE(NeedsFrameHook(emptyLayer));
    // A text layer behind an empty one still needs the hook.
    TJobEffects second = emptyLayer;
    auto text = std::make_shared<TWmRec>();
    text->Text = "Hello";
    second.Overlays.push_back(text);
    EXPECT_TRUE(NeedsFrameHook(second));
    TJobEffects picture;
    auto layer = std::make_shared<TWmRec>();
    layer->Kind = TWmRec::kPicture;
    layer->PictureFile = "/tmp/logo.bmp";
    picture.Overlays.push_back(layer);
    EXPECT_TRUE(NeedsFrameHook(picture));
}

TEST(RunTexts, TimeLeftFollowsThePaceOfTheRunningTask) {
    using namespace std::chrono;
    TTimeLeftEstimate estimate;
    const auto t0 = TTimeLeftEstimate::TClock::time_point{} + hours(1);
    // Nothing known at the start of a task.
    EXPECT_FALSE(estimate.Update(0, 0, 60'000'000, t0));
    EXPECT_FALSE(estimate.Update(0, 500'000, 60'000'000, t0 + milliseconds(500)));
    // 10 s of output in 5 s of wall time: the other 50 s take 25 s.
    EXPECT_EQ(estimate.Update(0, 10'000'000, 60'000'000, t0 + seconds(5)), 25);
    EXPECT_EQ(estimate.Update(0, 60'000'000, 60'000'000, t0 + seconds(30)), 0);
    // The next task starts its own clock.
    EXPECT_FALSE(estimate.Update(1, 2'000'000, 20'000'000, t0 + seconds(31)));
    EXPECT_EQ(estimate.Update(1, 4'000'000, 20'000'000, t0 + seconds(33)), 8);
    // An unknown total gives no estimate.
    EXPECT_FALSE(estimate.Update(1, 8'000'000, 0, t0 + seconds(40)));
    EXPECT_EQ(TimeLeftLabel(std::nullopt), "");
    EXPECT_EQ(TimeLeftLabel(3725), "Time Left: 1:02:05");
}

} // namespace
} // namespace tovik
