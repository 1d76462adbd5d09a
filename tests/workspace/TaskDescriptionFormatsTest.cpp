// Every format of the program's profile, prepared as the run prepares a job with effects and
// layers, survives being written as a task description and read back.
#include "effects/TaskDescription.h"
#include "platform/Environment.h"
#include "settings/IniFile.h"
#include "support/TestSupport.h"
#include "workspace/core/FormatTable.h"
#include "workspace/core/TaskPreparation.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace tovik {
namespace {

class TaskDescriptionFormatsTest : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        savedHome_ = platform::GetEnv("HOME");
        platform::SetEnv("HOME", dir_.File("home"));
        std::filesystem::copy_file(std::string(TOVIK_DATA_DIR) + "/tovikavimovformat.ini",
                                   profileFile_);
        TIniFile(settingsFile_).WriteString("settings", "OutPutDir", dir_.Path());
    }
    void TearDown() override {
        if (savedHome_)
            platform::SetEnv("HOME", *savedHome_);
    }

    test::TTempDir dir_;
    std::optional<std::string> savedHome_;
    std::string settingsFile_ = dir_.File("tovikavimovconverter.ini");
    std::string profileFile_ = dir_.File("tovikavimovformat.ini");
};

TEST_P(TaskDescriptionFormatsTest, ThePreparedTaskWithEffectsAndLayersRoundTrips) {
    TlvFilesRecord job;
    job.SourceFile = dir_.File("holiday clip.avi");
    job.TrimStart = 1'500'000;
    job.TrimLength = 2'000'000;
    job.CropTop = 8;
    job.CropRight = 16;
    job.Effects.Brightness = 300;
    job.Effects.Exposure = 20;
    auto text = std::make_shared<TWmRec>();
    text->Text = "Holiday";
    text->TextLeft = 40;
    text->EndSecond = 5;
    auto picture = std::make_shared<TWmRec>();
    picture->Kind = TWmRec::kPicture;
    picture->PictureFile = dir_.File("logo.png");
    picture->PictureOpacity = 128;
    job.Effects.Overlays = {text, picture};

    TTaskDescription task;
    const TPreparedTask prepared = PrepareConversionTask(
        job, job.SourceFile, TSourceFacts{2, 1280, 720, 6'000'000},
        TBuildContext{settingsFile_, profileFile_, nullptr}, nullptr, GetParam());
    task.Input = prepared.Input;
    task.Output = prepared.Output;
    task.Effects = job.Effects;

    const std::string written = WriteTaskDescription(task);
    const TTaskDescription read = ReadTaskDescription(written);
    EXPECT_EQ(WriteTaskDescription(read), written);
    EXPECT_EQ(read.Input.FileName, prepared.Input.FileName);
    EXPECT_EQ(read.Input.OptionText, prepared.Input.OptionText);
    EXPECT_EQ(read.Output.FileName, prepared.Output.FileName);
    EXPECT_EQ(read.Output.VideoCodec, prepared.Output.VideoCodec);
    EXPECT_EQ(read.Output.AudioCodec, prepared.Output.AudioCodec);
    EXPECT_EQ(read.Output.FrameSize, prepared.Output.FrameSize);
    EXPECT_EQ(read.Output.Duration, prepared.Output.Duration);
    EXPECT_EQ(read.Output.OptionText, prepared.Output.OptionText);
    EXPECT_EQ(read.Output.Target, prepared.Output.Target);
    ASSERT_EQ(read.Effects.Overlays.size(), 2u);
    EXPECT_EQ(read.Effects.Overlays[1]->PictureFile, dir_.File("logo.png"));
}

std::vector<int> AllCodes() {
    std::vector<int> codes;
    for (const TFormatRow& row : FormatRows())
        codes.push_back(row.Code);
    return codes;
}

INSTANTIATE_TEST_SUITE_P(AllFormats, TaskDescriptionFormatsTest, ::testing::ValuesIn(AllCodes()),
                         [](const ::testing::TestParamInfo<int>& param) {
                             return "Format" + std::to_string(param.param);
                         });

} // namespace
} // namespace tovik
