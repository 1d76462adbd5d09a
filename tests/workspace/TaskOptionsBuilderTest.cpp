#include "workspace/core/TaskOptionsBuilder.h"

#include "settings/IniFile.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <map>
#include <stdexcept>

namespace tovik {
namespace {

constexpr int kCode = 104;
const char* const kSection = "formatInfo104";

class BuilderTest : public ::testing::Test {
protected:
    void Set(const std::string& key, const std::string& value) {
        TIniFile(settings_).WriteString(kSection, key, value);
    }
    void SetFormat(const std::string& format) {
        TIniFile(profile_).WriteString(kSection, "Format", format);
    }
    // A video format with everything the builder reads for video set to neutral values.
    void SetVideo(const std::string& size, const std::string& encoder = "mpeg4") {
        Set("paraVideoEncoder", encoder);
        Set("paraVideoSize", size);
        Set("paraVolume", "256");
    }
    void Build(const TJobGeometry& job, int width, int height) {
        TSourceFacts source;
        source.VideoStreamCount = 1;
        source.Width = width;
        source.Height = height;
        source.VideoBitRate = 1234567;
        Build(job, source);
    }
    void Build(const TJobGeometry& job, const TSourceFacts& source) {
        out_.Reset();
        in_.Reset();
        out_.FileName = "/out/x.avi";
        // As the conversion start does: the job's crop goes into the record first.
        if (job.HasCrop()) {
            out_.CropTop = job.CropTop;
            out_.CropBottom = job.CropBottom;
            out_.CropLeft = job.CropLeft;
            out_.CropRight = job.CropRight;
        }
        questions_ = 0;
        TBuildContext context{settings_, profile_, [this](const std::string& question) {
                                  ++questions_;
                                  EXPECT_EQ(question, kFrameSizeQuestion);
                                  return answer_;
                              }};
        BuildTaskOptions(job, kCode, out_, source, in_, context);
    }
    static TJobGeometry Zoom(const std::string& mode) {
        TJobGeometry job;
        job.ZoomMode = mode;
        return job;
    }

