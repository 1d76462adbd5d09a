// Every output format converts with its default choices: the profile's defaults are written
// as the "Default" button writes them, the option builder turns them into option records, and
// the equivalent ffmpeg command converts a short clip. The output is then opened with the
// media kit and its streams, frame size and duration checked.
#include "ToolArguments.h"

#include "media/CodecLock.h"
#include "media/FFmpegPtr.h"
#include "media/LibraryBindings.h"
#include "media/UnicodeProtocol.h"
#include "platform/Environment.h"
#include "settings/IniFile.h"
#include "support/TestSupport.h"
#include "workspace/core/FormatTable.h"
#include "workspace/core/OutputName.h"
#include "workspace/core/ProfileChoices.h"
#include "workspace/core/TaskOptionsBuilder.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <mutex>

namespace tovik {
namespace {

constexpr int kSourceWidth = 320;
constexpr int kSourceHeight = 180;

struct TOpenedFacts {
    bool opened = false;
    int videoStreams = 0;
    int audioStreams = 0;
    int width = 0;
    int height = 0;
    double seconds = 0;
};

TOpenedFacts OpenOutput(const std::string& fileName) {
    TOpenedFacts facts;
    AVFormatContext* context = nullptr;
    if (OpenInputFormat(&context, NameForLibrary(fileName), nullptr, nullptr) < 0)
        return facts;
    int found = 0;
    {
        std::lock_guard lock(CodecLock());
        found = ff::avformat_find_stream_info(context, nullptr);
    }
    if (found >= 0) {
        facts.opened = true;
        for (unsigned index = 0; index < context->nb_streams; ++index) {
            const AVCodecParameters* codec = context->streams[index]->codecpar;
            if (codec->codec_type == AVMEDIA_TYPE_VIDEO) {
                if (facts.videoStreams++ == 0) {
                    facts.width = codec->width;
                    facts.height = codec->height;
                }
            } else if (codec->codec_type == AVMEDIA_TYPE_AUDIO) {
                ++facts.audioStreams;
            }
        }
        if (context->duration > 0)
            facts.seconds = static_cast<double>(context->duration) / AV_TIME_BASE;
    }
    CloseInputFormat(&context);
    return facts;
}

class FormatConversionTest : public ::testing::TestWithParam<int> {
protected:
    static void SetUpTestSuite() { test::LoadEngineLibrariesOrFail(); }
    void SetUp() override {
        savedHome_ = platform::GetEnv("HOME");
        platform::SetEnv("HOME", dir_.File("home"));
        settings_.WriteString("settings", "OutPutDir", dir_.File("out"));
        settings_.WriteInteger("settings", "FormatCode", GetParam());
    }
    void TearDown() override {
        if (savedHome_)
            platform::SetEnv("HOME", *savedHome_);
    }

    // Converts the clip with the format's default choices and the given zoom mode; checks
    // the output. An empty zoom takes the settings' "parazoom" as the conversion start does.
    void ConvertAndCheck(const std::string& zoom) {
        const TIniFile profile(profile_);
        ASSERT_TRUE(profile.ValueExists(FormatSection(GetParam()), "Format"));
        ApplyProfileDefaults(settings_, profile, GetParam());
        ConvertWithStoredChoices(zoom, "wide_1s.avi", 1.0);
    }

