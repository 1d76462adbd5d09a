// Black borders: which edge rows and columns are dark in every picture, on drawn pictures,
// and found in clips with real bars, a dark first half and a picture stored on its side.

#include "media/BlackBorders.h"
#include "media/PictureSampler.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace tovik {
namespace {

// A picture of width x height, bright (grey level) inside the bars and black in them.
TBitmap Framed(int width, int height, const TBorderMargins& bars, uint8_t level = 160) {
    TBitmap picture(width, height);
    for (int y = bars.Top; y < height - bars.Bottom; ++y)
        for (int x = bars.Left; x < width - bars.Right; ++x)
            for (int c = 0; c < 3; ++c)
                picture.ScanLine(y)[3 * x + c] = static_cast<uint8_t>(level);
    return picture;
}

void Paint(TBitmap& picture, int x0, int y0, int width, int height, uint8_t level) {
    for (int y = y0; y < y0 + height; ++y)
        for (int x = x0; x < x0 + width; ++x)
            for (int c = 0; c < 3; ++c)
                picture.ScanLine(y)[3 * x + c] = level;
}

TEST(BorderScan, BarsSharedByEveryPictureCount) {
    TBorderScan scan;
    scan.Add(Framed(200, 100, {10, 12, 20, 22}));
    EXPECT_EQ(scan.Margins(), (TBorderMargins{10, 12, 20, 22}));
    // A second picture whose content reaches further at the top and the right: the bars
    // are only what both share.
    scan.Add(Framed(200, 100, {4, 12, 20, 0}));
    EXPECT_EQ(scan.Pictures(), 2);
    EXPECT_EQ(scan.Margins(), (TBorderMargins{4, 12, 20, 0}));
}

TEST(BorderScan, DarkScenesNeverBecomeBars) {
    TBorderScan scan;
    // The top 40 rows of a picture are a dark scene (grey 20) over real bars of 8 rows.
    TBitmap night = Framed(160, 120, {8, 8, 0, 0});
    Paint(night, 0, 8, 160, 40, 20);
    scan.Add(night);
    EXPECT_EQ(scan.Margins().Top, 48) << "one picture cannot tell night from a bar";
    scan.Add(Framed(160, 120, {8, 8, 0, 0}));
    EXPECT_EQ(scan.Margins(), (TBorderMargins{8, 8, 0, 0}));

    // A picture dark all over says nothing and is left out.
    scan.Add(Framed(160, 120, {0, 0, 0, 0}, 10));
    EXPECT_EQ(scan.Pictures(), 2);
    EXPECT_EQ(scan.Margins(), (TBorderMargins{8, 8, 0, 0}));

    // Only dark pictures: no bars at all.
    TBorderScan dark;
    dark.Add(Framed(160, 120, {0, 0, 0, 0}, 0));
    EXPECT_EQ(dark.Pictures(), 0);
    EXPECT_TRUE(dark.Margins().Empty());
}

TEST(BorderScan, NoiseInABarAndSpotsInAPicture) {
    TBorderScan scan;
    TBitmap picture = Framed(320, 180, {20, 20, 0, 0});
    // A pixel of noise in a bar row does not end the bar; a bright line (a subtitle) does.
    Paint(picture, 100, 5, 2, 1, 255);
    Paint(picture, 40, 170, 240, 2, 230);
    scan.Add(picture);
    EXPECT_EQ(scan.Margins(), (TBorderMargins{20, 8, 0, 0}));

    // A small bright spot on black in every picture is not a frame of bars.
    TBorderScan spot;
    TBitmap lamp(320, 180);
    Paint(lamp, 150, 80, 20, 20, 250);
    spot.Add(lamp);
    EXPECT_TRUE(spot.Margins().Empty());

    // Pictures of another size than the first are left out.
    scan.Add(Framed(160, 90, {0, 0, 0, 0}));
    EXPECT_EQ(scan.Pictures(), 1);
}

TEST(BorderScan, BarsOfAStoredPictureAsShown) {
    const TBorderMargins stored{1, 2, 3, 4}; // top, bottom, left, right
    EXPECT_EQ(UprightMargins(stored, 0), stored);
    // Turned clockwise: the stored left edge is the top, the stored top the right.
    EXPECT_EQ(UprightMargins(stored, 90), (TBorderMargins{3, 4, 2, 1}));
    EXPECT_EQ(UprightMargins(stored, 180), (TBorderMargins{2, 1, 4, 3}));
    EXPECT_EQ(UprightMargins(stored, 270), (TBorderMargins{4, 3, 1, 2}));
    EXPECT_EQ(UprightMargins(stored, 45), stored);
}

class BorderDetectionTest : public ::testing::Test {
protected:
    void SetUp() override { test::LoadEngineLibrariesOrFail(); }

