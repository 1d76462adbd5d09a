#include "platform/FileSystem.h"
#include "platform/Environment.h"
#include "platform/PathText.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace tovik::platform {
namespace {

TEST(FileSystemTest, NameAndExtensionPartsOfAPath) {
    EXPECT_EQ(FileNamePart("/out/dir/a_(new).mp4"), "a_(new).mp4");
    EXPECT_EQ(FileNamePart("plain.mp4"), "plain.mp4");
    EXPECT_EQ(FileNamePart("/out/dir/"), "");
    EXPECT_EQ(FileExtension("/v/clip.tar.gz"), ".gz");
    EXPECT_EQ(FileExtension("clip.avi"), ".avi");
    // A dot in a folder's name is not an extension.
    EXPECT_EQ(FileExtension("/v.1/clip"), "");
    EXPECT_EQ(FileExtension("/v/clip"), "");
    EXPECT_EQ(FileExtension("/v/clip."), ".");
}

TEST(FileSystemTest, SizesOnlyForFilesThatAreNotFolders) {
    test::TTempDir dir;
    test::WriteTextFile(dir.File("five.txt"), "12345");
    EXPECT_EQ(FileSizeOf(dir.File("five.txt")), 5);
    EXPECT_EQ(FileSizeOf(dir.Path().string()), -1);
    EXPECT_EQ(FileSizeOf(dir.File("missing")), -1);
    EXPECT_EQ(FileSizeOf(""), -1);
    EXPECT_TRUE(FileExistsNotDirectory(dir.File("five.txt")));
    EXPECT_FALSE(FileExistsNotDirectory(dir.Path().string()));
    EXPECT_TRUE(DirectoryExists(dir.Path().string()));
}

TEST(EnvironmentTest, UserProfilePrefersUserProfileThenHome) {
    const auto savedProfile = GetEnv("USERPROFILE");
    const auto savedHome = GetEnv("HOME");
    SetEnv("HOME", "/tmp/home-for-test");
    ::unsetenv("USERPROFILE");
    EXPECT_EQ(UserProfileDir(), "/tmp/home-for-test");
    SetEnv("USERPROFILE", "/tmp/profile-for-test");
    EXPECT_EQ(UserProfileDir(), "/tmp/profile-for-test");
    if (savedProfile)
        SetEnv("USERPROFILE", *savedProfile);
    else
        ::unsetenv("USERPROFILE");
    SetEnv("HOME", savedHome.value_or(""));
}

TEST(EnvironmentTest, ConfigDirFollowsXdgConfigHome) {
    const auto saved = GetEnv("XDG_CONFIG_HOME");
    SetEnv("XDG_CONFIG_HOME", "/tmp/xdg-for-test");
    EXPECT_EQ(ConfigDir(), "/tmp/xdg-for-test");
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(ConfigDir(), GetEnv("HOME").value_or("") + "/.config");
    if (saved)
        SetEnv("XDG_CONFIG_HOME", *saved);
}

} // namespace
} // namespace tovik::platform
