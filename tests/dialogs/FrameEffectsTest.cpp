#include "dialogs/effects/FrameEffects.h"

#include <cstring>
#include <gtest/gtest.h>
#include <vector>

namespace tovik {
namespace {

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

} // namespace
} // namespace tovik