    static TBorderMargins Detect(const std::string& clip) {
        TBorderMargins margins;
        std::string error;
        EXPECT_TRUE(DetectBlackBorders(test::MediaFile(clip), margins, error)) << error;
        return margins;
    }
};

TEST_F(BorderDetectionTest, PillarAndLetterBoxBarsAreFound) {
    // A 4:3 picture in 640 x 360: 80 columns each side.
    const TBorderMargins pillar = Detect("edit_pillarbox.mp4");
    EXPECT_NEAR(pillar.Left, 80, 2);
    EXPECT_NEAR(pillar.Right, 80, 2);
    EXPECT_EQ(pillar.Top, 0);
    EXPECT_EQ(pillar.Bottom, 0);
    // A 2.39:1 picture in 640 x 360: 46 rows at the top and the bottom.
    const TBorderMargins letter = Detect("edit_letterbox.mp4");
    EXPECT_NEAR(letter.Top, 46, 2);
    EXPECT_NEAR(letter.Bottom, 46, 2);
    EXPECT_EQ(letter.Left, 0);
    EXPECT_EQ(letter.Right, 0);
}

TEST_F(BorderDetectionTest, PicturesComeFromAcrossTheFile) {
    TPictureSampler sampler;
    ASSERT_TRUE(sampler.Open(test::MediaFile("edit_dark_half.mp4"))) << sampler.LastError();
    std::vector<int64_t> times;
    EXPECT_EQ(sampler.Sample(10,
                             [&](const TBitmap& picture, int64_t time) {
                                 EXPECT_EQ(picture.Width(), 640);
                                 times.push_back(time);
                             }),
              10);
    ASSERT_EQ(times.size(), 10u);
    // The 10 s clip: one picture in each tenth, at or just after its middle.
    for (size_t i = 0; i < times.size(); ++i)
        EXPECT_NEAR(static_cast<double>(times[i]), (2 * i + 1) * 500000.0, 40001.0) << i;

    // Without a length: one picture in 25 from the start (3 s at 25 fps).
    TPictureSampler unmeasured;
    ASSERT_TRUE(unmeasured.Open(test::MediaFile("edit_nolength.mkv"))) << unmeasured.LastError();
    times.clear();
    EXPECT_EQ(unmeasured.Sample(10, [&](const TBitmap&, int64_t time) { times.push_back(time); }),
              3);
    EXPECT_EQ(times, (std::vector<int64_t>{960000, 1960000, 2960000}));

    // Dark for its first half: the dark pictures tell nothing, the bright ones reach the
    // edges, so nothing is proposed.
    EXPECT_TRUE(Detect("edit_dark_half.mp4").Empty());
}

TEST_F(BorderDetectionTest, APictureStoredOnItsSideAndFilesWithoutPictures) {
    // Stored 160 x 96 with the bottom half black; shown upright that half is on the right.
    const TBorderMargins turned = Detect("player_rotated.mp4");
    EXPECT_EQ(turned.Right, 48);
    EXPECT_EQ(turned.Left, 0);
    EXPECT_EQ(turned.Top, 0);
    EXPECT_EQ(turned.Bottom, 0);

    TBorderMargins margins{1, 1, 1, 1};
    std::string error;
    EXPECT_FALSE(DetectBlackBorders(test::MediaFile("fileinfo_tone.mp3"), margins, error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(margins.Empty());
    error.clear();
    EXPECT_FALSE(DetectBlackBorders(test::MediaFile("no_such_clip.mp4"), margins, error));
    EXPECT_FALSE(error.empty());
}

} // namespace
} // namespace tovik
