// The watermark dialog's rules: its caption, the two-thumb slider's thumbs and what a row
// of the layer list becomes in the job record.

#include "dialogs/watermark/WaterMarkRules.h"
#include "dialogs/watermark/RangeThumbs.h"
#include "dialogs/watermark/WaterMarkHelp.h"

#include "support/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace tovik {
namespace {

TEST(WaterMarkCaptionTest, LongPathsAreCutToFiftyCharactersAndTheExtension) {
    EXPECT_EQ(WaterMarkCaption("/v/clip.avi"), "Water Mark  /v/clip.avi");
    // 55 characters: still whole.
    const std::string path55 = "/" + std::string(50, 'a') + ".avi";
    ASSERT_EQ(path55.size(), 55u);
    EXPECT_EQ(WaterMarkCaption(path55), "Water Mark  " + path55);
    // 60 characters: the first 50, "..", the extension and two spaces.
    const std::string path60 = "/videos/" + std::string(48, 'b') + ".avi";
    ASSERT_EQ(path60.size(), 60u);
    EXPECT_EQ(WaterMarkCaption(path60), "Water Mark  " + path60.substr(0, 50) + "...avi  ");
    // Characters, not bytes: 56 two-byte letters are cut after 50 of them.
    std::string wide = "/";
    for (int i = 0; i < 55; ++i)
        wide += "\xC3\xA9"; // é
    const std::string cut = WaterMarkCaption(wide);
    EXPECT_EQ(cut, "Water Mark  " + wide.substr(0, 1 + 49 * 2) + "..  ");
}

TEST(RangeThumbsTest, TheLowerThumbStaysBelowTheUpperOne) {
    TRangeThumbs thumbs;
    thumbs.SetRange(0, 20);
    thumbs.SetLower(0);
    thumbs.SetUpper(20);
    EXPECT_TRUE(thumbs.SetLower(20));
    EXPECT_EQ(thumbs.Lower(), 19) << "at the upper thumb: one below it";
    EXPECT_TRUE(thumbs.SetUpper(5));
    EXPECT_EQ(thumbs.Upper(), 20) << "at or below the lower thumb: one above it";
    thumbs.SetLower(3);
    thumbs.SetUpper(3);
    EXPECT_EQ(thumbs.Upper(), 4);
    thumbs.SetUpper(99);
    EXPECT_EQ(thumbs.Upper(), 20) << "above the maximum: the maximum";
    thumbs.SetLower(-7);
    EXPECT_EQ(thumbs.Lower(), 0) << "below the minimum: the minimum";
    thumbs.SetLower(50);
    EXPECT_EQ(thumbs.Lower(), 19);
    // A change that changes nothing is reported all the same.
    EXPECT_TRUE(thumbs.SetLower(19));
}

TEST(RangeThumbsTest, AnUnknownLengthGivesMaximumZeroAndUpperThumbOne) {
    TRangeThumbs thumbs;
    thumbs.SetRange(0, 0);
    thumbs.SetLower(0);
    thumbs.SetUpper(thumbs.Maximum());
    EXPECT_EQ(thumbs.Maximum(), 0);
    EXPECT_EQ(thumbs.Lower(), 0);
    EXPECT_EQ(thumbs.Upper(), 1);
}

TEST(RangeThumbsTest, AClickMovesTheThumbOfItsHalf) {
    TRangeThumbs thumbs;
    thumbs.SetRange(0, 100);
    thumbs.SetUpper(60);
    thumbs.SetLower(20);
    EXPECT_FALSE(thumbs.UpperHalf(5));
    EXPECT_FALSE(thumbs.UpperHalf(39));
    EXPECT_TRUE(thumbs.UpperHalf(41));
    EXPECT_TRUE(thumbs.UpperHalf(90));
}

TEST(LayerRecordTest, RowsBecomeLayersWithRoundedGeometry) {
    TWmRec text;
    text.Kind = TWmRec::kText;
    text.Font.Name = "DejaVu Sans";
    text.Font.Size = 26;
    text.Font.Bold = true;
    text.Font.Color = 0xFF0000;
    text.BackColor = 0x008000;
    text.BackFilled = true;
    text.StartSecond = 2;
    text.EndSecond = 4;
    text.PictureFile = "ignored for text";
    // Partly out of the frame: negative coordinates, rounded half to even.
    const TWmRec written = LayerRecord(text, "Hello", {-12.5, -3.5, 87.5, 30.5}, 125);
    EXPECT_EQ(written.Text, "Hello");
    EXPECT_EQ(written.TextLeft, -12);
    EXPECT_EQ(written.TextTop, -4);
    EXPECT_EQ(written.TextWidth, 100);
    EXPECT_EQ(written.TextHeight, 34);
    EXPECT_EQ(written.TextOpacity, 125);
    EXPECT_EQ(written.Font.Name, "DejaVu Sans");
    EXPECT_TRUE(written.Font.Bold);
    EXPECT_EQ(written.Font.Color, 0xFF0000u);
    EXPECT_TRUE(written.BackFilled);
    EXPECT_EQ(written.BackColor, 0x008000u);
    EXPECT_EQ(written.StartSecond, 2);
    EXPECT_EQ(written.EndSecond, 4);
    EXPECT_TRUE(written.PictureFile.empty());

    TWmRec picture;
    picture.Kind = TWmRec::kPicture;
    picture.PictureFile = "/logos/a.png";
    picture.EndSecond = 9;
    const TWmRec placed = LayerRecord(picture, "/logos/a.png", {10.5, 11.5, 74.4, 43.6}, 255);
    EXPECT_EQ(placed.Kind, TWmRec::kPicture);
    EXPECT_EQ(placed.PictureFile, "/logos/a.png");
    EXPECT_EQ(placed.PictureLeft, 10);
    EXPECT_EQ(placed.PictureTop, 12);
    EXPECT_EQ(placed.PictureWidth, 64);
    EXPECT_EQ(placed.PictureHeight, 32);
    EXPECT_EQ(placed.PictureOpacity, 255);
    EXPECT_TRUE(placed.Text.empty());
}

TEST(LayerWindowTest, NewLayersLastToTheSourcesLastSecondOrToTheEnd) {
    EXPECT_EQ(NewLayerEnd(6'000'000), 6);
    EXPECT_EQ(NewLayerEnd(6'999'999), 6);
    EXPECT_EQ(NewLayerEnd(0), kUntilTheEnd);
    EXPECT_EQ(WindowText(6), "0:00:06");
    EXPECT_EQ(WindowText(kUntilTheEnd), "end");
}

TEST(ColorChoicesTest, TheDefaultsAreBlueTextOnGreen) {
    const auto& choices = ColorChoices();
    ASSERT_GE(choices.size(), 20u);
    EXPECT_STREQ(choices[12].Name, "Blue");
    EXPECT_EQ(ColorRefToRgb(choices[12].Color), 0x0000FFu);
    EXPECT_STREQ(choices[2].Name, "Green");
    EXPECT_EQ(ColorRefToRgb(choices[2].Color), 0x008000u);
    EXPECT_STREQ(choices[19].Name, "Medium Gray");
}

TEST(WaterMarkHelpTest, ThePageIsFoundBesideTheProgramOrInItsShareFolder) {
    namespace fs = std::filesystem;
    test::TTempDir dir;
    const fs::path bin = dir.Path() / "prefix" / "bin";
    fs::create_directories(bin);
    EXPECT_EQ(WaterMarkHelpFileOf(bin.string()), "");
    const fs::path installed = dir.Path() / "prefix" / "share" / "tovik" / "help";
    fs::create_directories(installed);
    test::WriteTextFile((installed / kWaterMarkHelpName).string(), "<html></html>");
    EXPECT_EQ(WaterMarkHelpFileOf(bin.string()), (installed / kWaterMarkHelpName).string());
    // The build tree's copy beside the program comes first.
    fs::create_directories(bin / "help");
    test::WriteTextFile((bin / "help" / kWaterMarkHelpName).string(), "<html></html>");
    EXPECT_EQ(WaterMarkHelpFileOf(bin.string()), (bin / "help" / kWaterMarkHelpName).string());
}

} // namespace
} // namespace tovik
