#include "workspace/log/ActivityLog.h"

#include "platform/Environment.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace tovik {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class TempDir {
public:
    TempDir()
        : path_(fs::temp_directory_path() /
                ("tovik-log-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++))) {
        fs::remove_all(path_);
    }
    ~TempDir() { fs::remove_all(path_); }
    const fs::path& Path() const { return path_; }

private:
    static inline int counter_ = 0;
    fs::path path_;
};

TEST(ActivityLogTest, SplitsLinesNumbersThemAndStampsTheArrivalTime) {
    const auto fixed =
        std::chrono::system_clock::from_time_t(1'000'000'000) + std::chrono::milliseconds(250);
    TActivityLog log(100, [&] { return fixed; });
    log.Add("first\nsecond\r\n\nthird\n");
    log.Add("");
    ASSERT_EQ(log.Count(), 3u);
    const auto lines = log.LinesAfter(0, 10);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].Text, "first");
    EXPECT_EQ(lines[2].Text, "third");
    EXPECT_EQ(lines[2].Sequence, 3);
    // The stamp is local time with milliseconds, two blanks before the text.
    const std::string written = FormatActivityLine(lines[0]);
    EXPECT_EQ(written.substr(19), ".250  first");
    EXPECT_EQ(written[4], '-');
    EXPECT_EQ(written[13], ':');
}

TEST(ActivityLogTest, WindowPullsOnlyWhatIsNewAndSkipsWhatFellOut) {
    TActivityLog log(5);
    for (int i = 1; i <= 8; ++i)
        log.Add("line " + std::to_string(i));
    EXPECT_EQ(log.Count(), 5u);
    EXPECT_EQ(log.LastSequence(), 8);
    // Lines 1..3 fell out: asking from 0 starts at 4.
    auto lines = log.LinesAfter(0, 100);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines.front().Text, "line 4");
    lines = log.LinesAfter(6, 100);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].Text, "line 7");
    EXPECT_TRUE(log.LinesAfter(8, 100).empty());
    EXPECT_EQ(log.LinesAfter(3, 2).size(), 2u);
    EXPECT_NE(log.Text().find("line 8\n"), std::string::npos);
    EXPECT_EQ(log.Text().find("line 3\n"), std::string::npos);
}

TEST(ActivityLogTest, LinesFromManyThreadsAreAllKeptInOrderOfArrival) {
    TActivityLog log(1'000'000);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&log, t] {
            for (int i = 0; i < 25'000; ++i)
                log.Add("thread " + std::to_string(t) + " line " + std::to_string(i));
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(log.LastSequence(), 100'000);
    // A reader pulling in pages sees every line once, numbers without gaps.
    int64_t after = 0;
    size_t seen = 0;
    for (auto page = log.LinesAfter(after, 4096); !page.empty();
         page = log.LinesAfter(after, 4096)) {
        for (const TActivityLine& line : page)
            ASSERT_EQ(line.Sequence, ++after);
        seen += page.size();
    }
    EXPECT_EQ(seen, 100'000u);
}

TEST(RotatingLogFileTest, RotatesAtItsSizeAndKeepsTheNewestFiles) {
    TempDir dir;
    TRotatingLogFile file(dir.Path().string() + "/nested", "tovik.log", 100, 3);
    std::string error;
    ASSERT_TRUE(file.Open(error)) << error;
    for (int i = 0; i < 20; ++i)
        file.WriteLine("line " + std::to_string(i) + std::string(20, 'x')); // 28 bytes each
    const fs::path base = dir.Path() / "nested" / "tovik.log";
    // Three lines fit a file; the newest file holds the last lines, two older ones are kept.
    EXPECT_TRUE(fs::exists(base));
    EXPECT_TRUE(fs::exists(base.string() + ".1"));
    EXPECT_TRUE(fs::exists(base.string() + ".2"));
    EXPECT_FALSE(fs::exists(base.string() + ".3"));
    EXPECT_LE(fs::file_size(base), 100u);
    EXPECT_NE(ReadFile(base).find("line 19"), std::string::npos);
    EXPECT_NE(ReadFile(base.string() + ".1").find("line 17"), std::string::npos);
    EXPECT_EQ(ReadFile(base.string() + ".2").find("line 0x"), std::string::npos);
}

TEST(RotatingLogFileTest, AppendsToTheFileOfAnEarlierSessionAndCountsItsSize) {
    TempDir dir;
    fs::create_directories(dir.Path());
    { std::ofstream(dir.Path() / "tovik.log") << std::string(90, 'a') << '\n'; }
    TRotatingLogFile file(dir.Path().string(), "tovik.log", 100, 2);
    std::string error;
    ASSERT_TRUE(file.Open(error)) << error;
    file.WriteLine("next session");
    EXPECT_EQ(ReadFile(dir.Path() / "tovik.log"), "next session\n");
    EXPECT_EQ(ReadFile(dir.Path() / "tovik.log.1").size(), 91u);
}

TEST(RotatingLogFileTest, AFolderThatCannotBeMadeIsReported) {
    TempDir dir;
    fs::create_directories(dir.Path());
    { std::ofstream(dir.Path() / "plain-file") << "x"; }
    TRotatingLogFile file((dir.Path() / "plain-file" / "sub").string(), "tovik.log", 100, 2);
    std::string error;
    EXPECT_FALSE(file.Open(error));
    EXPECT_NE(error.find("plain-file"), std::string::npos);
    file.WriteLine("goes nowhere, breaks nothing");
}

TEST(ActivityLogTest, AttachedFileGetsEveryLineInItsWrittenForm) {
    TempDir dir;
    platform::SetEnv("XDG_STATE_HOME", dir.Path().string());
    std::string error;
    auto file = OpenSessionLogFile(error);
    ASSERT_NE(file, nullptr) << error;
    const std::string path = file->Path();
    EXPECT_EQ(path, dir.Path().string() + "/tovik/tovik.log");
    TActivityLog log;
    log.AttachFile(std::move(file));
    log.Add("engine: started\nengine: done");
    const std::string text = ReadFile(path);
    EXPECT_EQ(text, log.Text());
    EXPECT_NE(text.find("  engine: done\n"), std::string::npos);
}

} // namespace
} // namespace tovik
