#include "settings/ProgramFiles.h"

#include "settings/GlobalObject.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>

namespace tovik {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// An installation under <dir>/prefix with the profile in share/tovik.
class ProgramFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(bin_);
        fs::create_directories(data_);
        test::WriteTextFile((data_ / kProfileFileName).string(), "[installed]\nFileExt=mov\n");
    }
    test::TTempDir dir_;
    fs::path bin_ = dir_.Path() / "prefix" / "bin";
    fs::path data_ = dir_.Path() / "prefix" / "share" / "tovik";
    std::string profile_ = (dir_.Path() / "config" / "sub" / kProfileFileName).string();
};

TEST_F(ProgramFilesTest, TheDataFolderIsFoundBesideTheProgramsBinFolderOnlyWithAProfile) {
    EXPECT_EQ(InstalledDataDirOf(bin_.string()), fs::weakly_canonical(data_).string());
    // The same installation copied elsewhere is found there.
    const fs::path copy = dir_.Path() / "moved";
    fs::copy(dir_.Path() / "prefix", copy, fs::copy_options::recursive);
    EXPECT_EQ(InstalledDataDirOf((copy / "bin").string()),
              fs::weakly_canonical(copy / "share" / "tovik").string());
    // A build tree has no share/tovik; an empty share/tovik does not count.
    fs::create_directories(dir_.Path() / "build" / "share" / "tovik");
    EXPECT_EQ(InstalledDataDirOf((dir_.Path() / "build" / "app").string()), "");
    EXPECT_EQ(InstalledDataDirOf(""), "");
}

TEST_F(ProgramFilesTest, AMissingProfileIsCopiedReadableAndWithoutLeftovers) {
    std::string error;
    ASSERT_TRUE(ProvideProfile(profile_, data_.string(), error)) << error;
    EXPECT_EQ(ReadText(profile_), "[installed]\nFileExt=mov\n");
    struct stat facts {};
    ASSERT_EQ(::stat(profile_.c_str(), &facts), 0);
    EXPECT_EQ(facts.st_mode & 0777, 0644u);
    int files = 0;
    for ([[maybe_unused]] const auto& entry :
         fs::directory_iterator(fs::path(profile_).parent_path()))
        ++files;
    EXPECT_EQ(files, 1) << "the temporary copy is left behind";
}

TEST_F(ProgramFilesTest, AnExistingProfileIsNeverReplaced) {
    fs::create_directories(fs::path(profile_).parent_path());
    test::WriteTextFile(profile_, "[edited]\n");
    std::string error;
    EXPECT_TRUE(ProvideProfile(profile_, data_.string(), error));
    EXPECT_TRUE(ProvideProfile(profile_, "", error)) << "no installation needed";
    EXPECT_EQ(ReadText(profile_), "[edited]\n");
}

TEST_F(ProgramFilesTest, WithoutAnInstalledProfileTheMissingFileIsNamed) {
    std::string error;
    EXPECT_FALSE(ProvideProfile(profile_, "", error));
    EXPECT_NE(error.find(profile_), std::string::npos) << error;
    error.clear();
    EXPECT_FALSE(ProvideProfile(profile_, (dir_.Path() / "nowhere").string(), error));
    EXPECT_NE(error.find("cannot copy"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(profile_));
}

} // namespace
} // namespace tovik
