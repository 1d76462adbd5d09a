#include "platform/PictureAllocator.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tovik::platform {
namespace {

const std::string kOurs = PictureAllocatorTunables(std::nullopt);

TEST(PictureAllocatorTest, OursComeFirstSoThatTheUsersWin) {
    EXPECT_EQ(kOurs.rfind("glibc.malloc.hugetlb=1", 0), 0u);
    EXPECT_EQ(PictureAllocatorTunables(std::string()), kOurs);
    EXPECT_EQ(PictureAllocatorTunables(std::string("glibc.malloc.hugetlb=0")),
              kOurs + ":glibc.malloc.hugetlb=0");
    // Already there, alone or with the user's after them: left as it is (a restarted program
    // and its workers do not pile them up).
    EXPECT_EQ(PictureAllocatorTunables(kOurs), kOurs);
    EXPECT_EQ(PictureAllocatorTunables(kOurs + ":glibc.malloc.arena_max=2"),
              kOurs + ":glibc.malloc.arena_max=2");
    // Text that only begins like ours is the user's own value.
    EXPECT_EQ(PictureAllocatorTunables(kOurs + "0"), kOurs + ":" + kOurs + "0");
}

TEST(PictureAllocatorTest, TheChildEnvironmentHasTheSettingOnceAndKeepsTheRest) {
    const char* environment[] = {"HOME=/tmp/h", "GLIBC_TUNABLES=glibc.malloc.arena_max=2", "LANG=C",
                                 "GLIBC_TUNABLES_NOT=1", nullptr};
    const std::vector<std::string> merged = EnvironmentForPictureWork(environment);
    auto has = [&](const std::string& entry) {
        return std::find(merged.begin(), merged.end(), entry) != merged.end();
    };
    EXPECT_TRUE(has("HOME=/tmp/h"));
    EXPECT_TRUE(has("LANG=C"));
    EXPECT_TRUE(has("GLIBC_TUNABLES_NOT=1"));
    EXPECT_TRUE(has("GLIBC_TUNABLES=" + kOurs + ":glibc.malloc.arena_max=2"));
    EXPECT_EQ(merged.size(), 4u);

    const char* bare[] = {"PATH=/usr/bin", nullptr};
    EXPECT_EQ(EnvironmentForPictureWork(bare),
              (std::vector<std::string>{"PATH=/usr/bin", "GLIBC_TUNABLES=" + kOurs}));
    EXPECT_EQ(EnvironmentForPictureWork(nullptr),
              (std::vector<std::string>{"GLIBC_TUNABLES=" + kOurs}));
}

} // namespace
} // namespace tovik::platform
