// The stage thread with its bounded queue: order, back pressure, failure and abort.
#include "engine/FrameStage.h"
#include "engine/FFmpegException.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace tovik {
namespace {

// A frame that only carries its number in pts.
TFramePtr Numbered(int number) {
    TFramePtr frame = MakeFrame();
    frame->pts = number;
    return frame;
}

// A gate the stage's work waits at until the test opens it.
struct TGate {
    std::mutex Mutex;
    std::condition_variable Changed;
    bool Open = false; // guarded by Mutex
    int Waiting = 0;   // guarded by Mutex
    void Pass() {
        std::unique_lock lock(Mutex);
        ++Waiting;
        Changed.notify_all();
        Changed.wait(lock, [this] { return Open; });
    }
    void WaitForWaiter() {
        std::unique_lock lock(Mutex);
        Changed.wait(lock, [this] { return Waiting > 0; });
    }
    void Release() {
        std::lock_guard lock(Mutex);
        Open = true;
        Changed.notify_all();
    }
};

class FrameStageTest : public ::testing::Test {
protected:
    void SetUp() override { test::LoadEngineLibrariesOrFail(); }
};

TEST_F(FrameStageTest, WorksInOrderAndEndsWithTheEndOfStreamBothWays) {
    for (const bool threaded : {false, true}) {
        std::vector<int64_t> seen; // the stage's own until Finish returns
        int ends = 0;
        TFrameStage stage(
            2,
            [&](AVFrame* frame) {
                if (frame)
                    seen.push_back(frame->pts);
                else
                    ++ends;
            },
            threaded);
        for (int i = 0; i < 20; ++i) {
            TFramePtr frame = Numbered(i);
            stage.Push(frame.get());
            EXPECT_EQ(frame->pts, AV_NOPTS_VALUE) << "the reference was handed over";
        }
        stage.Finish();
        TFramePtr late = Numbered(99);
        stage.Push(late.get()); // after the end: ignored
        ASSERT_EQ(seen.size(), 20u);
        for (int i = 0; i < 20; ++i)
            EXPECT_EQ(seen[static_cast<size_t>(i)], i);
        EXPECT_EQ(ends, 1);
    }
}

TEST_F(FrameStageTest, AFailingWorkRaisesItsErrorToTheProducerAndAtTheEnd) {
    std::atomic<int> worked{0};
    TFrameStage stage(
        2,
        [&](AVFrame* frame) {
            if (frame && frame->pts == 3)
                throw FFmpegException("Video encoding failed");
            ++worked;
        },
        true);
    std::string raised;
    try {
        // A producer far ahead waits at the full queue until the failure wakes it.
        for (int i = 0; i < 1000; ++i) {
            TFramePtr frame = Numbered(i);
            stage.Push(frame.get());
        }
    } catch (const FFmpegException& error) {
        raised = error.what();
    }
    EXPECT_EQ(raised, "Video encoding failed");
    EXPECT_EQ(worked, 3) << "nothing after the failure is worked on";
    EXPECT_THROW(stage.Finish(), FFmpegException);
}

TEST_F(FrameStageTest, AbortFreesAProducerWaitingAtAFullQueue) {
    TGate gate;
    std::atomic<int> worked{0};
    TFrameStage stage(
        1,
        [&](AVFrame*) {
            gate.Pass();
            ++worked;
        },
        true);
    std::atomic<bool> producerDone{false};
    std::thread producer([&] {
        for (int i = 0; i < 5; ++i) {
            TFramePtr frame = Numbered(i);
            stage.Push(frame.get()); // the third push waits: one in work, one queued
        }
        producerDone = true;
    });
    gate.WaitForWaiter();
    std::thread release([&] {
        // The work in progress ends only after the abort asked it to.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        gate.Release();
    });
    stage.Abort();
    producer.join();
    release.join();
    EXPECT_TRUE(producerDone);
    EXPECT_EQ(worked, 1) << "the queued frames were dropped";
}

} // namespace
} // namespace tovik
