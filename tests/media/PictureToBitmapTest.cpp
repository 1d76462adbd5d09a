#include "media/PictureToBitmap.h"

#include "support/TestSupport.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace tovik {
namespace {

class PictureToBitmapTest : public ::testing::Test {
protected:
    void SetUp() override { test::LoadEngineLibrariesOrFail(); }

    static TFramePtr SolidYuvFrame(int width, int height, uint8_t y, uint8_t u, uint8_t v) {
        TFramePtr frame = MakeFrame();
        frame->format = AV_PIX_FMT_YUV420P;
        frame->width = width;
        frame->height = height;
        EXPECT_GE(ff::av_frame_get_buffer(frame.get(), 0), 0);
        for (int row = 0; row < height; ++row)
            std::memset(frame->data[0] + row * frame->linesize[0], y, width);
        for (int row = 0; row < height / 2; ++row) {
            std::memset(frame->data[1] + row * frame->linesize[1], u, width / 2);
            std::memset(frame->data[2] + row * frame->linesize[2], v, width / 2);
        }
        return frame;
    }
};

TEST_F(PictureToBitmapTest, YuvRedBecomesBgrRed) {
    // Limited-range BT.601 red: Y 81, U 90, V 240.
    TFramePtr frame = SolidYuvFrame(64, 48, 81, 90, 240);
    TPictureConverter converter;
    TBitmap bitmap;
    ASSERT_TRUE(converter.FrameToBitmap(*frame, bitmap));
    ASSERT_EQ(bitmap.Width(), 64);
    ASSERT_EQ(bitmap.Height(), 48);
    for (int y : {0, 24, 47}) {
        const uint8_t* pixel = bitmap.ScanLine(y) + 3 * 31;
        EXPECT_LE(pixel[0], 8) << "blue";
        EXPECT_LE(pixel[1], 8) << "green";
        EXPECT_GE(pixel[2], 247) << "red";
    }
}

TEST_F(PictureToBitmapTest, RowsArePaddedToFourBytesAndSizesFollowThePicture) {
    TFramePtr frame = SolidYuvFrame(30, 20, 235, 128, 128); // white
    TPictureConverter converter;
    TBitmap bitmap(8, 8);
    ASSERT_TRUE(converter.FrameToBitmap(*frame, bitmap));
    EXPECT_EQ(bitmap.Width(), 30);
    EXPECT_EQ(bitmap.BytesPerLine(), 92);
    EXPECT_GE(bitmap.ScanLine(19)[3 * 29 + 2], 250);
    // A smaller picture next: the same converter and bitmap follow it.
    TFramePtr small = SolidYuvFrame(16, 16, 16, 128, 128); // black
    ASSERT_TRUE(converter.FrameToBitmap(*small, bitmap));
    EXPECT_EQ(bitmap.Width(), 16);
    EXPECT_LE(bitmap.ScanLine(15)[0], 4);
}

TEST_F(PictureToBitmapTest, BgrPicturesAreCopiedExactly) {
    const int width = 5;
    const int height = 3;
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * 3 * height);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<uint8_t>(i * 7);
    const uint8_t* planes[4] = {pixels.data(), nullptr, nullptr, nullptr};
    const int lines[4] = {width * 3, 0, 0, 0};
    TPictureConverter converter;
    TBitmap bitmap;
    ASSERT_TRUE(converter.PictureToBitmap(planes, lines, AV_PIX_FMT_BGR24, width, height, bitmap));
    for (int y = 0; y < height; ++y)
        EXPECT_EQ(0, std::memcmp(bitmap.ScanLine(y), pixels.data() + y * width * 3, width * 3));
}

TEST_F(PictureToBitmapTest, BitmapWritesBackIntoTheFrame) {
    TFramePtr frame = SolidYuvFrame(32, 32, 16, 128, 128);
    TPictureConverter converter;
    TBitmap bitmap;
    ASSERT_TRUE(converter.FrameToBitmap(*frame, bitmap));
    for (int y = 0; y < 32; ++y)
        std::memset(bitmap.ScanLine(y), 255, 32 * 3); // paint it white
    ASSERT_TRUE(
        converter.BitmapToPicture(bitmap, frame->data, frame->linesize, AV_PIX_FMT_YUV420P));
    EXPECT_GE(frame->data[0][5 * frame->linesize[0] + 5], 230);
    EXPECT_NEAR(frame->data[1][3], 128, 3);
}

TEST_F(PictureToBitmapTest, ABandOfRowsGoesBackAndTheOtherRowsStayExactly) {
    TFramePtr frame = SolidYuvFrame(64, 48, 100, 128, 128);
    frame->data[0][40 * frame->linesize[0] + 7] = 77; // a detail outside the band
    TPictureConverter converter;
    TBitmap bitmap;
    ASSERT_TRUE(converter.FrameToBitmap(*frame, bitmap));
    for (int y = 11; y <= 14; ++y)
        std::memset(bitmap.ScanLine(y), 255, 64 * 3);
    ASSERT_TRUE(converter.BitmapRowsToPicture(bitmap, 11, 4, frame->data, frame->linesize,
                                              AV_PIX_FMT_YUV420P));
    for (int y = 11; y <= 14; ++y)
        EXPECT_GE(frame->data[0][y * frame->linesize[0] + 20], 230) << y;
    // The band widens to whole chroma rows (10..15); everything else is untouched.
    EXPECT_EQ(frame->data[0][9 * frame->linesize[0] + 20], 100);
    EXPECT_EQ(frame->data[0][16 * frame->linesize[0] + 20], 100);
    EXPECT_EQ(frame->data[0][40 * frame->linesize[0] + 7], 77);
    EXPECT_EQ(frame->data[1][2 * frame->linesize[1] + 5], 128);
}

TEST_F(PictureToBitmapTest, EditedRowsAreFoundWithAndWithoutACopy) {
    // 4:2:0 rows are recomputed from the picture; other formats are compared with a copy.
    for (const AVPixelFormat format : {AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUV444P}) {
        TFramePtr frame = MakeFrame();
        frame->format = format;
        frame->width = 70;
        frame->height = 12;
        ASSERT_GE(ff::av_frame_get_buffer(frame.get(), 0), 0);
        for (int plane = 0; plane < 3; ++plane)
            for (int y = 0; y < (plane && format == AV_PIX_FMT_YUV420P ? 6 : 12); ++y)
                for (int x = 0; x < 70; ++x)
                    frame->data[plane][y * frame->linesize[plane] + x] =
                        static_cast<uint8_t>(60 + 3 * x + 5 * y + 40 * plane);
        TPictureConverter converter;
        TBitmap bitmap;
        TBitmap original;
        ASSERT_TRUE(converter.FrameToEditableBitmap(*frame, bitmap, original));
        bitmap.ScanLine(7)[3 * 69 + 2] ^= 0x10;
        for (int y = 0; y < 12; ++y)
            EXPECT_EQ(converter.RowChanged(*frame, bitmap, original, y), y == 7)
                << "row " << y << " of format " << format;
    }
}

TEST_F(PictureToBitmapTest, EmptyPicturesAreRefused) {
    TPictureConverter converter;
    TBitmap bitmap;
    const uint8_t* planes[4] = {};
    const int lines[4] = {};
    EXPECT_FALSE(converter.PictureToBitmap(planes, lines, AV_PIX_FMT_YUV420P, 0, 10, bitmap));
}

} // namespace
} // namespace tovik
