#include "platform/Dispatcher.h"

#include <atomic>
#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>

namespace tovik {
namespace {

// Pumps the dispatcher on this (main) thread until done is set.
void PumpUntil(const std::atomic<bool>& done) {
    while (!done.load())
        TDispatcher::Instance().WaitAndCheckSynchronize(std::chrono::milliseconds(5));
}

TEST(DispatcherTest, SynchronizeRunsOnTheMainThreadAndWaits) {
    ASSERT_TRUE(IsMainThread());
    const auto mainId = std::this_thread::get_id();
    std::atomic<bool> done{false};
    std::thread::id ranOn;
    int order = 0;
    int callOrder = -1;
    int afterOrder = -1;
    std::thread worker([&] {
        CallInMainThread([&] {
            ranOn = std::this_thread::get_id();
            callOrder = order++;
        });
        afterOrder = order++; // the worker resumes only after the call has run
        done = true;
    });
    PumpUntil(done);
    worker.join();
    EXPECT_EQ(ranOn, mainId);
    EXPECT_EQ(callOrder, 0);
    EXPECT_EQ(afterOrder, 1);
}

TEST(DispatcherTest, OnTheMainThreadTheCallRunsDirectly) {
    bool ran = false;
    CallInMainThread([&] { ran = true; });
    EXPECT_TRUE(ran);
    EXPECT_EQ(TDispatcher::Instance().PendingCount(), 0u);
}

TEST(DispatcherTest, AnErrorOfASynchronisedCallReachesTheWaitingWorker) {
    std::atomic<bool> done{false};
    std::string caught;
    std::thread worker([&] {
        try {
            CallInMainThread([] { throw std::runtime_error("boom"); });
        } catch (const std::runtime_error& error) {
            caught = error.what();
        }
        done = true;
    });
    PumpUntil(done);
    worker.join();
    EXPECT_EQ(caught, "boom");
}

TEST(DispatcherTest, QueuedCallsRunInOrderWithoutBlockingTheCaller) {
    std::vector<int> seen;
    std::thread worker([&] {
        for (int i = 0; i < 3; ++i)
            TDispatcher::Instance().Queue([&seen, i] { seen.push_back(i); });
    });
    worker.join(); // returned without anyone pumping
    EXPECT_TRUE(seen.empty());
    EXPECT_TRUE(TDispatcher::Instance().CheckSynchronize());
    EXPECT_EQ(seen, (std::vector<int>{0, 1, 2}));
    EXPECT_FALSE(TDispatcher::Instance().CheckSynchronize());
}

TEST(DispatcherTest, ManyWorkersAreServedOneAtATime) {
    constexpr int kWorkers = 8;
    std::atomic<int> finished{0};
    std::atomic<bool> done{false};
    int inCall = 0;
    int maxInCall = 0;
    int total = 0;
    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; ++w)
        workers.emplace_back([&] {
            for (int i = 0; i < 50; ++i)
                CallInMainThread([&] {
                    maxInCall = std::max(maxInCall, ++inCall);
                    ++total;
                    --inCall;
                });
            if (++finished == kWorkers)
                done = true;
        });
    PumpUntil(done);
    for (auto& worker : workers)
        worker.join();
    EXPECT_EQ(total, kWorkers * 50);
    EXPECT_EQ(maxInCall, 1);
}

TEST(DispatcherTest, WakeUpHandlerIsToldOfEveryQueuedCall) {
    std::atomic<int> wakeUps{0};
    TDispatcher::Instance().SetWakeUpHandler([&] { ++wakeUps; });
    std::thread worker([] { TDispatcher::Instance().Queue([] {}); });
    worker.join();
    TDispatcher::Instance().SetWakeUpHandler(nullptr);
    TDispatcher::Instance().CheckSynchronize();
    EXPECT_EQ(wakeUps.load(), 1);
}

TEST(DispatcherTest, ProcessMessagesAlsoPumpsTheHost) {
    int pumped = 0;
    TDispatcher::Instance().SetHostEventPump([&] { ++pumped; });
    ProcessMessages();
    TDispatcher::Instance().SetHostEventPump(nullptr);
    EXPECT_EQ(pumped, 1);
}

} // namespace
} // namespace tovik
