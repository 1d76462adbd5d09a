#include "EngineTestSupport.h"

#include "engine/OptionValues.h"
#include "media/CodecLock.h"
#include "media/UnicodeProtocol.h"

#include <cmath>

namespace tovik {
namespace {

using test::EngineOptionsTest;

TEST_F(EngineOptionsTest, SwitchesAreOnUnlessTheValueIsExactlyZero) {
    task_.SetOption("vn", "0");
    EXPECT_FALSE(Settings().VideoDisable);
    task_.SetOption("vn", "");
    EXPECT_TRUE(Settings().VideoDisable);
    task_.SetOption("an", "no");
    EXPECT_TRUE(Settings().AudioDisable) << "only \"0\" turns a switch off";
    task_.SetOption("copyts", "0");
    EXPECT_TRUE(Settings().CopyTs) << "copyts is set whatever the value";
    task_.SetOption("xerror", "0");
    EXPECT_TRUE(Settings().ExitOnError);
}

TEST_F(EngineOptionsTest, ResetRestoresEveryDefault) {
    task_.SetOption("s", "640x480");
    task_.SetOption("vcodec", "mpeg4");
    task_.SetOption("ar", "22050");
    task_.SetOption("t", "10");
    task_.SetOption("metadata", "title=x");
    task_.SetOption("g", "48");
    task_.ResetEngine();
    const TEngineSettings& settings = Settings();
    EXPECT_EQ(settings.FrameWidth, 0);
    EXPECT_TRUE(settings.VideoCodecName.empty());
    EXPECT_EQ(settings.AudioSampleRate, 44100);
    EXPECT_EQ(settings.AudioChannels, 2);
    EXPECT_EQ(settings.RecordingTime, INT64_MAX);
    EXPECT_TRUE(settings.Metadata.empty());
    EXPECT_EQ(settings.FrameRate.den, 0);
    EXPECT_EQ(settings.AudioVolume, 256);
    EXPECT_EQ(settings.IntraDcPrecision, 8);
    EXPECT_FLOAT_EQ(settings.AudioQScale, -99999.0f);
    EXPECT_FLOAT_EQ(settings.MuxPreload, 0.5f);
    EXPECT_FLOAT_EQ(settings.MuxMaxDelay, 0.7f);
    EXPECT_EQ(settings.SwsFlags, SWS_BICUBIC);
    EXPECT_EQ(settings.ThreadCount, 0);
    EXPECT_NE(VideoDefaults()->gop_size, 48) << "the generic contexts are fresh";
}

TEST_F(EngineOptionsTest, ThreadsSetsTheCodecThreadCount) {
    task_.SetOption("threads", "4");
    EXPECT_EQ(Settings().ThreadCount, 4);
    task_.SetOption("threads", "0");
    EXPECT_EQ(Settings().ThreadCount, 0);
    EXPECT_EQ(ErrorOf("threads", "many"), "'many' is not a valid integer value");
    EXPECT_FALSE(ErrorOf("threads", "-2").empty());
}

TEST_F(EngineOptionsTest, CropNeedsAFrameSizeAndShrinksIt) {
    EXPECT_EQ(ErrorOf("croptop", "10"),
              "Vertical crop dimensions are outside the range of the original image.\n"
              "Remember to crop first and scale second.");
    EXPECT_EQ(ErrorOf("cropleft", "10"),
              "Horizontal crop dimensions are outside the range of the original image.\n"
              "Remember to crop first and scale second.");
    task_.SetOption("croptop", "0");
    task_.SetOption("croptop", "-5");
    EXPECT_EQ(Settings().FrameTopBand, 0) << "values <= 0 are ignored";

    task_.SetOption("s", "640x480");
    task_.SetOption("croptop", "10");
    EXPECT_EQ(Settings().FrameTopBand, 10);
    EXPECT_EQ(Settings().FrameHeight, 470);
    EXPECT_TRUE(
        Logged(TLogLevel::llWarning, "CropXXX is deprecated in favor of the crop avfilter"));
    task_.SetOption("cropright", "40");
    EXPECT_EQ(Settings().FrameRightBand, 40);
    EXPECT_EQ(Settings().FrameWidth, 600);
    EXPECT_FALSE(ErrorOf("cropbottom", "470").empty()) << "a band as large as the height";
    EXPECT_EQ(Settings().FrameBottomBand, 0);
}

TEST_F(EngineOptionsTest, AspectTakesRatiosAndNumbers) {
    task_.SetOption("aspect", "16:9");
    EXPECT_NEAR(Settings().FrameAspectRatio, 16.0 / 9.0, 1e-12);
    EXPECT_EQ(ErrorOf("aspect", "4:0"), "Incorrect aspect ratio specification.");
    EXPECT_EQ(ErrorOf("aspect", "0"), "Incorrect aspect ratio specification.");
    task_.SetOption("aspect", "1.3333");
    EXPECT_DOUBLE_EQ(Settings().FrameAspectRatio, 1.3333);
    EXPECT_EQ(ErrorOf("aspect", "wide"), "'wide' is not a valid floating point value");
}

TEST_F(EngineOptionsTest, CodecTagsNeedFourCharacters) {
    task_.SetOption("vtag", "XVID");
    EXPECT_EQ(Settings().VideoCodecTag, 'X' | 'V' << 8 | 'I' << 16 | 'D' << 24);
    EXPECT_EQ(ErrorOf("vtag", "DX5"), "video tag parameter must be 4 chars");
    EXPECT_EQ(ErrorOf("atag", "abcde"), "audio tag parameter must be 4 chars");
    EXPECT_EQ(ErrorOf("stag", ""), "subtitle tag parameter must be 4 chars");
    EXPECT_EQ(Settings().VideoCodecTag, 'X' | 'V' << 8 | 'I' << 16 | 'D' << 24);
}

TEST_F(EngineOptionsTest, FrameRateAndSizeUseTheLibraryParsers) {
    task_.SetOption("r", "30000/1001");
    EXPECT_EQ(Settings().FrameRate.num, 30000);
    EXPECT_EQ(Settings().FrameRate.den, 1001);
    task_.SetOption("r", "pal");
    EXPECT_EQ(Settings().FrameRate.num, 25);
    EXPECT_EQ(ErrorOf("r", "fast"), "Incorrect frame rate");
    task_.SetOption("s", "vga");
    EXPECT_EQ(Settings().FrameWidth, 640);
    EXPECT_EQ(Settings().FrameHeight, 480);
    EXPECT_EQ(ErrorOf("s", "big"), "Incorrect frame size");
}

TEST_F(EngineOptionsTest, PresetLookup) {
    task_.SetOption("vcodec", "libx264");
    task_.SetOption("vpre", "normal");
    EXPECT_EQ(VideoDefaults()->refs, 2) << "libx264-normal was applied";
    EXPECT_EQ(VideoDefaults()->me_subpel_quality, 6);

    task_.ResetEngine();
    task_.SetOption("vpre", "LIBX264-IPOD");
    EXPECT_EQ(VideoDefaults()->bit_rate, 1000000) << "found directly, ignoring case";
    EXPECT_EQ(task_.DefaultOptions()->CodecContext(AVMEDIA_TYPE_AUDIO)->bit_rate,
              TCodecContextPtr(ff::avcodec_alloc_context3(nullptr))->bit_rate)
        << "the preset's b is a video bit rate";

    task_.ResetEngine();
    EXPECT_EQ(ErrorOf("vpre", "normal"), "Preset \"normal\" not found")
        << "no codec name, no prefix";
    EXPECT_EQ(ErrorOf("apre", "nosuch"), "Preset \"nosuch\" not found");
}

TEST_F(EngineOptionsTest, PresetFiles) {
    test::TTempDir folder;
    const std::string good = folder.File("good.ffpreset");
    test::WriteTextFile(good, "  g = 77\r\n\r\nvcodec=mpeg4\rbf=2\n");
    task_.SetOption("fpre", good);
    EXPECT_EQ(VideoDefaults()->gop_size, 77);
    EXPECT_EQ(VideoDefaults()->max_b_frames, 2);
    EXPECT_EQ(Settings().VideoCodecName, "mpeg4");

    const std::string noValue = folder.File("novalue.ffpreset");
    test::WriteTextFile(noValue, "g=12\nbf=\n");
    EXPECT_EQ(ErrorOf("fpre", noValue), noValue + ": Invalid syntax: \"bf=\"");

    const std::string unknown = folder.File("unknown.ffpreset");
    test::WriteTextFile(unknown, "nosuchoption=3");
    EXPECT_EQ(
        ErrorOf("fpre", unknown),
        unknown +
            ": Invalid option or argument: \"nosuchoption=3\", parsed as \"nosuchoption\" = \"3\"");
    EXPECT_EQ(ErrorOf("fpre", "libx264-normal"), "Preset \"libx264-normal\" not found")
        << "fpre never looks at the built-in table";
}

TEST_F(EngineOptionsTest, TargetDvdByNorm) {
    task_.SetOption("target", "pal-dvd");
    const TEngineSettings& settings = Settings();
    EXPECT_EQ(settings.FrameWidth, 720);
    EXPECT_EQ(settings.FrameHeight, 576);
    EXPECT_EQ(settings.FrameRate.num, 25);
    EXPECT_EQ(settings.FrameRate.den, 1);
    EXPECT_EQ(VideoDefaults()->gop_size, 15);
    EXPECT_EQ(VideoDefaults()->bit_rate, 6000000);
    EXPECT_EQ(VideoDefaults()->rc_max_rate, 9000000);
    EXPECT_EQ(settings.VideoCodecName, "mpeg2video");
    EXPECT_EQ(settings.AudioCodecName, "ac3");
    EXPECT_EQ(settings.FormatName, "dvd");
    EXPECT_EQ(settings.AudioSampleRate, 48000);
    EXPECT_EQ(task_.DefaultOptions()->CodecContext(AVMEDIA_TYPE_AUDIO)->bit_rate, 448000);
    EXPECT_NEAR(settings.FrameAspectRatio, 16.0 / 9.0, 1e-12);
    EXPECT_TRUE(Logged(TLogLevel::llInfo, "Assuming 16:9 for aspect ratio"));
    EXPECT_EQ(task_.DefaultOptions()->FormatContext()->packet_size, 2048u);
    AVDictionary* muxer =
        task_.DefaultOptions()->MuxerOptions(ff::av_guess_format("dvd", nullptr, nullptr));
    const AVDictionaryEntry* muxRate = ff::av_dict_get(muxer, "muxrate", nullptr, 0);
    ASSERT_NE(muxRate, nullptr) << "muxrate became the muxer's private option";
    EXPECT_STREQ(muxRate->value, "10080000");
    ff::av_dict_free(&muxer);
}

TEST_F(EngineOptionsTest, TargetNormGuessNeedsAFrameRate) {
    EXPECT_EQ(ErrorOf("target", "dvd"), "frame_rate is invalid.");
    task_.SetOption("r", "29.97");
    task_.SetOption("target", "dvd");
    EXPECT_EQ(Settings().FrameHeight, 480) << "29.97 is NTSC";
    EXPECT_EQ(VideoDefaults()->gop_size, 18);
    EXPECT_TRUE(Logged(TLogLevel::llVerbose, "Assuming NTSC for target."));

    task_.ResetEngine();
    task_.SetOption("r", "12");
    task_.SetOption("target", "vcd");
    EXPECT_EQ(Settings().FrameHeight, 240) << "undecided: the fallback norm of \"target\" is ntsc";
    EXPECT_EQ(Settings().FrameRate.num, 30000);

    task_.ResetEngine();
    task_.SetOption("r", "12");
    task_.SetTarget("vcd", "auto", "pal");
    EXPECT_EQ(Settings().FrameHeight, 288);
    EXPECT_EQ(Settings().FrameRate.num, 25);
    EXPECT_TRUE(Logged(TLogLevel::llVerbose, "Assuming PAL for target."));
    EXPECT_FLOAT_EQ(Settings().MuxPreload, 0.44f);
    EXPECT_TRUE(Logged(TLogLevel::llInfo, "Assuming 4:3 for aspect ratio"));
}

// A task that sees an input opened elsewhere, as the input stage would leave it; the input
// stays the test's to close.
class TTaskWithInput : public TFFmpeg {
public:
    void Attach(AVFormatContext* input) {
        inputFiles_[0] = input;
        inputCount_ = 1;
    }
    ~TTaskWithInput() override {
        inputFiles_[0] = nullptr;
        inputCount_ = 0;
    }
};

TEST_F(EngineOptionsTest, TargetNormFromTheInputsVideo) {
    test::TTempDir folder;
    const std::string clip = folder.File("ntsc.avi");
    ASSERT_EQ(test::RunFfmpegTool("-f lavfi -i testsrc=size=64x48:rate=30000/1001 -frames:v 3 "
                                  "-c:v mpeg4 " +
                                  clip),
              0);
    AVFormatContext* input = nullptr;
    ASSERT_GE(OpenInputFormat(&input, clip, nullptr, nullptr), 0);
    {
        std::lock_guard<std::mutex> lock(CodecLock());
        ASSERT_GE(ff::avformat_find_stream_info(input, nullptr), 0);
    }
    {
        TTaskWithInput task;
        task.ResetEngine();
        task.Attach(input);
        task.SetOption("r", "12");
        task.SetTarget("dvd", "auto", "pal");
        EXPECT_EQ(task.Settings().FrameHeight, 480) << "the input's 29.97 frames/s decide";
    }
    CloseInputFormat(&input);
}

TEST_F(EngineOptionsTest, OtherTargets) {
    task_.SetOption("ac", "1");
    task_.SetOption("target", "ntsc-svcd");
    EXPECT_EQ(Settings().FrameWidth, 480);
    EXPECT_EQ(Settings().AudioChannels, 2) << "mono becomes stereo";
    AVDictionary* encoder =
        task_.DefaultOptions()->EncoderOptions(ff::avcodec_find_encoder_by_name("mpeg2video"));
    const AVDictionaryEntry* scanOffset = ff::av_dict_get(encoder, "scan_offset", nullptr, 0);
    ASSERT_NE(scanOffset, nullptr) << "flags +scan_offset is mpeg2video's scan_offset today";
    EXPECT_STREQ(scanOffset->value, "1");
    ff::av_dict_free(&encoder);

    task_.ResetEngine();
    task_.SetOption("target", "film-dv");
    EXPECT_EQ(Settings().FramePixFmt, AV_PIX_FMT_YUV411P);
    EXPECT_EQ(Settings().FrameRate.num, 24000);
    task_.SetOption("target", "pal-dv50");
    EXPECT_EQ(Settings().FramePixFmt, AV_PIX_FMT_YUV422P);
    EXPECT_EQ(Settings().FormatName, "dv");
    EXPECT_EQ(ErrorOf("target", "pal-vhs"), "Unknown target type");
}

TEST_F(EngineOptionsTest, InputTimestampScalePerStream) {
    EXPECT_EQ(ErrorOf("itsscale", "25:1.5"), "stream index over MAX_STREAMS(20)");
    EXPECT_EQ(ErrorOf("itsscale", "20:1.5"), "stream index over MAX_STREAMS(20)");
    EXPECT_FALSE(ErrorOf("itsscale", "-1:2").empty());
    task_.SetOption("itsscale", "1:0.5");
    task_.SetOption("itsscale", "0x13,2");
    EXPECT_DOUBLE_EQ(Settings().InputTsScale[1], 0.5);
    EXPECT_DOUBLE_EQ(Settings().InputTsScale[19], 2.0);
    EXPECT_DOUBLE_EQ(Settings().InputTsScale[0], 0.0);
}

TEST_F(EngineOptionsTest, MetadataPairs) {
    EXPECT_EQ(ErrorOf("metadata", "title"), "Missing =");
    task_.SetOption("metadata", "title=x");
    task_.SetOption("metadata", "comment=a=b");
    ASSERT_EQ(Settings().Metadata.size(), 2u);
    EXPECT_EQ(Settings().Metadata[0], std::make_pair(std::string("title"), std::string("x")));
    EXPECT_EQ(Settings().Metadata[1], std::make_pair(std::string("comment"), std::string("a=b")));
}

TEST_F(EngineOptionsTest, QuantiserMatrices) {
    std::string values;
    for (int index = 0; index < 63; ++index)
        values += (index ? "," : "") + std::to_string(index + 1);
    EXPECT_EQ(ErrorOf("intra_matrix", values),
              "Syntax error in matrix \"" + values + "\" at coeff 62");
    EXPECT_TRUE(Settings().IntraMatrix.empty());
    task_.SetOption("inter_matrix", values + ",64");
    ASSERT_EQ(Settings().InterMatrix.size(), 64u);
    EXPECT_EQ(Settings().InterMatrix[0], 1);
    EXPECT_EQ(Settings().InterMatrix[63], 64);
}

TEST_F(EngineOptionsTest, MapsAndStreamIds) {
    task_.SetOption("map", "0.1");
    task_.SetOption("map", "1:0:0:2");
    task_.SetOption("map", "0x1.0x2");
    ASSERT_EQ(Settings().StreamMaps.size(), 3u);
    EXPECT_EQ(Settings().StreamMaps[0], (TStreamMap{0, 1, 0, 1}));
    EXPECT_EQ(Settings().StreamMaps[1], (TStreamMap{1, 0, 0, 2}));
    EXPECT_EQ(Settings().StreamMaps[2], (TStreamMap{1, 2, 1, 2}));
    task_.SetOption("map_meta_data", "1.0");
    EXPECT_EQ(Settings().MetaDataMaps.at(0), (TMetaDataMap{1, 0}));

    EXPECT_EQ(ErrorOf("streamid", "3"),
              "Invalid value \"3\" for option \"streamid\", required syntax is \"index:value\"");
    EXPECT_FALSE(ErrorOf("streamid", ":5").empty());
    EXPECT_FALSE(ErrorOf("streamid", "25:5").empty());
    task_.SetOption("streamid", "1:224");
    EXPECT_EQ(Settings().StreamIds.at(0), std::make_pair(1, 224));
}

TEST_F(EngineOptionsTest, TimesAndDates) {
    task_.SetOption("t", "00:01:30.5");
    EXPECT_EQ(Settings().RecordingTime, 90500000);
    task_.SetOption("ss", "12.25");
    EXPECT_EQ(Settings().StartTime, 12250000);
    EXPECT_EQ(ErrorOf("itsoffset", "soon"), "Invalid duration specification for itsoffset: soon");
    task_.SetOption("timestamp", "2001-01-01T00:00:00Z");
    EXPECT_EQ(Settings().RecordingTimestamp, 978307200);
    EXPECT_EQ(ErrorOf("timestamp", "yesterday"),
              "Invalid date specification for timestamp: yesterday");
    task_.SetOption("fs", "1000000000000");
    EXPECT_EQ(Settings().LimitFileSize, 1000000000000);
}

TEST_F(EngineOptionsTest, BitRatesAndTheLowRateWarning) {
    const std::string warning =
        "WARNING: The bitrate parameter is set too low. It takes bits/s as argument, not kbits/s";
    task_.SetOption("vb", "800k");
    EXPECT_EQ(VideoDefaults()->bit_rate, 800000);
    EXPECT_FALSE(Logged(TLogLevel::llWarning, warning));
    task_.SetOption("ab", "128");
    EXPECT_EQ(task_.DefaultOptions()->CodecContext(AVMEDIA_TYPE_AUDIO)->bit_rate, 128);
    EXPECT_EQ(VideoDefaults()->bit_rate, 800000) << "ab leaves the video rate";
    EXPECT_TRUE(Logged(TLogLevel::llWarning, warning));
}

TEST_F(EngineOptionsTest, RefusedValues) {
    EXPECT_EQ(ErrorOf("pix_fmt", "yuv999"), "Unknown pixel format requested: yuv999");
    task_.SetOption("pix_fmt", "yuv422p");
    EXPECT_EQ(Settings().FramePixFmt, AV_PIX_FMT_YUV422P);
    EXPECT_EQ(ErrorOf("pass", "3"), "pass number can be only 1 or 2");
    EXPECT_EQ(ErrorOf("qscale", "0"), "qscale must be > 0.0 and <= 255");
    EXPECT_EQ(ErrorOf("qscale", "255.5"), "qscale must be > 0.0 and <= 255");
    task_.SetOption("qscale", "2.5");
    EXPECT_FLOAT_EQ(Settings().VideoQScale, 2.5f);
    EXPECT_EQ(ErrorOf("padtop", "8"), "Please use vfilters=pad");
    EXPECT_EQ(ErrorOf("padcolor", "000000"), "Please use vfilters=pad");
    EXPECT_EQ(ErrorOf("vbsf", " nosuchfilter "), "Unknown bitstream filter nosuchfilter");
    EXPECT_EQ(ErrorOf("newvideo", ""), "At least one output file must be specified");
    EXPECT_EQ(ErrorOf("sample_fmt", "s17"), "Unknown sample format requested: s17");
    EXPECT_EQ(ErrorOf("vframes", "ten"), "'ten' is not a valid integer value");
    EXPECT_EQ(ErrorOf("loglevel", "loud").rfind("Invalid loglevel \"loud\"", 0), 0u);
    EXPECT_TRUE(ErrorOf("nosuchoption", "1").empty()) << "unknown names are no error here";
}

TEST_F(EngineOptionsTest, CodecNamesAndCopy) {
    task_.SetOption("vcodec", "mpeg4");
    task_.SetOption("vcodec", "copy");
    EXPECT_TRUE(Settings().VideoStreamCopy);
    EXPECT_EQ(Settings().VideoCodecName, "mpeg4") << "copy leaves the name";
    task_.SetOption("acodec", "libmp3lame");
    task_.SetOption("scodec", "copy");
    EXPECT_EQ(Settings().AudioCodecName, "libmp3lame");
    EXPECT_TRUE(Settings().SubtitleStreamCopy);
}

TEST_F(EngineOptionsTest, BitstreamFiltersAndLoggedOptions) {
    task_.SetOption("vbsf", "h264_mp4toannexb");
    task_.SetOption("absf", "=ignored");
    task_.SetOption("absf", "aac_adtstoasc");
    EXPECT_EQ(Settings().VideoBitstreamFilters, std::vector<std::string>{"h264_mp4toannexb"});
    EXPECT_EQ(Settings().AudioBitstreamFilters, std::vector<std::string>{"aac_adtstoasc"});

    task_.SetOption("y", "");
    EXPECT_TRUE(Logged(TLogLevel::llInfo, "Do nothing: option - y"));
    task_.SetOption("timelimit", "10");
    EXPECT_TRUE(Logged(TLogLevel::llWarning, "Warning: -timelimit not implemented on Windows"));
    task_.SetOption("f", "pgmyuv");
    EXPECT_EQ(Settings().FormatName, "image2");
    EXPECT_TRUE(Settings().PgmyuvCompat);
    EXPECT_TRUE(Logged(TLogLevel::llInfo, "pgmyuv format is deprecated, use image2"));
    task_.SetOption("pix_fmt", "list");
    EXPECT_TRUE(std::any_of(log_.begin(), log_.end(), [](const test::TLogLine& line) {
        return line.Level == TLogLevel::llInfo && line.Text.rfind("yuv420p ", 0) == 0;
    }));
}

TEST_F(EngineOptionsTest, OptionTextSkipsAndGatesNames) {
    task_.ParseOptionText("vcodec=mpeg4<CRLF>s=320x240<CRLF>vf=scale=2:2<CRLF>vpre=nosuch<CRLF>"
                          "newaudio<CRLF>ar=22050<CRLF>VOL=512",
                          false);
    EXPECT_TRUE(Settings().VideoCodecName.empty());
    EXPECT_EQ(Settings().FrameWidth, 0);
    EXPECT_TRUE(Settings().VideoFilters.empty());
    EXPECT_EQ(Settings().AudioSampleRate, 22050);
    EXPECT_EQ(Settings().AudioVolume, 512) << "names are compared in lower case";
    task_.ParseOptionText("vcodec=mpeg4\ns=320x240", true);
    EXPECT_EQ(Settings().VideoCodecName, "mpeg4");
    EXPECT_EQ(Settings().FrameWidth, 320);
}

TEST_F(EngineOptionsTest, GenericOptionsReachTheDefaultContexts) {
    task_.SetOption("g", "48");
    task_.SetOption("sws_flags", "bilinear");
    EXPECT_EQ(VideoDefaults()->gop_size, 48);
    EXPECT_EQ(Settings().SwsFlags, SWS_BILINEAR);
    task_.SetOption("bf", "lots");
    EXPECT_TRUE(Logged(TLogLevel::llError, "Invalid value \"lots\" for option \"bf\""))
        << "a refused generic value is logged, never raised";
}

} // namespace
} // namespace tovik
