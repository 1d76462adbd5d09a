#include "settings/GlobalObject.h"

#include "platform/Environment.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace tovik {
namespace {

// Points the environment at temporary folders for the test's life.
class GlobalObjectTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_[0] = platform::GetEnv("XDG_CONFIG_HOME");
        saved_[1] = platform::GetEnv("HOME");
        saved_[2] = platform::GetEnv("USERPROFILE");
        platform::SetEnv("XDG_CONFIG_HOME", dir_.File("config"));
        platform::SetEnv("HOME", dir_.File("home"));
        ::unsetenv("USERPROFILE");
    }
    void TearDown() override {
        const char* names[] = {"XDG_CONFIG_HOME", "HOME", "USERPROFILE"};
        for (int index = 0; index < 3; ++index) {
            if (saved_[index])
                platform::SetEnv(names[index], *saved_[index]);
            else
                ::unsetenv(names[index]);
        }
    }
    test::TTempDir dir_;
    std::optional<std::string> saved_[3];
};

TEST_F(GlobalObjectTest, FileLocationsLieDirectlyInTheConfigFolder) {
    TGlobalObject global;
    global.SetUpFileLocations();
    EXPECT_EQ(global.SettingsFile(), dir_.File("config") + "/tovikavimovconverter.ini");
    EXPECT_EQ(global.ProfileFile(), dir_.File("config") + "/tovikavimovformat.ini");
    EXPECT_EQ(global.AppName(), "Tovik AVI to MOV Converter");
    EXPECT_FALSE(global.WebSiteURL().empty());
    EXPECT_FALSE(global.HelpURL().empty());

    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(TGlobalObject::SpecialFolder(kCsidlCommonAppData), dir_.File("home") + "/.config/");
    EXPECT_EQ(TGlobalObject::SpecialFolder(kCsidlPersonal), dir_.File("home") + "/");
    EXPECT_EQ(TGlobalObject::SpecialFolder(9999), "");
}

TEST_F(GlobalObjectTest, SettersIgnoreUnsuitableValues) {
    TGlobalObject global;
    global.SetSettingsFile("/a/settings.ini");
    global.SetSettingsFile("/ab"); // 3 characters: ignored
    EXPECT_EQ(global.SettingsFile(), "/a/settings.ini");
    global.SetProfileFile("abc");
    EXPECT_EQ(global.ProfileFile(), "");
    global.SetProfileFile("abcd");
    EXPECT_EQ(global.ProfileFile(), "abcd");
    global.SetAppName("X");
    global.SetAppName("");
    EXPECT_EQ(global.AppName(), "X");
    global.SetVersionText("");
    EXPECT_EQ(global.VersionText(), "");
}

TEST_F(GlobalObjectTest, RightPartAndVersionText) {
    EXPECT_EQ(TGlobalObject::RightPart("abcdef", 2), "ef");
    EXPECT_EQ(TGlobalObject::RightPart("ab", 5), "ab");
    EXPECT_EQ(TGlobalObject::RightPart("ab", 0), "");
    EXPECT_EQ(TGlobalObject::VersionTextOf("3.6.0.0"), " 3.600 ");
    EXPECT_EQ(TGlobalObject::VersionTextOf("10.2.15.7"), " 10.2157 ");
    EXPECT_EQ(TGlobalObject::VersionTextOf("1.0.0"), " 1.000 ");
    const std::string version = TGlobalObject::FileVersionText();
    ASSERT_GE(version.size(), 4u);
    EXPECT_EQ(version.front(), ' ');
    EXPECT_EQ(version.back(), ' ');
    EXPECT_EQ(version.find('.', version.find('.') + 1), std::string::npos)
        << "one point only: " << version;
}

TEST_F(GlobalObjectTest, CanWriteDirLeavesNothingBehind) {
    const std::string folder = dir_.File("out");
    EXPECT_FALSE(TGlobalObject::CanWriteDir(folder)) << "a missing folder is not writable";
    std::filesystem::create_directories(folder);
    EXPECT_TRUE(TGlobalObject::CanWriteDir(folder));
    EXPECT_TRUE(TGlobalObject::CanWriteDir(folder + "/"));
    EXPECT_TRUE(std::filesystem::is_empty(folder));
    EXPECT_FALSE(TGlobalObject::CanWriteDir(""));
    if (::geteuid() != 0) {
        std::filesystem::permissions(folder, std::filesystem::perms::owner_read |
                                                 std::filesystem::perms::owner_exec);
        EXPECT_FALSE(TGlobalObject::CanWriteDir(folder));
        std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
    }
}

TEST_F(GlobalObjectTest, DefaultDirectories) {
    EXPECT_EQ(DefaultVideoDirectory(), dir_.File("home") + "/videoconverter");
    platform::SetEnv("USERPROFILE", dir_.File("profile"));
    EXPECT_EQ(UserProfileVideoDirectory(), dir_.File("profile") + "/videoconverter");
    EXPECT_EQ(DefaultVideoDirectory(), dir_.File("home") + "/videoconverter");
    EXPECT_FALSE(TGlobalObject::UserName().empty());
}

} // namespace
} // namespace tovik
