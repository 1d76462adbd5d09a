#include "media/MediaLogger.h"

#include "media/LibraryBindings.h"
#include "platform/Dispatcher.h"
#include "platform/Threads.h"
#include "support/TestSupport.h"

#include <atomic>
#include <barrier>
#include <cinttypes>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <thread>

namespace tovik {
namespace {

struct TLine {
    uint32_t threadId;
    TLogLevel level;
    std::string text;
};

class MediaLoggerTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::LoadEngineLibrariesOrFail();
        logger().ClearPendingText();
        logger().SetLogLevel(TLogLevel::llInfo);
        logger().SetTriggerEventInMainThread(false);
        logger().SetOnLog(
            [this](TObject*, uint32_t threadId, TLogLevel level, const std::string& text) {
                std::lock_guard lock(mutex_);
                lines_.push_back({threadId, level, text});
            });
    }
    void TearDown() override {
        logger().SetOnLog(nullptr);
        logger().SetTriggerEventInMainThread(true);
        logger().SetLogLevel(TLogLevel::llInfo);
        logger().ClearPendingText();
    }
    static TMediaLogger& logger() { return LoggerInstance(); }
    std::vector<TLine> Lines() {
        std::lock_guard lock(mutex_);
        return lines_;
    }
    std::vector<std::string> Texts() {
        std::vector<std::string> texts;
        for (const TLine& line : Lines())
            texts.push_back(line.text);
        return texts;
    }

    std::mutex mutex_;
    std::vector<TLine> lines_; // guarded by mutex_
};

struct TTestContext {
    const AVClass* avClass;
};

const char* TesterName(void*) {
    return "tester";
}

TEST(LogLevelTest, ConversionsFollowTheLibraryLevelNumbers) {
    EXPECT_EQ(LogLevelToLibrary(TLogLevel::llQuiet), -8);
    EXPECT_EQ(LogLevelToLibrary(TLogLevel::llError), 16);
    EXPECT_EQ(LogLevelToLibrary(TLogLevel::llDebug), 48);
    EXPECT_EQ(LibraryToLogLevel(-16), TLogLevel::llQuiet);
    EXPECT_EQ(LibraryToLogLevel(-8), TLogLevel::llQuiet);
    EXPECT_EQ(LibraryToLogLevel(-7), TLogLevel::llPanic);
    EXPECT_EQ(LibraryToLogLevel(7), TLogLevel::llPanic);
    EXPECT_EQ(LibraryToLogLevel(8), TLogLevel::llFatal);
    EXPECT_EQ(LibraryToLogLevel(47), TLogLevel::llVerbose);
    EXPECT_EQ(LibraryToLogLevel(48), TLogLevel::llDebug);
    EXPECT_EQ(LibraryToLogLevel(56), TLogLevel::llDebug); // trace and beyond
}

TEST_F(MediaLoggerTest, LevelByNameAcceptsNamesInAnyCaseAndNumbers) {
    logger().SetLogLevelByName("Warning");
    EXPECT_EQ(logger().LogLevel(), TLogLevel::llWarning);
    EXPECT_EQ(LibraryLogLevel(), 24);
    EXPECT_EQ(ff::av_log_get_level(), 24);
    logger().SetLogLevelByName("20");
    EXPECT_EQ(logger().LogLevel(), TLogLevel::llError);
    EXPECT_EQ(LibraryLogLevel(), 16);
    EXPECT_THROW(logger().SetLogLevelByName("loud"), std::invalid_argument);
    EXPECT_THROW(logger().SetLogLevelByName("12abc"), std::invalid_argument);
    EXPECT_EQ(logger().LogLevel(), TLogLevel::llError);
}

TEST_F(MediaLoggerTest, PiecesOfOneThreadBecomeOneLineWithOnePrefix) {
    AVClass avClass{};
    avClass.class_name = "Tester";
    avClass.item_name = &TesterName;
    avClass.version = LIBAVUTIL_VERSION_INT;
    TTestContext context{&avClass};
    ff::av_log(&context, AV_LOG_ERROR, "abc");
    EXPECT_TRUE(Lines().empty()) << "no line feed yet";
    ff::av_log(&context, AV_LOG_ERROR, "def\n");
    char prefix[64];
    std::snprintf(prefix, sizeof prefix, "[tester @ %0*" PRIXPTR "]",
                  static_cast<int>(2 * sizeof(void*)), reinterpret_cast<uintptr_t>(&context));
    ASSERT_EQ(Lines().size(), 1u);
    EXPECT_EQ(Lines()[0].text, std::string(prefix) + "abcdef");
    EXPECT_EQ(Lines()[0].level, TLogLevel::llError);
    EXPECT_EQ(Lines()[0].threadId, platform::CurrentThreadId());
}

