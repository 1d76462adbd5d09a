// The lines a worker process and its runner exchange.
#include "effects/WorkerProtocol.h"

#include <gtest/gtest.h>

namespace tovik {
namespace {

TEST(WorkerProtocolTest, RecordsComeBackAsWritten) {
    TProgressInfo progress;
    progress.FileIndex = -1;
    progress.FrameNumber = 1234;
    progress.FPS = 57;
    progress.Quality = 2.5f;
    progress.BitRate = 1499.5f;
    progress.TotalSize = 5'000'000'000;
    progress.CurrentTime = 41'280'000;
    progress.TotalDuration = 60'000'000;
    const auto read = ReadWorkerRecord(WriteWorkerRecord(progress));
    ASSERT_TRUE(read && std::holds_alternative<TProgressInfo>(*read));
    const auto& back = std::get<TProgressInfo>(*read);
    EXPECT_EQ(back.FileIndex, -1);
    EXPECT_EQ(back.FrameNumber, 1234);
    EXPECT_EQ(back.FPS, 57);
    EXPECT_FLOAT_EQ(back.Quality, 2.5f);
    EXPECT_FLOAT_EQ(back.BitRate, 1499.5f);
    EXPECT_EQ(back.TotalSize, 5'000'000'000);
    EXPECT_EQ(back.CurrentTime, 41'280'000);
    EXPECT_EQ(back.TotalDuration, 60'000'000);

    const auto log =
        ReadWorkerRecord(WriteWorkerRecord(TWorkerLog{TLogLevel::llWarning, "a \"b\"\n"}));
    ASSERT_TRUE(log && std::holds_alternative<TWorkerLog>(*log));
    EXPECT_EQ(std::get<TWorkerLog>(*log).Level, TLogLevel::llWarning);
    EXPECT_EQ(std::get<TWorkerLog>(*log).Text, "a \"b\"\n");

    TTerminateInfo end;
    end.Failed = true;
    end.ErrorMessage = "Invalid data found when processing input";
    const auto ended = ReadWorkerRecord(WriteWorkerRecord(end));
    ASSERT_TRUE(ended && std::holds_alternative<TTerminateInfo>(*ended));
    EXPECT_TRUE(std::get<TTerminateInfo>(*ended).Failed);
    EXPECT_FALSE(std::get<TTerminateInfo>(*ended).Finished);
    EXPECT_EQ(std::get<TTerminateInfo>(*ended).ErrorMessage, end.ErrorMessage);
}

TEST(WorkerProtocolTest, ALibraryMessageThatIsNotUtf8StillMakesARecord) {
    const std::string line = WriteWorkerRecord(TWorkerLog{TLogLevel::llError, "bad \xFF byte"});
    const auto read = ReadWorkerRecord(line);
    ASSERT_TRUE(read.has_value()) << line;
    EXPECT_EQ(std::get<TWorkerLog>(*read).Text.rfind("bad ", 0), 0u);
}

TEST(WorkerProtocolTest, LinesThatAreNotRecordsAreNotTakenForOne) {
    for (const char* line : {"", "frame=  12 fps=0", "[]", "{}", R"({"progress": 5})",
                             R"({"end": {}, "log": {}})", R"({"other": {}})", "{\"end\":"})
        EXPECT_FALSE(ReadWorkerRecord(line).has_value()) << line;
    // A record without its fields: a missing outcome counts as a failure, never as success.
    const auto end = ReadWorkerRecord(R"({"end": {}})");
    ASSERT_TRUE(end.has_value());
    EXPECT_TRUE(std::get<TTerminateInfo>(*end).Failed);
    const auto odd = ReadWorkerRecord(R"({"log": {"level": 99, "text": 5}})");
    ASSERT_TRUE(odd.has_value());
    EXPECT_EQ(std::get<TWorkerLog>(*odd).Level, TLogLevel::llInfo);
    EXPECT_EQ(std::get<TWorkerLog>(*odd).Text, "");
}

TEST(WorkerProtocolTest, CommandsAreWholeLines) {
    for (const TWorkerCommand command :
         {TWorkerCommand::wcPause, TWorkerCommand::wcResume, TWorkerCommand::wcStop})
        EXPECT_EQ(ParseWorkerCommand(WorkerCommandLine(command)), command);
    EXPECT_FALSE(ParseWorkerCommand("stop now").has_value());
    EXPECT_FALSE(ParseWorkerCommand("Stop").has_value());
    EXPECT_FALSE(ParseWorkerCommand("").has_value());
}

// A file name may hold anything but a line break; it comes back whole, and a probe record
// that lost its fields never says the source opened.
TEST(WorkerProtocolTest, ProbeRequestsAndAnswersComeBackAsWritten) {
    for (const std::string name : {"/a/b.avi", "with space \"quoted\" \\ back.mp4", "é.mkv"}) {
        const std::string line = WorkerProbeLine(name);
        EXPECT_EQ(line.find('\n'), std::string::npos);
        EXPECT_EQ(ParseWorkerProbe(line), name) << line;
        EXPECT_FALSE(ParseWorkerCommand(line).has_value());
        EXPECT_FALSE(line.starts_with("{")) << "taken for a task description";
    }
    EXPECT_FALSE(ParseWorkerProbe("probe").has_value());
    EXPECT_FALSE(ParseWorkerProbe("probe /unquoted").has_value());

    TWorkerProbe found;
    found.Opened = true;
    found.FileName = "clip.mp4";
    found.VideoStreamCount = 1;
    found.Width = 1920;
    found.Height = 1080;
    found.Rotation = 90;
    found.BitRate = 8'000'000;
    found.DisplayAspectRatio = 16.0f / 9.0f;
    const auto read = ReadWorkerRecord(WriteWorkerRecord(found));
    ASSERT_TRUE(read && std::holds_alternative<TWorkerProbe>(*read));
    EXPECT_EQ(std::get<TWorkerProbe>(*read), found);
    const auto empty = ReadWorkerRecord(R"({"probe": {}})");
    ASSERT_TRUE(empty.has_value());
    EXPECT_FALSE(std::get<TWorkerProbe>(*empty).Opened);
}

} // namespace
} // namespace tovik
