#include "media/WritableFrame.h"

#include "media/FFmpegPtr.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace tovik {
namespace {

class WritableFrameTest : public ::testing::Test {
protected:
    void SetUp() override { test::LoadEngineLibrariesOrFail(); }

    // A 4:2:0 picture with padded lines (as decoders make them) whose bytes tell their row.
    static TFramePtr NumberedFrame(int width, int height) {
        TFramePtr frame = MakeFrame();
        frame->format = AV_PIX_FMT_YUV420P;
        frame->width = width;
        frame->height = height;
        frame->linesize[0] = width + 64;
        frame->linesize[1] = frame->linesize[2] = width / 2 + 64;
        EXPECT_GE(ff::av_frame_get_buffer(frame.get(), 0), 0);
        for (int plane = 0; plane < 3; ++plane) {
            const int rows = plane == 0 ? height : height / 2;
            const int bytes = plane == 0 ? width : width / 2;
            for (int y = 0; y < rows; ++y)
                for (int x = 0; x < bytes; ++x)
                    frame->data[plane][y * frame->linesize[plane] + x] =
                        static_cast<uint8_t>(y * 3 + plane);
        }
        return frame;
    }
};

TEST_F(WritableFrameTest, ASharedPictureGetsItsOwnWithTheSameLinesAndRowsOutsideTheBand) {
    TFramePtr frame = NumberedFrame(64, 20);
    TFramePtr decoderReference = MakeFrame();
    ASSERT_GE(ff::av_frame_ref(decoderReference.get(), frame.get()), 0);
    frame->pts = 1234;
    ASSERT_FALSE(ff::av_frame_is_writable(frame.get()));

    // Rows 5..8 widen to 4..9 (chroma rows 2..4); those are left for the caller to write.
    ASSERT_EQ(MakeWritableForBand(*frame, 5, 4), 0);
    EXPECT_TRUE(ff::av_frame_is_writable(frame.get()));
    EXPECT_NE(frame->data[0], decoderReference->data[0]);
    EXPECT_EQ(frame->linesize[0], 64 + 64) << "the padded lines, not the library's own";
    for (int plane = 0; plane < 3; ++plane)
        EXPECT_EQ(frame->linesize[plane], decoderReference->linesize[plane]) << plane;
    EXPECT_EQ(frame->pts, 1234) << "properties travel with the picture";
    for (int y : {0, 3, 10, 19})
        EXPECT_EQ(frame->data[0][y * frame->linesize[0] + 63], y * 3) << "luma row " << y;
    for (int y : {0, 1, 5, 9})
        EXPECT_EQ(frame->data[1][y * frame->linesize[1] + 31], y * 3 + 1) << "chroma row " << y;

    // Writing the band leaves the decoder's picture as it was.
    frame->data[0][6 * frame->linesize[0]] = 0xAB;
    EXPECT_EQ(decoderReference->data[0][6 * decoderReference->linesize[0]], 18);
}

TEST_F(WritableFrameTest, AWritablePictureStaysWhereItIs) {
    TFramePtr frame = NumberedFrame(32, 8);
    uint8_t* const before = frame->data[0];
    ASSERT_EQ(MakeWritableForBand(*frame, 0, 8), 0);
    EXPECT_EQ(frame->data[0], before);
    EXPECT_EQ(frame->data[0][7 * frame->linesize[0]], 21);
}

TEST(RowBandTest, BandsWidenToWholeChromaRowsWithinThePicture) {
    AVPixFmtDescriptor descriptor{};
    descriptor.log2_chroma_h = 1;
    TRowBand band = ChromaAlignedBand(descriptor, 9, 3, 3);
    EXPECT_EQ(band.First, 2);
    EXPECT_EQ(band.End, 6);
    band = ChromaAlignedBand(descriptor, 9, 7, 5);
    EXPECT_EQ(band.End, 9) << "never past the last row";
    descriptor.log2_chroma_h = 0;
    band = ChromaAlignedBand(descriptor, 9, 3, 3);
    EXPECT_EQ(band.First, 3);
    EXPECT_EQ(band.End, 6);
}

} // namespace
} // namespace tovik