TEST_F(MediaLoggerTest, TwoLineFeedsGiveTwoLinesAndTheRestStaysPending) {
    ff::av_log(nullptr, AV_LOG_WARNING, "one\ntwo\nthr");
    EXPECT_EQ(Texts(), (std::vector<std::string>{"one", "two"}));
    ff::av_log(nullptr, AV_LOG_WARNING, "ee\n");
    EXPECT_EQ(Texts(), (std::vector<std::string>{"one", "two", "three"}));
    EXPECT_EQ(Lines()[2].level, TLogLevel::llWarning);
}

TEST_F(MediaLoggerTest, CarriageReturnsDoNotEndALine) {
    ff::av_log(nullptr, AV_LOG_INFO, "frame=1\rframe=2\r");
    EXPECT_TRUE(Lines().empty());
    ff::av_log(nullptr, AV_LOG_INFO, "\n");
    EXPECT_EQ(Texts(), std::vector<std::string>{"frame=1\rframe=2\r"});
}

TEST_F(MediaLoggerTest, InterleavedThreadsStillGiveWholeLinesPerThread) {
    constexpr int kThreads = 4;
    constexpr int kLines = 20;
    std::barrier step(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int line = 0; line < kLines; ++line) {
                ff::av_log(nullptr, AV_LOG_ERROR, "t%d-", t);
                step.arrive_and_wait(); // every thread has an unfinished line now
                ff::av_log(nullptr, AV_LOG_ERROR, "l%d", line);
                step.arrive_and_wait();
                ff::av_log(nullptr, AV_LOG_ERROR, "-end\n");
            }
        });
    for (auto& thread : threads)
        thread.join();
    std::map<uint32_t, std::vector<std::string>> perThread;
    for (const TLine& line : Lines())
        perThread[line.threadId].push_back(line.text);
    ASSERT_EQ(perThread.size(), size_t(kThreads));
    for (const auto& [threadId, texts] : perThread) {
        ASSERT_EQ(texts.size(), size_t(kLines));
        const std::string head = texts[0].substr(0, 3);
        for (int line = 0; line < kLines; ++line)
            EXPECT_EQ(texts[line], head + "l" + std::to_string(line) + "-end");
    }
}

TEST_F(MediaLoggerTest, LinesOfWorkerThreadsReachTheHandlerOnTheMainThread) {
    logger().SetTriggerEventInMainThread(true);
    std::thread::id handlerThread;
    logger().SetOnLog([&](TObject*, uint32_t, TLogLevel, const std::string& text) {
        handlerThread = std::this_thread::get_id();
        lines_.push_back({0, TLogLevel::llInfo, text});
    });
    std::atomic<bool> done{false};
    uint32_t workerId = 0;
    std::thread worker([&] {
        workerId = platform::CurrentThreadId();
        ff::av_log(nullptr, AV_LOG_ERROR, "from worker\n");
        done = true; // only after the handler has run: the worker waits for it
    });
    while (!done)
        TDispatcher::Instance().WaitAndCheckSynchronize(std::chrono::milliseconds(5));
    worker.join();
    EXPECT_EQ(handlerThread, std::this_thread::get_id());
    EXPECT_EQ(Texts(), std::vector<std::string>{"from worker"});
}

TEST_F(MediaLoggerTest, QuietLetsOnlyQuietMessagesThrough) {
    logger().SetLogLevel(TLogLevel::llQuiet);
    EXPECT_EQ(LibraryLogLevel(), -8);
    EXPECT_EQ(ff::av_log_get_level(), -8);
    ff::av_log(nullptr, AV_LOG_PANIC, "panic\n");
    ff::av_log(nullptr, AV_LOG_QUIET, "quiet\n");
    EXPECT_EQ(Texts(), std::vector<std::string>{"quiet"});
}

TEST_F(MediaLoggerTest, DirectLogFiltersByLevelWithVerboseAlwaysShownUnlessQuiet) {
    logger().Log(nullptr, TLogLevel::llVerbose, "verbose at info");
    logger().Log(nullptr, TLogLevel::llDebug, "debug at info");
    logger().LogFmt(nullptr, TLogLevel::llError, "error %d at %s", 7, "info");
    logger().SetLogLevel(TLogLevel::llQuiet);
    logger().Log(nullptr, TLogLevel::llVerbose, "verbose at quiet");
    EXPECT_EQ(Texts(), (std::vector<std::string>{"verbose at info", "error 7 at info"}));
}

TEST_F(MediaLoggerTest, OverlongMessagesAreCutWithoutLosingTheLineEnd) {
    const std::string longText(5000, 'x');
    ff::av_log(nullptr, AV_LOG_ERROR, "%s\n", longText.c_str());
    ff::av_log(nullptr, AV_LOG_ERROR, "next\n");
    const auto texts = Texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], std::string(2046, 'x'));
    EXPECT_EQ(texts[1], "next");
}

TEST_F(MediaLoggerTest, NothingIsDeliveredWithoutAHandler) {
    logger().SetOnLog(nullptr);
    ff::av_log(nullptr, AV_LOG_ERROR, "dropped\n");
    logger().Log(nullptr, TLogLevel::llError, "dropped too");
    EXPECT_TRUE(Lines().empty());
}

} // namespace
} // namespace tovik
