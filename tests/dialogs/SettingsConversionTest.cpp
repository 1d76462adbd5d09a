// Every item of every choice list of every format, chosen in the settings dialog with the
// other boxes at their defaults and stored with OK, converts a short clip with the real
// engine; the probe checks frame size, frame rate, encoders, sample rate and channels of each
// output as chosen.
#include "AppTestSupport.h"

#include "dialogs/settings/SettingsDialog.h"
#include "engine/MediaConverter.h"
#include "media/MediaLogger.h"
#include "media/MediaProbe.h"
#include "media/TextFormat.h"
#include "platform/Dispatcher.h"
#include "settings/IniFile.h"
#include "settings/NumberText.h"
#include "workspace/core/FormatTable.h"
#include "workspace/core/TaskPreparation.h"

#include <QComboBox>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <map>
#include <mutex>

namespace tovik::test {
namespace {

namespace fs = std::filesystem;

constexpr int kSourceWidth = 320;
constexpr int kSourceHeight = 180;

// The start of the codec name the probe shows (the decoder's, "mp3float" for MP3) for a
// stored encoder name; empty: any (the container's own).
std::string ExpectedCodec(const std::string& stored) {
    static const std::map<std::string, std::string> kNames = {{"libxvid", "mpeg4"},
                                                              {"libx264", "h264"},
                                                              {"msmpeg4", "msmpeg4"},
                                                              {"libmp3lame", "mp3"},
                                                              {"libfaac", "aac"},
                                                              {"vorbis", "vorbis"},
                                                              {"mov", ""}};
    const auto found = kNames.find(stored);
    return found == kNames.end() ? stored : found->second;
}

std::string FirstWord(const std::string& text) {
    return TrimText(text.substr(0, text.find_first_of(" (")));
}

struct TExpected {
    std::string Label;
    std::string Output;
    bool Video = false;
    std::string Size;
    std::string FrameRate;
    std::string VideoCodec;
    std::string AudioCodec;
    std::string SampleRate;
    std::string Channels;
    int Volume = 0;
    int ExpectedVolume = 0;
};

class SettingsConversionTest : public TAppTest, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override {
        TAppTest::SetUp();
        LoadEngineLibrariesOrFail();
        fs::copy_file(fs::path(TOVIK_DATA_DIR) / "tovikavimovformat.ini", ProfileFile());
        LoggerInstance().SetTriggerEventInMainThread(false);
    }
    void TearDown() override {
        LoggerInstance().SetTriggerEventInMainThread(true);
        TAppTest::TearDown();
    }
    std::string ProfileFile() const {
        return (temp_.Path() / "config" / "tovikavimovformat.ini").string();
    }
};

TEST_P(SettingsConversionTest, EveryChoiceChosenInTheDialogConverts) {
    const int code = GetParam();
    const TIniFile profile(ProfileFile());
    const std::string section = FormatSection(code);
    const std::string source = MediaFile("wide_04s.avi");
    TfrmSettings dialog(nullptr, SettingsFile(), ProfileFile(),
                        [](const QString& caption, const QString& text) {
                            ADD_FAILURE() << caption.toStdString() << ": " << text.toStdString();
                        });
    TMediaConverter converter;
    converter.SetTriggerEventInMainThread(false);
    std::mutex mutex;
    std::vector<TTerminateInfo> reports; // guarded by mutex
    converter.OnTerminate = [&](TObject*, const TTerminateInfo& info) {
        std::lock_guard lock(mutex);
        reports.push_back(info);
    };

    std::map<int, TExpected> expectedOfTask;
    for (TChoiceControl control : kChoiceControls) {
        const int count = ChoiceCount(profile, code, control);
        for (int index = 0; index < count; ++index) {
            TExpected expected;
            expected.Label = std::string(ChoiceListKey(control)) + " item " + std::to_string(index);
            SCOPED_TRACE(expected.Label);
            fs::remove(SettingsFile());
            TIniFile settings(SettingsFile());
            const fs::path out = temp_.Path() / "out" / expected.Label;
            fs::create_directories(out);
            settings.WriteString("settings", "OutPutDir", out.string());
            settings.WriteString("settings", "FormatCode", std::to_string(code));
            settings.WriteString("settings", "FormatName", FindFormatRow(code)->Text);

            dialog.Prepare();
            dialog.DefaultClick();
            dialog.Box(control)->setCurrentIndex(index);
            dialog.OkClick();
            ASSERT_EQ(dialog.result(), QDialog::Accepted);

            TlvFilesRecord job;
            job.SourceFile = source;
            TBuildContext context{SettingsFile(), ProfileFile(), [](const std::string& question) {
                                      ADD_FAILURE() << question;
                                      return false;
                                  }};
            const TPreparedTask task = PrepareConversionTask(
                job, source, TSourceFacts{1, kSourceWidth, kSourceHeight, 0}, context,
                [](const std::string& text) { ADD_FAILURE() << text; });
            expected.Output = task.Output.FileName;
            expected.Video = !task.Output.DisableVideo;
            expected.Size = settings.ReadString(section, "paraVideoSize", "");
            expected.FrameRate = settings.ReadString(section, "paraFrameRate", "");
            expected.VideoCodec =
                ExpectedCodec(settings.ReadString(section, "paraVideoEncoder", ""));
            expected.AudioCodec =
                ExpectedCodec(settings.ReadString(section, "paraAudioEncoder", ""));
            expected.SampleRate = settings.ReadString(section, "paraSampleRate", "");
            expected.Channels = settings.ReadString(section, "paraChannel", "");
            expected.Volume = task.Output.Volume;
            const std::string volume = settings.ReadString(section, "paraVolume", "256");
            expected.ExpectedVolume =
                volume == "256" ? TOutputOptions().Volume : ParseInteger(volume).value_or(-7);

            const int taskIndex = converter.AddTask(source, &task.Input);
            ASSERT_GE(taskIndex, 0) << converter.LastError();
            ASSERT_TRUE(converter.SetOutputFile(taskIndex, task.Output.FileName, &task.Output))
                << converter.LastError();
            expectedOfTask[taskIndex] = expected;
        }
    }
    ASSERT_FALSE(expectedOfTask.empty());

    converter.StartTask(1);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(280);
    for (;;) {
        {
            std::lock_guard lock(mutex);
            if (!reports.empty() && reports.back().TaskIndex < 0)
                break;
        }
        ASSERT_LT(std::chrono::steady_clock::now(), end) << "the run did not end";
        TDispatcher::Instance().WaitAndCheckSynchronize(std::chrono::milliseconds(20));
    }

    std::lock_guard lock(mutex);
    for (const TTerminateInfo& report : reports) {
        if (report.TaskIndex < 0)
            continue;
        const TExpected& expected = expectedOfTask[report.TaskIndex];
        SCOPED_TRACE(expected.Label + " -> " + expected.Output);
        EXPECT_FALSE(report.Failed) << report.ErrorMessage;
        if (report.Failed)
            continue;
        EXPECT_TRUE(report.Finished);
        TMediaProbe probe;
        ASSERT_TRUE(probe.LoadFile(expected.Output)) << probe.LastErrMsg();
        EXPECT_EQ(expected.Volume, expected.ExpectedVolume);
        ASSERT_EQ(probe.AudioStreamCount(), 1);
        const TAudioStreamInfo audio = probe.GetAudioStreamInfo(-1);
        if (!expected.AudioCodec.empty()) {
            EXPECT_EQ(FirstWord(audio.CodecName).rfind(expected.AudioCodec, 0), 0u)
                << audio.CodecName << " is not " << expected.AudioCodec;
        }
        if (expected.SampleRate != "as source") {
            EXPECT_EQ(std::to_string(audio.SampleRate), expected.SampleRate);
        }
        EXPECT_EQ(audio.Channels, expected.Channels == "1" ? 1 : 2);
        if (!expected.Video) {
            EXPECT_EQ(probe.VideoStreamCount(), 0);
            continue;
        }
        ASSERT_EQ(probe.VideoStreamCount(), 1);
        const TVideoStreamInfo video = probe.GetVideoStreamInfo(-1);
        if (!expected.VideoCodec.empty()) {
            EXPECT_EQ(FirstWord(video.CodecName).rfind(expected.VideoCodec, 0), 0u)
                << video.CodecName << " is not " << expected.VideoCodec;
        }
        const std::string size = std::to_string(video.Width) + "x" + std::to_string(video.Height);
        EXPECT_EQ(size, expected.Size == "as source" ? "320x180" : expected.Size);
        if (const auto rate = ParseNumber(expected.FrameRate); rate && video.FrameRateDen > 0) {
            EXPECT_NEAR(static_cast<double>(video.FrameRateNum) / video.FrameRateDen, *rate, 0.02);
        }
    }
}

std::vector<int> AllCodes() {
    std::vector<int> codes;
    for (const TFormatRow& row : FormatRows())
        codes.push_back(row.Code);
    return codes;
}

INSTANTIATE_TEST_SUITE_P(AllFormats, SettingsConversionTest, ::testing::ValuesIn(AllCodes()),
                         [](const ::testing::TestParamInfo<int>& param) {
                             return "Format" + std::to_string(param.param);
                         });

} // namespace
} // namespace tovik::test