    test::TTempDir dir_;
    std::string settings_ = dir_.File("tovikavimovconverter.ini");
    std::string profile_ = dir_.File("tovikavimovformat.ini");
    TOutputOptions out_;
    TInputOptions in_;
    int questions_ = 0;
    bool answer_ = true;
};

TEST_F(BuilderTest, LetterBoxFitsThePictureWithBars) {
    SetVideo("320x240");
    Build(Zoom("lbox"), 1280, 720);
    EXPECT_EQ(out_.FrameSize, "320x180");
    EXPECT_EQ(out_.AspectRatio, "320:180");
    EXPECT_EQ(out_.VideoFilters, "pad=320:240:0:30");
    EXPECT_EQ(out_.CropTop, 0) << "unset crops become 0";

    SetVideo("720x400");
    Build(Zoom("lbox"), 640, 480);
    EXPECT_EQ(out_.FrameSize, "532x400");
    EXPECT_EQ(out_.VideoFilters, "pad=720:400:94:0");

    SetVideo("320x240");
    Build(Zoom("lbox"), 640, 480);
    EXPECT_EQ(out_.FrameSize, "320x240");
    EXPECT_EQ(out_.VideoFilters, "pad=320:240:0:0");

    // Same size as the source: no bars at all.
    SetVideo("640x360");
    Build(Zoom("lbox"), 640, 360);
    EXPECT_EQ(out_.VideoFilters, "pad=640:360:0:0");
}

TEST_F(BuilderTest, LetterBoxWithCropDoesItsOwnCroppingOnce) {
    SetVideo("320x240");
    TJobGeometry job = Zoom("lbox");
    job.CropLeft = 10;
    job.CropRight = 20;
    job.CropTop = 4;
    job.CropBottom = 6;
    Build(job, 1280, 720);
    EXPECT_EQ(out_.FrameSize, "") << "the chain scales";
    EXPECT_EQ(out_.VideoFilters, "crop=1250:710:10:4,scale=320:180,pad=320:240:0:30");
    // The engine's crop bands would crop a second time before the chain.
    EXPECT_EQ(out_.CropLeft, 0);
    EXPECT_EQ(out_.CropRight, 0);
    EXPECT_EQ(out_.CropTop, 0);
    EXPECT_EQ(out_.CropBottom, 0);
}

TEST_F(BuilderTest, FullStretchesAndCarriesTheJobCrop) {
    SetVideo("320x240");
    TJobGeometry job = Zoom("full");
    job.CropTop = 8;
    job.CropRight = 2;
    Build(job, 1280, 720);
    EXPECT_EQ(out_.FrameSize, "320x240");
    // The frame is filled; the display aspect stays the visible part's, 1278:712.
    EXPECT_EQ(out_.AspectRatio, "639:356");
    EXPECT_EQ(out_.VideoFilters, "");
    EXPECT_EQ(out_.CropTop, 8);
    EXPECT_EQ(out_.CropRight, 2);
    EXPECT_EQ(out_.CropLeft, 0);
}

TEST_F(BuilderTest, FullKeepsTheSourcesDisplayAspectThroughThePixelShape) {
    SetVideo("640x480");
    // Square-pixel 16:9 into a 4:3 frame: shown 16:9, not squeezed.
    Build(Zoom("full"), 320, 180);
    EXPECT_EQ(out_.FrameSize, "640x480");
    EXPECT_EQ(out_.AspectRatio, "16:9");
    // Anamorphic PAL 16:9 (720x576 with wide pixels).
    TSourceFacts wide;
    wide.VideoStreamCount = 1;
    wide.Width = 720;
    wide.Height = 576;
    wide.DisplayAspect = 16.0 / 9.0;
    Build(Zoom("full"), wide);
    EXPECT_EQ(out_.AspectRatio, "1.7778");
    // A crop of the wide source keeps its pixels' shape: 360 of 720 columns are 8:9.
    TJobGeometry job = Zoom("full");
    job.CropLeft = 180;
    job.CropRight = 180;
    out_.CropLeft = out_.CropRight = 180;
    Build(job, wide);
    EXPECT_EQ(out_.AspectRatio, "0.8889");
}

TEST_F(BuilderTest, ProbedFactsAreThoseOfTheUprightPicture) {
    TVideoStreamInfo video;
    video.Width = 1920;
    video.Height = 1080;
    video.BitRate = 5000000;
    video.DisplayAspectRatio = 16.0f / 9.0f;
    video.Rotation = 90;
    TSourceFacts facts = SourceFactsOf(1, video);
    EXPECT_EQ(facts.Width, 1080);
    EXPECT_EQ(facts.Height, 1920);
    EXPECT_NEAR(facts.DisplayAspect, 9.0 / 16.0, 1e-6);
    EXPECT_EQ(facts.VideoBitRate, 5000000);
    video.Rotation = 180;
    facts = SourceFactsOf(1, video);
    EXPECT_EQ(facts.Width, 1920);
    EXPECT_NEAR(facts.DisplayAspect, 16.0 / 9.0, 1e-6);
    video.BitRate = -1;
    EXPECT_EQ(SourceFactsOf(1, video).VideoBitRate, 0);
    EXPECT_EQ(SourceFactsOf(0, video).Width, 0);
}

TEST_F(BuilderTest, PanAndScanCropsToFourThree) {
    SetVideo("320x240");
    Build(Zoom("pan"), 1280, 720);
    EXPECT_EQ(out_.CropLeft, 284);
    EXPECT_EQ(out_.CropRight, 284);
    EXPECT_EQ(out_.CropTop, 0);
    EXPECT_EQ(out_.FrameSize, "320x240");
    EXPECT_EQ(out_.AspectRatio, "320:240");
    EXPECT_EQ(out_.VideoFilters, "");

    // A narrow source loses rows: |(480/240 - 4/3) * 480| is 319.99.. in extended precision,
    // truncated to 319, halved to 159 and made even.
    Build(Zoom("pan"), 240, 480);
    EXPECT_EQ(out_.CropLeft, 0);
    EXPECT_EQ(out_.CropTop, 158);
    EXPECT_EQ(out_.CropBottom, 158);
    // Exactly 4:3: nothing is cut.
    Build(Zoom("pan"), 640, 480);
    EXPECT_EQ(out_.CropLeft, 0);
    EXPECT_EQ(out_.CropTop, 0);
}

TEST_F(BuilderTest, PanAndScanAddsTheJobCrop) {
    SetVideo("320x240");
    TJobGeometry job = Zoom("pan");
    job.CropLeft = 10;
    job.CropRight = 10;
    Build(job, 1280, 720);
    // w' = 1260: (1260/720 - 4/3) * 1260 = 525 -> 262 + 10 = 272.
    EXPECT_EQ(out_.CropLeft, 272);
    EXPECT_EQ(out_.CropRight, 272);
}

TEST_F(BuilderTest, PanWithCropsThatLeaveNoPictureDoesNotDivideByZero) {
    SetVideo("320x240");
    TJobGeometry job = Zoom("pan");
    job.CropTop = 360;
    job.CropBottom = 360;
    Build(job, 1280, 720);
    EXPECT_EQ(out_.FrameSize, "320x240");
    EXPECT_EQ(out_.CropLeft, 0);
}

TEST_F(BuilderTest, CenterPadsToTheTargetShapeThenScales) {
    SetVideo("320x240");
    Build(Zoom("center"), 1280, 720);
    EXPECT_EQ(out_.AspectRatio, "320:240");
    EXPECT_EQ(out_.FrameSize, "");
    // 30 target rows are 120 source rows: 1280x960 is 4:3.
    EXPECT_EQ(out_.VideoFilters, "pad=1280:960:0:120:black,scale=320:240");

    Build(Zoom("center"), 640, 480);
    EXPECT_EQ(out_.VideoFilters, "pad=640:480:0:0:black,scale=320:240");

    SetVideo("720x400");
    Build(Zoom("center"), 640, 480);
    // 94 target columns at 1.2 source pixels each: 112 (even).
    EXPECT_EQ(out_.VideoFilters, "pad=864:480:112:0:black,scale=720:400");
}

TEST_F(BuilderTest, UnknownZoomSetsNoSize) {
    SetVideo("320x240");
    Build(Zoom("Full"), 1280, 720); // exact comparison
    EXPECT_EQ(out_.FrameSize, "");
    EXPECT_EQ(out_.VideoFilters, "");
    EXPECT_EQ(out_.CropLeft, 0);
}

TEST_F(BuilderTest, H263SizesSnapToTheStandardOnes) {
    SetVideo("320x240", "h263");
    Build(Zoom("full"), 640, 480);
    EXPECT_EQ(out_.VideoCodec, "h263");
    EXPECT_EQ(out_.FrameSize, "352x288");
    SetVideo("176x144", "h263");
    Build(Zoom("full"), 640, 480);
    EXPECT_EQ(out_.FrameSize, "176x144");
    SetVideo("100x80", "h263");
    Build(Zoom("full"), 640, 480);
    EXPECT_EQ(out_.FrameSize, "100x80");
    SetVideo("640x480", "h263");
    Build(Zoom("full"), 640, 480);
    EXPECT_EQ(out_.FrameSize, "704x576");
    // Only "h263": "h263p" takes any size.
    SetVideo("320x240", "h263p");
    Build(Zoom("full"), 640, 480);
    EXPECT_EQ(out_.FrameSize, "320x240");
}

TEST_F(BuilderTest, MalformedSizesFallBackToTheSource) {
    SetVideo("abcx480");
    Build(Zoom("full"), 640, 360);
    EXPECT_EQ(out_.FrameSize, "640x480");
    EXPECT_EQ(questions_, 0);
    SetVideo("320xabc");
    Build(Zoom("full"), 640, 360);
    EXPECT_EQ(out_.FrameSize, "320x360");
    // A zero or negative part is no size: the source's is kept, nothing divides by zero.
    SetVideo("0x240");
    Build(Zoom("full"), 640, 360);
    EXPECT_EQ(out_.FrameSize, "640x240");
    SetVideo("-320x-240");
    Build(Zoom("lbox"), 640, 360);
    EXPECT_EQ(out_.FrameSize, "640x360");
    EXPECT_EQ(out_.VideoFilters, "pad=640:360:0:0");
}

TEST_F(BuilderTest, MissingOrBrokenSizeAsksOnce) {
    Set("paraVideoEncoder", "mpeg4");
    Set("paraVolume", "256");
    answer_ = false;
    Build(Zoom("full"), 640, 360);
    EXPECT_EQ(questions_, 1);
    EXPECT_EQ(out_.FrameSize, "640x360") << "No keeps the source size";
    answer_ = true;
    Build(Zoom("full"), 640, 360);
    EXPECT_EQ(questions_, 1);
    EXPECT_EQ(out_.FrameSize, "320x240");
    for (const char* broken : {"x240", "320x", "320", ""}) {
        SetVideo(broken);
        answer_ = false;
        Build(Zoom("full"), 640, 360);
        EXPECT_EQ(questions_, 1) << broken;
        EXPECT_EQ(out_.FrameSize, "640x360") << broken;
    }
    SetVideo("as source");
    Build(Zoom("full"), 640, 360);
    EXPECT_EQ(questions_, 0);
    EXPECT_EQ(out_.FrameSize, "640x360");
}

TEST_F(BuilderTest, VideoCodecsAndPresets) {
    SetVideo("320x240", "mov");
    Set("paraVideoBitRate", "768");
    Set("paraFrameRate", "25");
    Build(Zoom("full"), 640, 480);
    EXPECT_EQ(out_.VideoCodec, "") << "the container's default codec";
    EXPECT_EQ(out_.VideoBitRate, 768000);
    EXPECT_EQ(out_.FrameRate, "25");
    EXPECT_EQ(out_.FrameSize, "320x240");

    SetVideo("320x240", "mpeg2video");
    Build(Zoom("full"), 640, 480);
    EXPECT_EQ(out_.VideoCodec, "mpeg2video");
    EXPECT_EQ(out_.Target, 3);

    SetVideo("320x240", "MPEG4");
    Build(Zoom("full"), 640, 480);
    EXPECT_EQ(out_.VideoCodec, "") << "names compare case-sensitively";

    SetVideo("320x240", "libx264");
    for (auto [format, preset] : {std::pair{"PSP", "libx264-psp"},
                                  {"ipod", "libx264-ipod"},
                                  {"ps3", "libx264-ps3"},
                                  {"mp4", "libx264-mp4"}}) {
        SetFormat(format);
        Build(Zoom("full"), 640, 480);
        EXPECT_EQ(out_.VideoCodec, "libx264");
        EXPECT_EQ(out_.VideoPreset, preset) << format;
    }
}

TEST_F(BuilderTest, ContainerNamesAreKeptAsWritten) {
    SetVideo("320x240");
    SetFormat("AVI");
    Build(Zoom("full"), 640, 480);
    EXPECT_EQ(out_.FormatName, "AVI");
    SetFormat("mp4");
    Build(Zoom("full"), 640, 480);
    EXPECT_EQ(out_.FormatName, "") << "chosen by the extension";
}

TEST_F(BuilderTest, Targets) {
    SetVideo("720x576");
    SetFormat("PAL-SVCD");
    Build(Zoom("none"), 640, 480);
    EXPECT_EQ(out_.Target, 2);
    EXPECT_EQ(out_.TargetNorm, 1);
    EXPECT_EQ(out_.AspectRatio, "4:3");

    SetFormat("pal-dvd");
    Build(Zoom("none"), 640, 480);
    EXPECT_EQ(out_.Target, 3);
    EXPECT_EQ(out_.AspectRatio, "16:9");
    Build(Zoom("full"), 640, 480);
    EXPECT_EQ(out_.AspectRatio, "4:3") << "the source's shape, as a DVD can tell it";
    Build(Zoom("full"), 1280, 720);
    EXPECT_EQ(out_.AspectRatio, "16:9");
    Build(Zoom("lbox"), 1280, 720);
    EXPECT_EQ(out_.AspectRatio, "16:9") << "never 5:4";
    Build(Zoom("pan"), 640, 480);
    EXPECT_EQ(out_.AspectRatio, "4:3") << "720:576 is nearer 4:3";

    SetFormat("ntsc-dvd");
    Build(Zoom("none"), 640, 480);
    EXPECT_EQ(out_.TargetNorm, 2);
    EXPECT_EQ(out_.AspectRatio, "4:3");

    SetFormat("ntsc-vcd");
    Build(Zoom("none"), 640, 480);
    EXPECT_EQ(out_.Target, 1);
    EXPECT_EQ(out_.TargetNorm, 2);

    SetFormat("dvd");
    Build(Zoom("none"), 640, 480);
    EXPECT_EQ(out_.Target, 0);
    EXPECT_EQ(out_.AspectRatio, "");
}

TEST_F(BuilderTest, VideoBitRates) {
    SetVideo("320x240");
    Set("paraVideoBitRate", "as source");
    Build(Zoom("full"), 640, 480);
    EXPECT_EQ(out_.VideoBitRate, 1234567);
    Set("paraVideoBitRate", "fast");
    Build(Zoom("full"), 640, 480);
    EXPECT_EQ(out_.VideoBitRate, 1234567);
    Set("paraVideoBitRate", "0");
    Build(Zoom("full"), 640, 480);
    EXPECT_EQ(out_.VideoBitRate, -1);
    Set("paraVideoBitRate", "3000000"); // x 1000 leaves the 32-bit range: not wrapped
    Build(Zoom("full"), 640, 480);
    EXPECT_EQ(out_.VideoBitRate, -1);
    TIniFile(settings_).WriteString(kSection, "paraVideoBitRate", "2000");
    Build(Zoom("full"), 640, 480);
    EXPECT_EQ(out_.VideoBitRate, 2000000);
}

TEST_F(BuilderTest, FrameRates) {
    SetVideo("320x240");
    Build(Zoom("full"), 640, 480);
    EXPECT_EQ(out_.FrameRate, "29.97") << "the builder's default";
    Set("paraFrameRate", "as source");
    Build(Zoom("full"), 640, 480);
    EXPECT_EQ(out_.FrameRate, "");
    Set("paraFrameRate", "0");
    Build(Zoom("full"), 640, 480);
    EXPECT_EQ(out_.FrameRate, "");
    Set("paraFrameRate", "23.976");
    Build(Zoom("full"), 640, 480);
    EXPECT_EQ(out_.FrameRate, "23.976");
}

TEST_F(BuilderTest, AudioOnTheVideoPath) {
    SetVideo("320x240");
    Build(Zoom("full"), 640, 480);
    EXPECT_TRUE(out_.DisableAudio) << "no audio encoder chosen";
    EXPECT_EQ(out_.AudioChannels, 2);
    EXPECT_EQ(out_.AudioSampleRate, 44100);
    EXPECT_EQ(out_.AudioBitRate, 128000);

    Set("paraAudioEncoder", "libamr_nb");
    Set("paraChannel", "0");
    Set("paraAudioBitRate", "as source");
    Set("paraSampleRate", "as source");
    Build(Zoom("full"), 640, 480);
    EXPECT_EQ(out_.AudioCodec, "libopencore_amrnb");
    EXPECT_FALSE(out_.DisableAudio);
    EXPECT_EQ(out_.AudioChannels, 0) << "any integer is taken on this path";
    EXPECT_EQ(out_.AudioBitRate, -1);
    EXPECT_EQ(out_.AudioSampleRate, -1);

    Set("paraAudioBitRate", "64");
    Build(Zoom("full"), 640, 480);
    EXPECT_EQ(out_.AudioBitRate, 64000);
    Set("paraAudioBitRate", "0");
    Build(Zoom("full"), 640, 480);
    EXPECT_EQ(out_.AudioBitRate, -1);
    Set("paraAudioBitRate", "96.5");
    Build(Zoom("full"), 640, 480);
    EXPECT_EQ(out_.AudioBitRate, 96500);
    Set("paraAudioBitRate", "1e300");
    Build(Zoom("full"), 640, 480);
    EXPECT_EQ(out_.AudioBitRate, -1) << "out of range: left unset";
}

TEST_F(BuilderTest, Volume) {
    SetVideo("320x240");
    TIniFile settings(settings_);
    ASSERT_TRUE(settings.WriteString(kSection, "paraVolume", "512"));
    Build(Zoom("full"), 640, 480);
    EXPECT_EQ(out_.Volume, 512);
    ASSERT_TRUE(settings.WriteString(kSection, "paraVolume", "256"));
    Build(Zoom("full"), 640, 480);
    EXPECT_EQ(out_.Volume, -1) << "256 means unchanged";
    // Missing: the builder's default 3, on both paths.
    test::WriteTextFile(settings_,
                        "[formatInfo104]\nparaVideoEncoder=mpeg4\nparaVideoSize=320x240\n");
    Build(Zoom("full"), 640, 480);
    EXPECT_EQ(out_.Volume, 3);
    test::WriteTextFile(settings_, "[formatInfo104]\n");
    Build(Zoom("full"), 640, 480);
    EXPECT_EQ(out_.Volume, 3);
    // Not a number: the whole start is refused.
    ASSERT_TRUE(settings.WriteString(kSection, "paraVolume", "loud"));
    EXPECT_THROW(Build(Zoom("full"), 640, 480), std::invalid_argument);
}

TEST_F(BuilderTest, PathWithoutVideo) {
    SetFormat("mp3");
    Set("paraVolume", "256");
    Set("paraChannel", "0");
    Build(Zoom("lbox"), 640, 480);
    EXPECT_EQ(out_.AudioCodec, "libfaac") << "the default of this path";
    EXPECT_EQ(out_.AudioChannels, -1) << "only positive channel counts here";
    EXPECT_EQ(out_.AudioSampleRate, 44100);
    EXPECT_EQ(out_.AudioBitRate, 128000);
    EXPECT_EQ(in_.OptionText, "vn=1");
    EXPECT_TRUE(out_.DisableVideo);
    EXPECT_TRUE(out_.DisableSubtitle);
    EXPECT_FALSE(out_.DisableAudio);
    EXPECT_EQ(out_.FrameSize, "");
    EXPECT_EQ(out_.VideoFilters, "");
    EXPECT_EQ(out_.FormatName, "");

    Set("paraVideoEncoder", "   "); // blanks only: still no video
    Set("paraAudioEncoder", "libamr_nb");
    Build(Zoom("lbox"), 640, 480);
    EXPECT_EQ(out_.AudioCodec, "libamr_nb") << "taken unchanged on this path";
    EXPECT_TRUE(out_.DisableVideo);
}

TEST_F(BuilderTest, NeitherFilePresentTakesThePathWithoutVideo) {
    Build(Zoom("lbox"), 640, 480);
    EXPECT_TRUE(out_.DisableVideo);
    EXPECT_EQ(out_.AudioCodec, "libfaac");
    EXPECT_EQ(out_.Volume, 3);
    EXPECT_EQ(out_.Target, 0);
}

TEST_F(BuilderTest, SourceWithoutVideo) {
    SetVideo("320x240");
    Set("paraAudioEncoder", "libmp3lame");
    TSourceFacts audioOnly;
    Build(Zoom("lbox"), audioOnly);
    EXPECT_TRUE(out_.DisableVideo);
    EXPECT_EQ(out_.VideoCodec, "mpeg4");
    EXPECT_EQ(out_.FrameSize, "");
    EXPECT_EQ(out_.VideoFilters, "");
    EXPECT_EQ(out_.VideoBitRate, -1);
    EXPECT_EQ(out_.AudioCodec, "libmp3lame");
    EXPECT_EQ(out_.AudioSampleRate, 44100);
    EXPECT_EQ(questions_, 0);
}

TEST_F(BuilderTest, SourceOfUnknownSizeGetsNoFittingMath) {
    SetVideo("320x240");
    TSourceFacts source;
    source.VideoStreamCount = 1;
    Build(Zoom("lbox"), source);
    EXPECT_EQ(out_.FrameSize, "320x240");
    EXPECT_EQ(out_.VideoFilters, "");
    SetVideo("as source");
    Build(Zoom("lbox"), source);
    EXPECT_EQ(out_.FrameSize, "");
}

TEST_F(BuilderTest, NtscDvGetsTheFourOneOnePictureFormat) {
    SetVideo("720x480", "dvvideo");
    Build(Zoom("full"), 640, 480);
    EXPECT_EQ(out_.OptionText, "pix_fmt=yuv411p");
    SetVideo("720x576", "dvvideo");
    Build(Zoom("full"), 640, 480);
    EXPECT_EQ(out_.OptionText, "");
}

TEST_F(BuilderTest, ExistingFiltersAreKept) {
    SetVideo("320x240");
    out_.Reset();
    in_.Reset();
    out_.VideoFilters = "hflip";
    TBuildContext context{settings_, profile_, nullptr};
    TSourceFacts source{1, 1280, 720, 0};
    BuildTaskOptions(Zoom("lbox"), kCode, out_, source, in_, context);
    EXPECT_EQ(out_.VideoFilters, "hflip,pad=320:240:0:30");
}

} // namespace
} // namespace tovik
