#include "workspace/core/TaskPreparation.h"

#include "platform/Environment.h"
#include "settings/IniFile.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace tovik {
namespace {

class TaskPreparationTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedHome_ = platform::GetEnv("HOME");
        platform::SetEnv("HOME", dir_.File("home"));
    }
    void TearDown() override {
        if (savedHome_)
            platform::SetEnv("HOME", *savedHome_);
    }
    TPreparedTask Prepare(const TlvFilesRecord& job) {
        const TSourceFacts source{1, 1280, 720, 900000};
        TBuildContext context{settingsFile_, profileFile_, nullptr};
        return PrepareConversionTask(job, job.SourceFile, source, context,
                                     [this](const std::string&) { ++warnings_; });
    }

    test::TTempDir dir_;
    std::optional<std::string> savedHome_;
    std::string settingsFile_ = dir_.File("tovikavimovconverter.ini");
    std::string profileFile_ = dir_.File("tovikavimovformat.ini");
    int warnings_ = 0;
};

// With neither INI file the format code is 1: its section is empty, so the output has the
// extension "mp4" and takes the path without video.
TEST_F(TaskPreparationTest, NeitherFilePresent) {
    TlvFilesRecord job;
    job.SourceFile = "/v/clip.avi";
    const TPreparedTask task = Prepare(job);
    EXPECT_EQ(task.FormatCode, 1);
    EXPECT_EQ(task.Output.FileName, dir_.File("home") + "/videoconverter/clip_(new).mp4");
    EXPECT_EQ(warnings_, 0) << "no stored directory: the default one is created";
    EXPECT_TRUE(task.Output.DisableVideo);
    EXPECT_EQ(task.Input.OptionText, "vn=1");
    EXPECT_EQ(task.ZoomMode, "lbox");
}

TEST_F(TaskPreparationTest, FormatZoomCropAndTrim) {
    TIniFile settings(settingsFile_);
    settings.WriteString("settings", "OutPutDir", dir_.File("out"));
    settings.WriteString("settings", "FormatCode", "104");
    settings.WriteString("formatInfo104", "paraZoom", "full");
    settings.WriteString("formatInfo104", "paraVideoEncoder", "mpeg4");
    settings.WriteString("formatInfo104", "paraVideoSize", "640x480");
    settings.WriteString("formatInfo104", "paraVolume", "256");
    TIniFile(profileFile_).WriteString("formatInfo104", "FileExt", "avi");
    TIniFile(profileFile_).WriteString("formatInfo104", "Format", "avi");

    TlvFilesRecord job;
    job.SourceFile = "/v/clip.avi";
    job.TrimStart = 2'000'000;
    job.TrimLength = 5'000'000;
    job.ZoomMode = "pan"; // replaced by the stored zoom mode
    job.CropTop = 8;
    const TPreparedTask task = Prepare(job);
    EXPECT_EQ(warnings_, 0);
    EXPECT_EQ(task.FormatCode, 104);
    EXPECT_EQ(task.ZoomMode, "full");
    EXPECT_EQ(job.ZoomMode, "pan") << "the job is the caller's to change";
    EXPECT_EQ(task.Input.FileName, "/v/clip.avi");
    EXPECT_EQ(task.Input.StartTime, 2'000'000);
    EXPECT_EQ(task.Output.Duration, 5'000'000);
    EXPECT_EQ(task.Output.FileName, dir_.File("out") + "/clip_(new).avi");
    EXPECT_EQ(task.Output.FormatName, "avi");
    EXPECT_EQ(task.Output.CropTop, 8) << "full carries the job's crop";
    EXPECT_EQ(task.Output.CropBottom, 0);
    EXPECT_EQ(task.Output.FrameSize, "640x480");

    // A format code given by the caller wins over the stored one, which stays.
    TIniFile(profileFile_).WriteString("formatInfo200", "FileExt", "mp3");
    const TPreparedTask audio =
        PrepareConversionTask(job, job.SourceFile, TSourceFacts{1, 1280, 720, 0},
                              TBuildContext{settingsFile_, profileFile_, nullptr}, nullptr, 200);
    EXPECT_EQ(audio.FormatCode, 200);
    EXPECT_EQ(audio.Output.FileName, dir_.File("out") + "/clip_(new).mp3");
    EXPECT_TRUE(audio.Output.DisableVideo);
    EXPECT_EQ(audio.ZoomMode, "lbox") << "the zoom of format 200";
    EXPECT_EQ(settings.ReadInteger("settings", "FormatCode", 0), 104);

    // No trim length: the output runs to the end of the source.
    job.TrimLength = 0;
    EXPECT_EQ(Prepare(job).Output.Duration, kUnsetTime);
    // A negative trim start leaves the start unset.
    job.TrimStart = -1;
    EXPECT_EQ(Prepare(job).Input.StartTime, kUnsetTime);
}

} // namespace
} // namespace tovik
