#include "workspace/core/OutputName.h"

#include "platform/Environment.h"
#include "settings/IniFile.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>
#include <vector>

namespace tovik {
namespace {

class OutputNameTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedHome_ = platform::GetEnv("HOME");
        platform::SetEnv("HOME", dir_.File("home"));
        std::filesystem::create_directories(dir_.File("home"));
        settings_.WriteString("settings", "OutPutDir", outDir_);
    }
    void TearDown() override {
        if (savedHome_)
            platform::SetEnv("HOME", *savedHome_);
    }
    std::string Name(const std::string& source, const std::string& suffix) {
        return OutputFileName(settings_, source, suffix,
                              [this](const std::string& text) { warnings_.push_back(text); });
    }

    test::TTempDir dir_;
    std::optional<std::string> savedHome_;
    std::string outDir_ = dir_.File("out");
    TIniFile settings_{dir_.File("tovikavimovconverter.ini")};
    std::vector<std::string> warnings_;
};

TEST_F(OutputNameTest, FirstFreeNameWins) {
    EXPECT_EQ(Name("/videos/x.avi", ".mp4"), outDir_ + "/x_(new).mp4");
    EXPECT_TRUE(std::filesystem::is_directory(outDir_)) << "the directory is created";
    test::WriteTextFile(outDir_ + "/x_(new).mp4", "");
    EXPECT_EQ(Name("/videos/x.avi", ".mp4"), outDir_ + "/x_(new_1).mp4");
    test::WriteTextFile(outDir_ + "/x_(new_1).mp4", "");
    EXPECT_EQ(Name("/videos/x.avi", ".mp4"), outDir_ + "/x_(new_2).mp4");
    // Another extension is another name.
    EXPECT_EQ(Name("/videos/x.avi", ".mov"), outDir_ + "/x_(new).mov");
    EXPECT_TRUE(warnings_.empty());
}

TEST_F(OutputNameTest, AnyExistingEntryTakesTheName) {
    std::filesystem::create_directories(outDir_ + "/x_(new).mp4");
    std::filesystem::create_symlink(dir_.File("nowhere"), outDir_ + "/x_(new_1).mp4");
    EXPECT_EQ(Name("/videos/x.avi", ".mp4"), outDir_ + "/x_(new_2).mp4");
}

TEST_F(OutputNameTest, SameNamedSourcesInDifferentFoldersGetTheSameNameBeforeWriting) {
    EXPECT_EQ(Name("/one/a.avi", ".mov"), Name("/two/a.avi", ".mov"));
}

TEST_F(OutputNameTest, NamesTakenByOtherRowsOfARunAreSkippedLikeExistingFiles) {
    TTakenNames taken;
    auto name = [&](const std::string& source) {
        return OutputFileName(settings_, source, ".mov", {}, &taken);
    };
    // Two sources of one name, and a third: each output its own, in row order.
    EXPECT_EQ(name("/one/a.avi"), outDir_ + "/a_(new).mov");
    EXPECT_EQ(name("/two/a.avi"), outDir_ + "/a_(new_1).mov");
    EXPECT_EQ(name("/three/a.mp4"), outDir_ + "/a_(new_2).mov");
    EXPECT_EQ(taken.size(), 3u);
    // An existing file and a taken name together: the first name free of both.
    test::WriteTextFile(outDir_ + "/b_(new).mov", "");
    taken.insert(outDir_ + "/b_(new_1).mov");
    EXPECT_EQ(name("/x/b.avi"), outDir_ + "/b_(new_2).mov");
    // Another extension is another name; without a taken set nothing is remembered.
    EXPECT_EQ(OutputFileName(settings_, "/one/a.avi", ".mp4", {}, &taken),
              outDir_ + "/a_(new).mp4");
    EXPECT_EQ(UniqueOutputName(outDir_, "/one/a.avi", ".mov"), outDir_ + "/a_(new).mov");
}

TEST_F(OutputNameTest, BaseNameDropsFolderAndLastExtensionOnly) {
    EXPECT_EQ(SourceBaseName("/v/clip.final.avi"), "clip.final");
    EXPECT_EQ(SourceBaseName("/v.d/clip"), "clip");
    EXPECT_EQ(SourceBaseName("clip.avi"), "clip");
    EXPECT_EQ(Name("/v/my movie.AVI", ".wav"), outDir_ + "/my movie_(new).wav");
}

TEST_F(OutputNameTest, TrailingSeparatorIsNotDoubled) {
    settings_.WriteString("settings", "OutPutDir", outDir_ + "/");
    EXPECT_EQ(Name("/v/a.avi", ".mp4"), outDir_ + "/a_(new).mp4");
}

TEST_F(OutputNameTest, UncreatableDirectoryFallsBackToTheDefaultAndStoresIt) {
    // A file where a folder is needed: the directory can never be created.
    test::WriteTextFile(dir_.File("blocker"), "");
    const std::string bad = dir_.File("blocker") + "/sub";
    settings_.WriteString("settings", "OutPutDir", bad);
    const std::string fallback = dir_.File("home") + "/videoconverter";
    EXPECT_EQ(Name("/v/a.avi", ".mp4"), fallback + "/a_(new).mp4");
    ASSERT_EQ(warnings_.size(), 1u);
    EXPECT_EQ(warnings_[0], "Cannot create output directory:" + bad +
                                ".It will create default directory " + fallback + "!");
    EXPECT_TRUE(std::filesystem::is_directory(fallback));
    EXPECT_EQ(settings_.ReadString("settings", "OutPutDir", ""), fallback);
    // From then on the stored directory is the default: no second warning.
    Name("/v/b.avi", ".mp4");
    EXPECT_EQ(warnings_.size(), 1u);
}

TEST_F(OutputNameTest, EmptyOrMissingDirectorySetting) {
    settings_.WriteString("settings", "OutPutDir", "");
    const std::string fallback = dir_.File("home") + "/videoconverter";
    EXPECT_EQ(Name("/v/a.avi", ".mp4"), fallback + "/a_(new).mp4");
    EXPECT_EQ(warnings_.size(), 1u);

    TIniFile fresh(dir_.File("fresh.ini"));
    warnings_.clear();
    EXPECT_EQ(OutputFileName(fresh, "/v/a.avi", ".mp4", nullptr), fallback + "/a_(new).mp4");
}

} // namespace
} // namespace tovik
