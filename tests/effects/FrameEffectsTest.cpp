#include "effects/FrameEffects.h"
#include "effects/PixelKernels.h"
#include "platform/Processor.h"

#include "support/BitmapSupport.h"

#include <algorithm>
#include <cfenv>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>

namespace tovik {
namespace {

using test::RandomBitmap;
using test::SamePixels;

// A one-row bitmap whose pixels are grey levels (all three bytes equal).
TBitmap GreyRow(const std::vector<int>& levels) {
    TBitmap bitmap(static_cast<int>(levels.size()), 1);
    for (size_t i = 0; i < levels.size(); ++i)
        for (int c = 0; c < 3; ++c)
            bitmap.ScanLine(0)[3 * i + c] = static_cast<uint8_t>(levels[i]);
    return bitmap;
}

std::vector<int> FirstBytes(const TBitmap& bitmap) {
    std::vector<int> values;
    for (int x = 0; x < bitmap.Width(); ++x)
        values.push_back(bitmap.ScanLine(0)[3 * x]);
    return values;
}

std::vector<int> Pixel(const TBitmap& bitmap, int x, int y) {
    const uint8_t* p = bitmap.ScanLine(y) + 3 * x;
    return {p[0], p[1], p[2]};
}

std::vector<int> Levels(int brightness, int contrast, int saturation, std::vector<int> in) {
    TBitmap row = GreyRow(in);
    ApplyColorAdjust(row, brightness, contrast, saturation);
    return FirstBytes(row);
}

TEST(ColorAdjustTest, Brightness) {
    std::vector<int> all(256);
    for (int i = 0; i < 256; ++i)
        all[i] = i;
    EXPECT_EQ(Levels(256, 0, 256, all), all) << "256/0/256 is the identity";
    EXPECT_EQ(Levels(255, 0, 256, {255, 128, 0}), (std::vector<int>{254, 127, 0}));
    EXPECT_EQ(Levels(0, 0, 256, {0, 77, 255}), (std::vector<int>{1, 1, 1}));
    EXPECT_EQ(Levels(512, 0, 256, {64, 128, 200, 255}), (std::vector<int>{127, 255, 255, 255}));
}

TEST(ColorAdjustTest, Contrast) {
    const std::vector<int> in = {0, 85, 128, 170, 200, 255};
    EXPECT_EQ(Levels(256, 50, 256, in), (std::vector<int>{0, 50, 111, 170, 212, 255}));
    EXPECT_EQ(Levels(256, -50, 256, in), (std::vector<int>{50, 110, 140, 170, 191, 230}));
    EXPECT_EQ(Levels(256, 100, 256, {128, 171}), (std::vector<int>{0, 234})) << "100 acts as 99";
    EXPECT_EQ(Levels(256, -100, 256, in), std::vector<int>(in.size(), 170));
}

TEST(ColorAdjustTest, SaturationPullsTowardOrPushesAwayFromGrey) {
    TBitmap bitmap(1, 1);
    auto set = [&] {
        bitmap.ScanLine(0)[0] = 10;
        bitmap.ScanLine(0)[1] = 100;
        bitmap.ScanLine(0)[2] = 200;
    };
    set();
    ApplyColorAdjust(bitmap, 256, 0, 0);
    EXPECT_EQ(Pixel(bitmap, 0, 0), (std::vector<int>{103, 103, 103}));
    set();
    ApplyColorAdjust(bitmap, 256, 0, 512);
    EXPECT_EQ(Pixel(bitmap, 0, 0), (std::vector<int>{0, 97, 255}));
}

TEST(ExposureTest, LiftsAndLowersLevels) {
    const std::vector<int> in = {0, 1, 32, 64, 128, 192, 254, 255};
    TBitmap row = GreyRow(in);
    ApplyExposure(row, 0);
    EXPECT_EQ(FirstBytes(row), in);
    ApplyExposure(row, 100);
    EXPECT_EQ(FirstBytes(row), (std::vector<int>{0, 2, 71, 125, 196, 235, 254, 255}));
    uint8_t table[256];
    BuildExposureTable(-100, table);
    for (int i = 0; i <= 157; ++i)
        EXPECT_EQ(table[i], 0) << i;
    EXPECT_EQ(table[192], 52);
    EXPECT_EQ(table[254], 251);
    EXPECT_EQ(table[255], 255);
}

TEST(BlendTest, OpacityZeroKeepsAndFullOpacityIsWithinOneLevel) {
    TBitmap dest = GreyRow({10, 200});
    TBitmap source = GreyRow({250, 0});
    BlendBitmap(dest, source, 0, 0, 0);
    EXPECT_EQ(FirstBytes(dest), (std::vector<int>{10, 200}));
    BlendBitmap(dest, source, 0, 0, 255);
    // (255 * s + d) >> 8
    EXPECT_EQ(FirstBytes(dest), (std::vector<int>{(255 * 250 + 10) >> 8, (255 * 0 + 200) >> 8}));
}

TEST(BlendTest, LayersAreCutAtEveryEdge) {
    TBitmap dest(4, 4);
    TBitmap source(3, 3);
    for (int y = 0; y < 3; ++y)
        std::memset(source.ScanLine(y), 255, 9);
    auto covered = [&] {
        int count = 0;
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x)
                count += dest.ScanLine(y)[3 * x] != 0;
        return count;
    };
    BlendBitmap(dest, source, 2, 2, 255); // past right and bottom: a 2x2 corner
    EXPECT_EQ(covered(), 4);
    dest.SetSize(4, 4);
    BlendBitmap(dest, source, -2, -1, 255); // left of and above the frame: clipped, no crash
    EXPECT_EQ(covered(), 2);
    EXPECT_NE(dest.ScanLine(0)[0], 0);
    dest.SetSize(4, 4);
    BlendBitmap(dest, source, 4, 0, 255); // starting at the edge draws nothing
    BlendBitmap(dest, source, -3, 0, 255);
    EXPECT_EQ(covered(), 0);
}

TEST(ColorTablesTest, TablesDoNotDependOnTheCallersRoundingMode) {
    TColorTables nearest;
    BuildColorTables(300, 37, 200, nearest);
    uint8_t exposureNearest[256];
    BuildExposureTable(45, exposureNearest);
    const int saved = std::fegetround();
    for (const int mode : {FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
        std::fesetround(mode);
        TColorTables tables;
        BuildColorTables(300, 37, 200, tables);
        uint8_t exposure[256];
        BuildExposureTable(45, exposure);
        EXPECT_EQ(std::fegetround(), mode) << "the caller's mode comes back";
        std::fesetround(saved);
        EXPECT_EQ(0, std::memcmp(tables.Levels, nearest.Levels, sizeof tables.Levels)) << mode;
        EXPECT_EQ(0, std::memcmp(exposure, exposureNearest, sizeof exposure)) << mode;
    }
}

// The colour pass and then the exposure pass straight from their tables.
TBitmap ReferencePasses(TBitmap bitmap, int brightness, int contrast, int saturation,
                        float exposure) {
    TColorTables tables;
    BuildColorTables(brightness, contrast, saturation, tables);
    uint8_t exposureTable[256];
    BuildExposureTable(exposure, exposureTable);
    for (int y = 0; y < bitmap.Height(); ++y) {
        uint8_t* p = bitmap.ScanLine(y);
        for (int x = 0; x < bitmap.Width(); ++x, p += 3) {
            const int base = tables.GrayBase[p[0] + p[1] + p[2]];
            for (int c = 0; c < 3; ++c)
                p[c] = tables.Levels[std::clamp(base + tables.Weights[p[c]], 0, 255)];
            for (int c = 0; c < 3; ++c)
                p[c] = exposureTable[p[c]];
        }
    }
    return bitmap;
}

struct TPassCase {
    int Brightness, Contrast, Saturation;
    float Exposure;
};
const TPassCase kPassCases[] = {{256, 0, 256, 0},     {300, 20, 200, 15},   {0, -100, 0, -100},
                                {512, 100, 512, 100}, {128, 99, 1024, 512}, {256, -50, 37, -255},
                                {400, 50, 2000, 60}};

TEST(ColorPassTest, OneSweepEqualsColourThenExposureAtEveryWidth) {
    for (const int width : {1, 2, 63, 64, 65, 127, 128, 129, 333}) {
        const TBitmap source = RandomBitmap(width, 3, static_cast<uint32_t>(width));
        for (const TPassCase& c : kPassCases) {
            const TBitmap expected =
                ReferencePasses(source, c.Brightness, c.Contrast, c.Saturation, c.Exposure);
            TBitmap fused = source;
            ApplyColorAndExposure(fused, c.Brightness, c.Contrast, c.Saturation, c.Exposure);
            EXPECT_TRUE(SamePixels(fused, expected))
                << "width " << width << ", saturation " << c.Saturation;
            TBitmap twoPasses = source;
            ApplyColorAdjust(twoPasses, c.Brightness, c.Contrast, c.Saturation);
            ApplyExposure(twoPasses, c.Exposure);
            EXPECT_TRUE(SamePixels(twoPasses, expected)) << "width " << width;
        }
    }
}

TEST(ColorPassTest, VectorAndPortableKernelsAgreeOnEveryPixel) {
    if (!HasAvx512BytePermutes())
        GTEST_SKIP() << "this processor has no vector kernels";
    // Every sum of three bytes and every level, for each saturation weight range.
    const TBitmap source = RandomBitmap(64 * 40 + 17, 24, 7);
    for (const TPassCase& c : kPassCases) {
        TColorTables tables;
        BuildColorTables(c.Brightness, c.Contrast, c.Saturation, tables);
        kernels::TColorPass pass;
        pass.Adjust = true;
        pass.Saturation = c.Saturation;
        pass.Weights = tables.Weights;
        pass.GrayBase = tables.GrayBase;
        std::copy(std::begin(tables.Levels), std::end(tables.Levels), pass.Final);
        TBitmap portable = source;
        TBitmap vector = source;
        for (int y = 0; y < source.Height(); ++y) {
            kernels::ColorRowPortable(portable.ScanLine(y), source.Width(), pass);
            kernels::ColorRowVector(vector.ScanLine(y), source.Width(), pass);
        }
        EXPECT_TRUE(SamePixels(vector, portable)) << "saturation " << c.Saturation;
        pass.Adjust = false;
        TBitmap levelsOnly = source;
        kernels::LevelBytesVector(levelsOnly.ScanLine(0), source.Width() * 3, pass.Final);
        for (int i = 0; i < source.Width() * 3; ++i)
            ASSERT_EQ(levelsOnly.ScanLine(0)[i], pass.Final[source.ScanLine(0)[i]]) << i;
    }
}

} // namespace
} // namespace tovik
