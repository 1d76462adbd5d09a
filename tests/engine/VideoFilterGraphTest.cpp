#include "engine/VideoFilterGraph.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace tovik {
namespace {

class VideoFilterGraphTest : public ::testing::Test {
protected:
    void SetUp() override { test::LoadEngineLibrariesOrFail(); }

    // A frame whose left half is dark and right half bright, so crops can be told apart.
    static TFramePtr SplitFrame(int width, int height, int64_t pts) {
        TFramePtr frame = MakeFrame();
        frame->format = AV_PIX_FMT_YUV420P;
        frame->width = width;
        frame->height = height;
        frame->pts = pts;
        EXPECT_GE(ff::av_frame_get_buffer(frame.get(), 0), 0);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                frame->data[0][y * frame->linesize[0] + x] = x < width / 2 ? 20 : 220;
        for (int plane = 1; plane < 3; ++plane)
            for (int y = 0; y < height / 2; ++y)
                std::memset(frame->data[plane] + y * frame->linesize[plane], 128, width / 2);
        return frame;
    }

    static TVideoFilterSpec Spec(int width, int height) {
        TVideoFilterSpec spec;
        spec.InputWidth = width;
        spec.InputHeight = height;
        spec.InputFormat = AV_PIX_FMT_YUV420P;
        spec.TimeBase = {1, 25};
        spec.SampleAspect = {1, 1};
        spec.OutputFormat = AV_PIX_FMT_YUV420P;
        return spec;
    }
};

TEST_F(VideoFilterGraphTest, CropsTheBandsThenScalesWhatIsLeftToTheEncoderSize) {
    TVideoFilterSpec spec = Spec(160, 120);
    spec.CropRight = 80; // keep only the dark left half
    spec.OutputWidth = 320;
    spec.OutputHeight = 240;
    TVideoFilterGraph graph;
    std::string error;
    ASSERT_TRUE(graph.Build(spec, error)) << error;
    EXPECT_EQ(graph.OutputWidth(), 320);
    EXPECT_EQ(graph.OutputHeight(), 240);
    TFramePtr in = SplitFrame(160, 120, 7);
    ASSERT_GE(graph.Push(in.get()), 0);
    TFramePtr out = MakeFrame();
    ASSERT_EQ(graph.Pull(out.get()), 0);
    EXPECT_EQ(out->width, 320);
    EXPECT_EQ(out->pts, 7);
    // All of the picture comes from the dark half: the crop happened before the scale.
    EXPECT_LT(out->data[0][120 * out->linesize[0] + 300], 60);
    EXPECT_EQ(graph.Pull(out.get()), AVERROR(EAGAIN));
}

TEST_F(VideoFilterGraphTest, TheUserChainRunsBeforeTheSinkInTheEncodersFormat) {
    TVideoFilterSpec spec = Spec(160, 120);
    spec.Chain = "hflip,pad=200:140:20:10";
    spec.OutputFormat = AV_PIX_FMT_YUV422P;
    TVideoFilterGraph graph;
    std::string error;
    ASSERT_TRUE(graph.Build(spec, error)) << error;
    EXPECT_EQ(graph.OutputWidth(), 200);
    TFramePtr in = SplitFrame(160, 120, 0);
    ASSERT_GE(graph.Push(in.get()), 0);
    TFramePtr out = MakeFrame();
    ASSERT_EQ(graph.Pull(out.get()), 0);
    EXPECT_EQ(out->format, AV_PIX_FMT_YUV422P);
    EXPECT_EQ(out->height, 140);
    EXPECT_GT(out->data[0][70 * out->linesize[0] + 25], 200) << "flipped: bright side left";
}

TEST_F(VideoFilterGraphTest, ABrokenChainIsRefusedWithAReason) {
    TVideoFilterSpec spec = Spec(160, 120);
    spec.Chain = "nosuchfilter=1";
    TVideoFilterGraph graph;
    std::string error;
    EXPECT_FALSE(graph.Build(spec, error));
    EXPECT_NE(error.find("nosuchfilter"), std::string::npos) << error;
    spec.Chain = "scale=w=abc";
    EXPECT_FALSE(graph.Build(spec, error));
    EXPECT_FALSE(error.empty());
}

TEST_F(VideoFilterGraphTest, EndOfStreamDrainsTheGraph) {
    TVideoFilterGraph graph;
    std::string error;
    ASSERT_TRUE(graph.Build(Spec(64, 48), error)) << error;
    for (int i = 0; i < 3; ++i) {
        TFramePtr in = SplitFrame(64, 48, i);
        ASSERT_GE(graph.Push(in.get()), 0);
    }
    ASSERT_GE(graph.Push(nullptr), 0);
    TFramePtr out = MakeFrame();
    int frames = 0;
    int result;
    while ((result = graph.Pull(out.get())) == 0) {
        ++frames;
        ff::av_frame_unref(out.get());
    }
    EXPECT_EQ(frames, 3);
    EXPECT_EQ(result, AVERROR_EOF);
}

} // namespace
} // namespace tovik