    void ConvertWithStoredChoices(const std::string& zoom, const std::string& clip,
                                  double seconds) {
        const int code = GetParam();
        const std::string section = FormatSection(code);
        const TIniFile profile(profile_);

        TJobGeometry job;
        job.ZoomMode = zoom.empty() ? settings_.ReadString(section, "parazoom", "lbox") : zoom;
        const std::string source = test::MediaFile(clip);
        const std::string suffix = "." + profile.ReadString(section, "FileExt", "mp4");
        TInputOptions input;
        input.FileName = source;
        TOutputOptions output;
        output.FileName = OutputFileName(settings_, source, suffix, [](const std::string& text) {
            ADD_FAILURE() << "unexpected warning: " << text;
        });
        const TSourceFacts facts{1, kSourceWidth, kSourceHeight, 0};
        TBuildContext context{settings_.FileName(), profile_, [](const std::string&) {
                                  ADD_FAILURE() << "the defaults must hold a valid frame size";
                                  return false;
                              }};
        BuildTaskOptions(job, code, output, facts, input, context);

        const auto arguments = test::ToolArguments(input, output, kSourceWidth, kSourceHeight);
        const std::string line = test::ShellLine(arguments);
        ASSERT_EQ(test::RunFfmpegTool(line), 0) << line;
        ASSERT_TRUE(std::filesystem::exists(output.FileName)) << line;

        const TOpenedFacts opened = OpenOutput(output.FileName);
        ASSERT_TRUE(opened.opened) << output.FileName;
        EXPECT_EQ(opened.audioStreams, 1) << line;
        EXPECT_NEAR(opened.seconds, seconds, 0.35) << line;
        const bool video = !profile.ReadString(section, "VideoEncoder", "null").empty() &&
                           profile.ReadString(section, "VideoEncoder", "null") != "null";
        if (!video) {
            EXPECT_EQ(opened.videoStreams, 0) << line;
            return;
        }
        ASSERT_EQ(opened.videoStreams, 1) << line;
        const std::string size = settings_.ReadString(section, "paraVideoSize", "");
        if (size == "as source") {
            EXPECT_EQ(opened.width, kSourceWidth);
            EXPECT_EQ(opened.height, kSourceHeight);
        } else {
            EXPECT_EQ(std::to_string(opened.width) + "x" + std::to_string(opened.height), size)
                << line;
        }
    }

    test::TTempDir dir_;
    std::optional<std::string> savedHome_;
    TIniFile settings_{dir_.File("tovikavimovconverter.ini")};
    std::string profile_ = std::string(TOVIK_DATA_DIR) + "/tovikavimovformat.ini";
};

TEST_P(FormatConversionTest, ConvertsWithDefaultChoices) {
    ConvertAndCheck("");
}

TEST_P(FormatConversionTest, ConvertsLetterBoxed) {
    ConvertAndCheck("lbox");
}

// Every item of the lists an encoder or container can refuse (encoders, sample rates,
// audio bit rates, channels, frame rates) converts when the other controls keep their
// defaults. TOVIK_EVERY_CHOICE=1 also tries every frame size, video bit rate and volume:
// slower, for changes of the profile file.
TEST_P(FormatConversionTest, EveryChoiceConverts) {
    const TIniFile profile(profile_);
    const int code = GetParam();
    const bool everything = platform::GetEnv("TOVIK_EVERY_CHOICE").value_or("") == "1";
    for (TChoiceControl control : kChoiceControls) {
        if (!everything &&
            (control == TChoiceControl::ccVideoSize || control == TChoiceControl::ccVideoBitRate ||
             control == TChoiceControl::ccVolume))
            continue;
        const int count = ChoiceCount(profile, code, control);
        const int defaultIndex =
            profile.ReadInteger(FormatSection(code), std::string("i") + ChoiceListKey(control), 0);
        for (int index = 0; index < count; ++index) {
            if (index == defaultIndex)
                continue;
            SCOPED_TRACE(std::string(ChoiceListKey(control)) + " item " + std::to_string(index));
            std::filesystem::remove(settings_.FileName());
            settings_.WriteString("settings", "OutPutDir", dir_.File("out"));
            ApplyProfileDefaults(settings_, profile, code);
            ASSERT_TRUE(ApplyChoice(settings_, profile, code, control, index));
            ConvertWithStoredChoices("", "wide_04s.avi", 0.4);
        }
    }
}

std::vector<int> AllCodes() {
    std::vector<int> codes;
    for (const TFormatRow& row : FormatRows())
        codes.push_back(row.Code);
    return codes;
}

INSTANTIATE_TEST_SUITE_P(AllFormats, FormatConversionTest, ::testing::ValuesIn(AllCodes()),
                         [](const ::testing::TestParamInfo<int>& param) {
                             return "Format" + std::to_string(param.param);
                         });

} // namespace
} // namespace tovik
