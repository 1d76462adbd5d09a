#include "workspace/picture/SnapshotFiles.h"

#include "platform/Environment.h"
#include "settings/IniFile.h"
#include "support/TestSupport.h"

#include <QImage>
#include <filesystem>
#include <gtest/gtest.h>

namespace tovik {
namespace {

namespace fs = std::filesystem;

TBitmap Solid(int width, int height, uint8_t blue, uint8_t green, uint8_t red) {
    TBitmap bitmap(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = bitmap.ScanLine(y) + 3 * x;
            p[0] = blue;
            p[1] = green;
            p[2] = red;
        }
    return bitmap;
}

class SnapshotFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedHome_ = platform::GetEnv("HOME").value_or("");
        platform::SetEnv("HOME", home_.Path().string());
        settingsFile_ = home_.File("settings.ini");
        snapDir_ = home_.File("snaps");
        TIniFile(settingsFile_).WriteString("settings", "SnapOutPutDir", snapDir_);
    }
    void TearDown() override { platform::SetEnv("HOME", savedHome_); }

    std::string Save(const TBitmap& full, const TBitmap& small) {
        return SaveSnapshot(full, small, {settingsFile_, [this](const std::string& text) {
                                              warnings_.push_back(text);
                                          }});
    }
    std::vector<std::string> FilesInSnapDir() const {
        std::vector<std::string> names;
        if (fs::is_directory(snapDir_))
            for (const auto& entry : fs::directory_iterator(snapDir_))
                names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    test::TTempDir home_;
    std::string savedHome_;
    std::string settingsFile_;
    std::string snapDir_;
    std::vector<std::string> warnings_;
};

TEST_F(SnapshotFilesTest, AllFourFilesByDefaultAndASecondSnapshotReplacesThem) {
    EXPECT_EQ(Save(Solid(64, 48, 255, 0, 0), Solid(37, 21, 0, 0, 255)), snapDir_ + "/");
    EXPECT_EQ(FilesInSnapDir(),
              (std::vector<std::string>{"Snapshot_full.bmp", "Snapshot_full.jpg",
                                        "Snapshot_small.bmp", "Snapshot_small.jpg"}));
    Save(Solid(30, 20, 0, 255, 0), Solid(37, 21, 0, 255, 0));
    EXPECT_EQ(FilesInSnapDir().size(), 4u);
    QImage full(QString::fromStdString(snapDir_ + "/Snapshot_full.bmp"));
    ASSERT_FALSE(full.isNull());
    EXPECT_EQ(full.width(), 30);
    EXPECT_EQ(full.pixelColor(5, 5), QColor(0, 255, 0)) << "the second picture";
    QImage jpeg(QString::fromStdString(snapDir_ + "/Snapshot_small.jpg"));
    ASSERT_FALSE(jpeg.isNull());
    EXPECT_EQ(jpeg.width(), 37);
    EXPECT_GT(jpeg.pixelColor(10, 10).green(), 200);
    EXPECT_TRUE(warnings_.empty());
}

TEST_F(SnapshotFilesTest, BitmapFilesAre24BitBottomUp) {
    TBitmap picture = Solid(5, 2, 0, 0, 0);
    picture.ScanLine(0)[2] = 255; // top-left pixel red
    Save(picture, picture);
    std::vector<uint8_t> bytes;
    test::ReadBinaryFile(snapDir_ + "/Snapshot_full.bmp", bytes);
    ASSERT_EQ(bytes.size(), 14u + 40u + 16u * 2u); // rows of 15 bytes padded to 16
    EXPECT_EQ(bytes[28], 24) << "bits per pixel";
    EXPECT_EQ(bytes[54 + 16 + 2], 255) << "the top row is stored last";
}

TEST_F(SnapshotFilesTest, OnlyTheValueOneSwitchesAKindOrFormatOn) {
    TIniFile settings(settingsFile_);
    settings.WriteInteger("settings", "snapJpg", 0);
    settings.WriteInteger("settings", "snapSmallSize", 2);
    Save(Solid(8, 8, 1, 2, 3), Solid(4, 4, 1, 2, 3));
    EXPECT_EQ(FilesInSnapDir(), std::vector<std::string>{"Snapshot_full.bmp"});
}

TEST_F(SnapshotFilesTest, JpegQualityFollowsTheSetting) {
    TBitmap noise(128, 128);
    uint32_t state = 7;
    for (int y = 0; y < 128; ++y)
        for (int i = 0; i < 128 * 3; ++i)
            noise.ScanLine(y)[i] =
                static_cast<uint8_t>((state = state * 1103515245u + 12345u) >> 24);
    Save(noise, noise);
    const auto size30 = fs::file_size(snapDir_ + "/Snapshot_full.jpg");
    TIniFile(settingsFile_).WriteInteger("settings", "jpgCmp", 95);
    Save(noise, noise);
    EXPECT_GT(fs::file_size(snapDir_ + "/Snapshot_full.jpg"), size30 * 3 / 2);
}

TEST_F(SnapshotFilesTest, AnUncreatableDirectoryFallsBackToTheDefaultWithAWarning) {
    test::WriteTextFile(home_.File("blocker"), "a file, not a folder");
    TIniFile(settingsFile_).WriteString("settings", "SnapOutPutDir", home_.File("blocker") + "/x");
    const std::string used = Save(Solid(4, 4, 0, 0, 0), Solid(4, 4, 0, 0, 0));
    const std::string fallback = home_.File("videoconverter");
    EXPECT_EQ(used, fallback + "/");
    ASSERT_EQ(warnings_.size(), 1u);
    EXPECT_EQ(warnings_[0], "Cannot create output directory:" + home_.File("blocker") +
                                "/x.It will create default directory " + fallback + "!");
    EXPECT_EQ(TIniFile(settingsFile_).ReadString("settings", "SnapOutPutDir", ""), fallback);
    EXPECT_TRUE(fs::exists(fallback + "/Snapshot_full.jpg"));
}

TEST_F(SnapshotFilesTest, AFileThatCannotBeWrittenFailsAndKeepsTheFilesBeforeIt) {
    // A folder in the place of the third file: no one, not even root, can write it.
    fs::create_directories(snapDir_ + "/Snapshot_full.jpg");
    EXPECT_THROW(Save(Solid(4, 4, 0, 0, 0), Solid(4, 4, 0, 0, 0)), std::runtime_error);
    EXPECT_TRUE(fs::is_regular_file(snapDir_ + "/Snapshot_full.bmp"));
    EXPECT_TRUE(fs::is_regular_file(snapDir_ + "/Snapshot_small.bmp"));
    EXPECT_FALSE(fs::exists(snapDir_ + "/Snapshot_small.jpg"));
}

} // namespace
} // namespace tovik
