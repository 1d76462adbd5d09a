#include "media/YuvFromBgr.h"
#include "media/BgrFromYuv.h"
#include "media/PictureToBitmap.h"
#include "platform/Processor.h"

#include "support/BitmapSupport.h"
#include "support/TestSupport.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace tovik {
namespace {

using test::RandomBitmap;
using test::SamePixels;

// Planes of a 4:2:0 picture with padded lines, filled with a marker so stray writes show.
struct TPlanes {
    TPlanes(int width, int height) {
        lineSizes[0] = width + 32;
        lineSizes[1] = lineSizes[2] = (width + 1) / 2 + 16;
        const int chromaRows = (height + 1) / 2;
        data[0].assign(static_cast<size_t>(lineSizes[0]) * height, 0xEE);
        data[1].assign(static_cast<size_t>(lineSizes[1]) * chromaRows, 0xEE);
        data[2].assign(static_cast<size_t>(lineSizes[2]) * chromaRows, 0xEE);
        for (int i = 0; i < 3; ++i)
            planes[i] = data[i].data();
    }
    uint8_t At(int plane, int x, int y) const { return data[plane][y * lineSizes[plane] + x]; }

    std::vector<uint8_t> data[3];
    uint8_t* planes[4] = {};
    int lineSizes[4] = {};
};

TBitmap SolidBitmap(int width, int height, uint8_t b, uint8_t g, uint8_t r) {
    TBitmap bitmap(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = bitmap.ScanLine(y) + 3 * x;
            p[0] = b;
            p[1] = g;
            p[2] = r;
        }
    return bitmap;
}

TEST(YuvFromBgrTest, KnownColoursGetTheirStudioRangeValues) {
    struct TCase {
        uint8_t B, G, R;
        int Y, U, V;
    };
    // BT.601 studio range, as the scaler's decoder side expects.
    const TCase cases[] = {{0, 0, 0, 16, 128, 128},   {255, 255, 255, 235, 128, 128},
                           {0, 0, 255, 81, 90, 240},  {0, 255, 0, 145, 54, 34},
                           {255, 0, 0, 41, 240, 110}, {128, 128, 128, 126, 128, 128}};
    for (const TCase& c : cases) {
        const TBitmap bitmap = SolidBitmap(40, 6, c.B, c.G, c.R);
        TPlanes planes(40, 6);
        BgrRowsToYuv420p(bitmap, 0, 6, planes.planes, planes.lineSizes);
        EXPECT_EQ(planes.At(0, 39, 5), c.Y) << int(c.B) << "," << int(c.G) << "," << int(c.R);
        EXPECT_EQ(planes.At(1, 19, 2), c.U);
        EXPECT_EQ(planes.At(2, 0, 0), c.V);
    }
}

TEST(YuvFromBgrTest, VectorAndPortableCodeWriteTheSameBytesAndNothingElse) {
    if (!HasAvx512BytePermutes())
        GTEST_SKIP() << "this processor has no vector code";
    // Widths around the 16-pixel blocks, odd sizes, and a band that starts inside the picture.
    for (const int width : {1, 2, 15, 16, 17, 31, 33, 161, 1280}) {
        for (const int height : {1, 2, 7}) {
            const TBitmap bitmap =
                RandomBitmap(width, height, static_cast<uint32_t>(width * 9 + height));
            TPlanes vector(width, height);
            TPlanes portable(width, height);
            BgrRowsToYuv420p(bitmap, 0, height, vector.planes, vector.lineSizes, true);
            BgrRowsToYuv420p(bitmap, 0, height, portable.planes, portable.lineSizes, false);
            for (int i = 0; i < 3; ++i)
                EXPECT_EQ(vector.data[i], portable.data[i])
                    << "plane " << i << " of " << width << "x" << height;
        }
    }
    const TBitmap bitmap = RandomBitmap(100, 10, 3);
    TPlanes band(100, 10);
    BgrRowsToYuv420p(bitmap, 4, 4, band.planes, band.lineSizes);
    EXPECT_EQ(band.At(0, 0, 3), 0xEE) << "rows before the band stay";
    EXPECT_NE(band.At(0, 0, 4), 0xEE);
    EXPECT_NE(band.At(0, 99, 7), 0xEE);
    EXPECT_EQ(band.At(0, 0, 8), 0xEE) << "rows after the band stay";
    EXPECT_EQ(band.At(1, 0, 1), 0xEE);
    EXPECT_NE(band.At(1, 49, 2), 0xEE);
    EXPECT_EQ(band.At(1, 50, 2), 0xEE) << "line padding stays";
    EXPECT_EQ(band.At(2, 0, 4), 0xEE);
}

TEST(YuvFromBgrTest, LastOddColumnAndRowPairWithThemselves) {
    // A 3x3 picture: the right column and the bottom row are red, the rest black.
    TBitmap bitmap = SolidBitmap(3, 3, 0, 0, 0);
    for (int i = 0; i < 3; ++i) {
        bitmap.ScanLine(i)[3 * 2 + 2] = 255;
        bitmap.ScanLine(2)[3 * i + 2] = 255;
    }
    TPlanes planes(3, 3);
    BgrRowsToYuv420p(bitmap, 0, 3, planes.planes, planes.lineSizes, false);
    EXPECT_EQ(planes.At(2, 1, 0), 240) << "the right block is all red";
    EXPECT_EQ(planes.At(2, 0, 1), 240) << "the bottom block is all red";
    EXPECT_EQ(planes.At(2, 1, 1), 240);
    EXPECT_EQ(planes.At(2, 0, 0), 128) << "the top-left block is black";
}

// Random planes (every Y, U and V value, including those outside the studio range).
TPlanes RandomPlanes(int width, int height, uint32_t seed) {
    TPlanes planes(width, height);
    std::mt19937 random(seed);
    for (auto& plane : planes.data)
        for (uint8_t& byte : plane)
            byte = static_cast<uint8_t>(random());
    return planes;
}

TEST(BgrFromYuvTest, VectorAndPortableCodeAgreeAndRowsAreRecognised) {
    for (const int width : {1, 2, 15, 16, 17, 31, 33, 161, 1280}) {
        const int height = 5;
        const TPlanes planes = RandomPlanes(width, height, static_cast<uint32_t>(width));
        const uint8_t* source[4] = {planes.planes[0], planes.planes[1], planes.planes[2]};
        TBitmap portable(width, height);
        Yuv420pToBgr(source, planes.lineSizes, width, height, portable, false);
        TBitmap vector(width, height);
        Yuv420pToBgr(source, planes.lineSizes, width, height, vector, true);
        EXPECT_TRUE(SamePixels(vector, portable)) << "width " << width;
        // Any one byte changed anywhere in a row (first, middle or last pixel) is noticed.
        for (int y = 0; y < height; ++y) {
            EXPECT_TRUE(Yuv420pRowMatches(source, planes.lineSizes, width, y, vector.ScanLine(y)));
            for (const int i : {0, width * 3 / 2, width * 3 - 1}) {
                TBitmap changed = vector;
                changed.ScanLine(y)[i] ^= 1;
                EXPECT_FALSE(
                    Yuv420pRowMatches(source, planes.lineSizes, width, y, changed.ScanLine(y)))
                    << "width " << width << ", row " << y << ", byte " << i;
            }
        }
    }
}

TEST(BgrFromYuvTest, StudioRangeColoursAndClamping) {
    struct TCase {
        uint8_t Y, U, V;
        int B, G, R;
    };
    const TCase cases[] = {{16, 128, 128, 0, 0, 0},       {235, 128, 128, 255, 255, 255},
                           {81, 90, 240, 0, 0, 255},      {145, 54, 34, 0, 255, 1},
                           {41, 240, 110, 255, 0, 0},     {0, 128, 128, 0, 0, 0},
                           {255, 128, 128, 255, 255, 255}};
    for (const TCase& c : cases) {
        TPlanes planes(4, 2);
        for (int x = 0; x < 4; ++x) {
            planes.data[0][x] = planes.data[0][planes.lineSizes[0] + x] = c.Y;
        }
        planes.data[1][0] = planes.data[1][1] = c.U;
        planes.data[2][0] = planes.data[2][1] = c.V;
        const uint8_t* source[4] = {planes.planes[0], planes.planes[1], planes.planes[2]};
        TBitmap bitmap(4, 2);
        Yuv420pToBgr(source, planes.lineSizes, 4, 2, bitmap);
        const uint8_t* p = bitmap.ScanLine(1) + 9;
        EXPECT_NEAR(p[0], c.B, 1) << int(c.Y) << "," << int(c.U) << "," << int(c.V);
        EXPECT_NEAR(p[1], c.G, 1);
        EXPECT_NEAR(p[2], c.R, 1);
    }
}

class YuvRoundTripTest : public ::testing::Test {
protected:
    void SetUp() override { test::LoadEngineLibrariesOrFail(); }
};

TEST_F(YuvRoundTripTest, ColoursSurviveAWriteBackAndAnotherRead) {
    // A smooth picture (chroma is shared by 2x2 blocks, so noise could not come back).
    const int width = 96;
    const int height = 64;
    TBitmap bitmap(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = bitmap.ScanLine(y) + 3 * x;
            p[0] = static_cast<uint8_t>(40 + x);
            p[1] = static_cast<uint8_t>(200 - 2 * y);
            p[2] = static_cast<uint8_t>(30 + x + y);
        }
    TFramePtr frame = MakeFrame();
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = width;
    frame->height = height;
    ASSERT_GE(ff::av_frame_get_buffer(frame.get(), 0), 0);
    TPictureConverter converter;
    ASSERT_TRUE(
        converter.BitmapToPicture(bitmap, frame->data, frame->linesize, AV_PIX_FMT_YUV420P));
    TBitmap back;
    ASSERT_TRUE(converter.FrameToBitmap(*frame, back));
    int worst = 0;
    for (int y = 0; y < height; ++y)
        for (int i = 0; i < width * 3; ++i)
            worst = std::max(worst, std::abs(back.ScanLine(y)[i] - bitmap.ScanLine(y)[i]));
    EXPECT_LE(worst, 6);
}

TEST_F(YuvRoundTripTest, OwnConversionAgreesWithTheScaler) {
    // Studio-range pictures, converted by the scaler and by our own code.
    const int width = 64;
    const int height = 32;
    TPlanes planes(width, height);
    std::mt19937 random(11);
    for (int plane = 0; plane < 3; ++plane)
        for (uint8_t& byte : planes.data[plane])
            byte = static_cast<uint8_t>(plane == 0 ? 16 + random() % 220 : 16 + random() % 225);
    const uint8_t* source[4] = {planes.planes[0], planes.planes[1], planes.planes[2]};
    TBitmap ours(width, height);
    Yuv420pToBgr(source, planes.lineSizes, width, height, ours);
    TSwsContextPtr scaler(ff::sws_getContext(width, height, AV_PIX_FMT_YUV420P, width, height,
                                             AV_PIX_FMT_BGR24, SWS_BICUBIC, nullptr, nullptr,
                                             nullptr));
    ASSERT_TRUE(scaler);
    TBitmap theirs(width, height);
    uint8_t* target[4] = {theirs.Bits()};
    const int targetLines[4] = {theirs.BytesPerLine()};
    ff::sws_scale(scaler.get(), source, planes.lineSizes, 0, height, target, targetLines);
    int worst = 0;
    for (int y = 0; y < height; ++y)
        for (int i = 0; i < width * 3; ++i)
            worst = std::max(worst, std::abs(ours.ScanLine(y)[i] - theirs.ScanLine(y)[i]));
    // The scaler's vector code rounds more coarsely than ours.
    EXPECT_LE(worst, 3);
}

} // namespace
} // namespace tovik
