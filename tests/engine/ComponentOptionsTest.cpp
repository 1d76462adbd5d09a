// Option records and option text applied by the engine component, checked on the files the
// tasks write; the task list's limits and failures.

#include "engine/ComponentTestSupport.h"

namespace tovik::test {
namespace {

// Codec names of the streams of a file, in stream order ("" for other kinds).
std::vector<std::string> StreamCodecs(const std::string& fileName) {
    TMediaProbe probe;
    std::vector<std::string> codecs;
    if (!probe.LoadFile(fileName))
        return codecs;
    for (int i = 0; i < probe.StreamCount(); ++i) {
        std::string name;
        if (probe.IsAudioStream(i))
            name = probe.GetAudioStreamInfo(i).CodecName;
        else if (probe.IsVideoStream(i))
            name = probe.GetVideoStreamInfo(i).CodecName;
        codecs.push_back(name.substr(0, name.find('('))); // "mp2(MP2 (MPEG audio ...))"
    }
    return codecs;
}

class ComponentOptionsTest : public ComponentTest {
protected:
    // Converts clip.avi with the output record into a Matroska file; the file's name.
    std::string Convert(const TOutputOptions& options, const std::string& name = "out.mkv") {
        const std::string out = temp_.File(name);
        const int index = converter_->AddTask(MediaFile("clip.avi"));
        EXPECT_GE(index, 0) << converter_->LastError();
        EXPECT_TRUE(converter_->SetOutputFile(index, out, &options)) << converter_->LastError();
        converter_->StartTask(0);
        const auto reports = Reports();
        EXPECT_FALSE(reports.empty() || reports.front().Failed)
            << (reports.empty() ? "" : reports.front().ErrorMessage);
        NewRun();
        return out;
    }
    int SampleRate(const std::string& fileName) {
        TMediaProbe probe;
        return probe.LoadFile(fileName) ? probe.GetAudioStreamInfo().SampleRate : -1;
    }
};

TEST_F(ComponentOptionsTest, MarkerLineEqualsTwoLines) {
    TOutputOptions options;
    options.OptionText = "vcodec=mpeg4<CRLF>acodec=mp2<CRLF>ar=22050";
    const std::string marked = Convert(options, "marked.mkv");
    options.OptionText = "vcodec=mpeg4\r\nacodec=mp2\r\nar=22050";
    const std::string lines = Convert(options, "lines.mkv");
    EXPECT_EQ(StreamCodecs(marked), (std::vector<std::string>{"mpeg4", "mp2"}));
    EXPECT_EQ(StreamCodecs(lines), StreamCodecs(marked));
    EXPECT_EQ(SampleRate(marked), 22050);
    EXPECT_EQ(SampleRate(lines), 22050);
}

TEST_F(ComponentOptionsTest, RecordCodecOverridesTheTextLine) {
    TOutputOptions options;
    options.OptionText = "vcodec=mpeg4<CRLF>acodec=mp2";
    options.VideoCodec = "mpeg2video";
    EXPECT_EQ(StreamCodecs(Convert(options)), (std::vector<std::string>{"mpeg2video", "mp2"}));
}

TEST_F(ComponentOptionsTest, ExtraAudioStreamsTakePendingLinesThenTheDefault) {
    TOutputOptions options;
    options.OptionText = "vcodec=mpeg4\nacodec=mp2\nacodec=ac3\nnewaudio=\nnewaudio=\nnewaudio=";
    // The first acodec line is the default the record left empty.
    EXPECT_EQ(StreamCodecs(Convert(options, "a.mkv")),
              (std::vector<std::string>{"mpeg4", "mp2", "mp2", "ac3", "mp2"}));
    // A record codec is the default: the third extra stream takes it, not a repeated line.
    options.AudioCodec = "pcm_s16le";
    EXPECT_EQ(StreamCodecs(Convert(options, "b.mkv")),
              (std::vector<std::string>{"mpeg4", "pcm_s16le", "mp2", "ac3", "pcm_s16le"}));
}

TEST_F(ComponentOptionsTest, StoredRecordsGetTheFileName) {
    TInputOptions input;
    const int index = converter_->AddTask(MediaFile("clip.avi"), &input);
    ASSERT_GE(index, 0) << converter_->LastError();
    TOutputOptions output;
    ASSERT_TRUE(converter_->SetOutputFile(index, temp_.File("a.avi"), &output));
    EXPECT_EQ(converter_->Task(index).StoredInputOptions(0).FileName, MediaFile("clip.avi"));
    EXPECT_EQ(converter_->Task(index).StoredOutputOptions(0).FileName, temp_.File("a.avi"));
    // The probe of the input is bound to the opened file.
    EXPECT_EQ(converter_->TaskProbe(index, 0).VideoStreamCount(), 1);
    EXPECT_EQ(converter_->TaskProbe(index, 0).AudioStreamCount(), 1);
}

TEST_F(ComponentOptionsTest, TwentyOutputsAtMost) {
    const int index = converter_->AddTask(MediaFile("clip.avi"));
    ASSERT_GE(index, 0);
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(converter_->SetOutputFile(index, temp_.File(std::to_string(i) + ".avi")))
            << converter_->LastError();
    EXPECT_FALSE(converter_->SetOutputFile(index, temp_.File("20.avi")));
    EXPECT_EQ(converter_->LastError(), "max output files 20 reached");
}

TEST_F(ComponentOptionsTest, FailuresLeaveTheListAsItWas) {
    EXPECT_EQ(converter_->AddTask(temp_.File("missing.avi")), -1);
    EXPECT_FALSE(converter_->LastError().empty());
    TInputOptions input;
    input.OptionText = "ss=not a time";
    EXPECT_EQ(converter_->AddTask(MediaFile("clip.avi"), &input), -1);
    EXPECT_NE(converter_->LastError().find("Invalid duration specification"), std::string::npos)
        << converter_->LastError();
    EXPECT_EQ(converter_->TaskCount(), 0);

    const int index = converter_->AddTask(MediaFile("clip.avi"));
    TOutputOptions output;
    output.FrameSize = "wide";
    EXPECT_FALSE(converter_->SetOutputFile(index, temp_.File("a.avi"), &output));
    EXPECT_FALSE(converter_->LastError().empty());
    EXPECT_FALSE(converter_->SetOutputFile(7, temp_.File("a.avi")));
    EXPECT_EQ(converter_->Task(index).OutputCount(), 0);
    converter_->ClearTasks();
    EXPECT_EQ(converter_->LastError(), "");
}

TEST_F(ComponentOptionsTest, RemoveTaskRenumbersTheRest) {
    for (int i = 0; i < 3; ++i)
        AddConversion("clip.avi", temp_.File(std::to_string(i) + ".avi"));
    converter_->RemoveTask(0);
    ASSERT_EQ(converter_->TaskCount(), 2);
    converter_->StartTask(0);
    EXPECT_EQ(ReportedIndices(), (std::vector<int>{0, 1, -1}));
    EXPECT_THROW(converter_->Task(2), std::out_of_range);
}

} // namespace
} // namespace tovik::test
