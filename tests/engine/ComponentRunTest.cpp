// Runs of the engine component: order of the reports, background and foreground modes,
// failed starts, stopping, clearing, pausing and the main-thread events.

#include "engine/ComponentTestSupport.h"

#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <set>
#include <stdexcept>

namespace tovik::test {
namespace {

using namespace std::chrono_literals;

std::string ErrorOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const std::runtime_error& error) {
        return error.what();
    }
    return {};
}

TEST_F(ComponentTest, PropertiesKeepTheirRules) {
    EXPECT_EQ(converter_->Version(), "1.0");
    EXPECT_EQ(converter_->ProgressInterval(), 500);
    for (int value : {0, 50, 100}) {
        converter_->SetProgressInterval(value);
        EXPECT_EQ(converter_->ProgressInterval(), 100) << value;
    }
    converter_->SetProgressInterval(101);
    EXPECT_EQ(converter_->ProgressInterval(), 101);
    EXPECT_TRUE(converter_->TriggerEventInMainThread());
    EXPECT_EQ(converter_->ThreadPriority(), TThreadPriority::tpNormal);
    EXPECT_EQ(converter_->Verbosity(), 1);
}

TEST_F(ComponentTest, BackgroundRunsTasksOneAfterAnotherEachInItsOwnThread) {
    for (int i = 0; i < 3; ++i)
        AddConversion("clip.avi", temp_.File("out" + std::to_string(i) + ".avi"),
                      "vcodec=mpeg4<CRLF>acodec=mp2", true);
    std::mutex hookMutex;
    std::vector<std::pair<int, std::thread::id>> frames; // guarded by hookMutex
    converter_->OnCustomHook = [&](TObject*, PHookInfo info) {
        std::lock_guard lock(hookMutex);
        frames.emplace_back(info->TaskIndex, std::this_thread::get_id());
    };
    converter_->StartTask(1);
    ASSERT_TRUE(WaitForRunEnd());
    EXPECT_EQ(ReportedIndices(), (std::vector<int>{0, 1, 2, -1}));
    for (const TTerminateInfo& info : Reports()) {
        EXPECT_TRUE(info.Finished) << info.TaskIndex;
        EXPECT_FALSE(info.Failed) << info.ErrorMessage;
    }
    std::lock_guard lock(hookMutex);
    ASSERT_FALSE(frames.empty());
    // Strictly one after another: the task index never goes back.
    EXPECT_TRUE(std::is_sorted(frames.begin(), frames.end(),
                               [](const auto& a, const auto& b) { return a.first < b.first; }));
    std::set<std::thread::id> threads;
    std::set<int> tasks;
    for (const auto& [task, thread] : frames) {
        EXPECT_NE(thread, std::this_thread::get_id());
        threads.insert(thread);
        tasks.insert(task);
    }
    EXPECT_EQ(tasks.size(), 3u);
    EXPECT_EQ(threads.size(), 3u);
    for (int i = 0; i < 3; ++i)
        EXPECT_GT(MediaDuration(temp_.File("out" + std::to_string(i) + ".avi")), 1500000);
}

TEST_F(ComponentTest, ForegroundReturnsAfterTheEndOfRunReport) {
    AddConversion("clip.avi", temp_.File("a.avi"));
    AddConversion("video_only.avi", temp_.File("b.avi"), "vcodec=mpeg4");
    converter_->StartTask(0);
    EXPECT_EQ(ReportedIndices(), (std::vector<int>{0, 1, -1}));
    std::lock_guard lock(mutex_);
    for (std::thread::id thread : reportThreads_)
        EXPECT_EQ(thread, std::this_thread::get_id());
}

TEST_F(ComponentTest, TaskWithoutOutputFailsAndTheRunGoesOn) {
    AddConversion("clip.avi", temp_.File("a.avi"));
    ASSERT_EQ(converter_->AddTask(MediaFile("clip.avi")), 1);
    AddConversion("clip.avi", temp_.File("c.avi"));
    converter_->StartTask(1);
    ASSERT_TRUE(WaitForRunEnd());
    const auto reports = Reports();
    ASSERT_EQ(ReportedIndices(), (std::vector<int>{0, 1, 2, -1}));
    EXPECT_TRUE(reports[0].Finished);
    EXPECT_TRUE(reports[1].Failed);
    EXPECT_FALSE(reports[1].Finished);
    EXPECT_EQ(reports[1].ErrorMessage, "At least one output file must be specified");
    EXPECT_TRUE(reports[2].Finished);
    EXPECT_TRUE(reports[3].Finished);
    EXPECT_FALSE(reports[3].Failed);
}

// Failed starts report and start the next task from inside the start itself.
TEST_F(ComponentTest, FailedStartsReportEveryTaskExactlyOnce) {
    for (int parallel : {1, 2, 5}) {
        NewRun();
        for (int i = 0; i < 4; ++i)
            ASSERT_GE(converter_->AddTask(MediaFile("clip.avi")), 0);
        AddConversion("clip.avi", temp_.File("last.avi"));
        converter_->StartTask(parallel);
        ASSERT_TRUE(WaitForRunEnd()) << parallel;
        auto indices = ReportedIndices();
        ASSERT_EQ(indices.size(), 6u) << parallel;
        EXPECT_EQ(indices.back(), -1);
        indices.pop_back();
        std::sort(indices.begin(), indices.end());
        EXPECT_EQ(indices, (std::vector<int>{0, 1, 2, 3, 4})) << parallel;
        EXPECT_TRUE(Reports()[4].Finished);
    }
}

TEST_F(ComponentTest, BusyComponentRefusesChangesUntilCleared) {
    AddConversion("clip.avi", temp_.File("a.avi"));
    converter_->StartTask(1);
    EXPECT_EQ(ErrorOf([&] { converter_->ClearTasks(); }), "Cannot ClearTasks while working.");
    ASSERT_TRUE(WaitForRunEnd());
    EXPECT_EQ(ErrorOf([&] { converter_->AddTask(MediaFile("clip.avi")); }),
              "Cannot AddTask while working.");
    EXPECT_EQ(ErrorOf([&] { converter_->SetOutputFile(0, temp_.File("b.avi")); }),
              "Cannot SetOutputFile while working.");
    EXPECT_EQ(ErrorOf([&] { converter_->StartTask(1); }), "Cannot StartTask while working.");
    EXPECT_EQ(ErrorOf([&] { converter_->RemoveTask(0); }), "Cannot RemoveTask while working.");
    EXPECT_EQ(converter_->TaskCount(), 1);
    EXPECT_EQ(ErrorOf([&] { converter_->ClearTasks(); }), "");
    EXPECT_EQ(converter_->TaskCount(), 0);
    EXPECT_GE(converter_->AddTask(MediaFile("clip.avi")), 0);
}

TEST_F(ComponentTest, ClearTasksFromTheEndOfRunHandlerInForeground) {
    AddConversion("clip.avi", temp_.File("a.avi"));
    AddConversion("clip.avi", temp_.File("b.avi"));
    converter_->OnTerminate = [this](TObject*, const TTerminateInfo& info) {
        {
            std::lock_guard lock(mutex_);
            reports_.push_back(info);
        }
        if (info.TaskIndex == -1)
            converter_->ClearTasks(); // the tasks are still on this thread's stack
    };
    converter_->StartTask(0);
    EXPECT_EQ(ReportedIndices(), (std::vector<int>{0, 1, -1}));
    EXPECT_EQ(converter_->TaskCount(), 0);
    EXPECT_FALSE(converter_->Working());
    EXPECT_GT(MediaDuration(temp_.File("b.avi")), 1500000);
}

TEST_F(ComponentTest, StopDuringTheFirstOfThreeTasks) {
    for (int i = 0; i < 3; ++i)
        AddConversion(kLongClip, temp_.File("out" + std::to_string(i) + ".avi"));
    std::atomic<int> progress{0};
    converter_->OnProgress = [&](TObject*, PProgressInfo info) {
        EXPECT_EQ(info->TaskIndex, 0);
        ++progress;
    };
    converter_->StartTask(1);
    ASSERT_TRUE(PumpUntil([&] { return progress > 0; }));
    converter_->Stop(true);
    ASSERT_TRUE(WaitForRunEnd());
    const auto reports = Reports();
    ASSERT_EQ(ReportedIndices(), (std::vector<int>{0, 1, 2, -1}));
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(reports[i].Finished) << i;
        EXPECT_FALSE(reports[i].Failed) << reports[i].ErrorMessage;
    }
    EXPECT_TRUE(reports[3].Finished);
    // The stopped output is finished and readable; the others never received data.
    const int64_t duration = MediaDuration(temp_.File("out0.avi"));
    EXPECT_GT(duration, 0);
    EXPECT_LT(duration, 3500000);
    converter_->ClearTasks();
    EXPECT_FALSE(platform::FileExistsNotDirectory(temp_.File("out1.avi")));
    EXPECT_FALSE(platform::FileExistsNotDirectory(temp_.File("out2.avi")));
}

// In foreground the conversion runs on this thread: a Stop from its progress event reports
// the tasks that never ran from threads of their own while this one still converts.
TEST_F(ComponentTest, StopFromAProgressEventInForeground) {
    for (int i = 0; i < 3; ++i)
        AddConversion(kLongClip, temp_.File("out" + std::to_string(i) + ".avi"));
    int progress = 0;
    converter_->OnProgress = [&](TObject*, PProgressInfo) {
        if (++progress == 1)
            converter_->Stop(true);
    };
    converter_->StartTask(0);
    ASSERT_TRUE(RunEnded());
    auto indices = ReportedIndices();
    ASSERT_EQ(indices.size(), 4u);
    std::sort(indices.begin(), indices.end() - 1);
    EXPECT_EQ(indices, (std::vector<int>{0, 1, 2, -1}));
    for (const TTerminateInfo& info : Reports()) {
        if (info.TaskIndex >= 0) {
            EXPECT_FALSE(info.Finished) << info.TaskIndex;
            EXPECT_FALSE(info.Failed) << info.ErrorMessage;
        }
    }
    EXPECT_GT(MediaDuration(temp_.File("out0.avi")), 0);
}

TEST_F(ComponentTest, StopWhileAWorkerWaitsInASynchronisedProgressEvent) {
    AddConversion(kLongClip, temp_.File("out.avi"));
    std::atomic<int> progress{0};
    converter_->OnProgress = [&](TObject*, PProgressInfo) {
        EXPECT_TRUE(IsMainThread());
        ++progress;
    };
    converter_->StartTask(1);
    // Do not pump: wait until the worker blocks in its first progress call.
    const auto end = TClock::now() + 60s;
    while (TDispatcher::Instance().PendingCount() == 0 && TClock::now() < end)
        std::this_thread::sleep_for(1ms);
    ASSERT_GT(TDispatcher::Instance().PendingCount(), 0u);
    converter_->Stop(true); // must serve the pending event, or the worker never ends
    EXPECT_GE(progress, 1);
    ASSERT_TRUE(WaitForRunEnd());
    EXPECT_FALSE(Reports()[0].Finished);
}

TEST_F(ComponentTest, PauseThenStop) {
    AddConversion(kLongClip, temp_.File("out.avi"));
    std::atomic<int> progress{0};
    converter_->OnProgress = [&](TObject*, PProgressInfo) { ++progress; };
    converter_->StartTask(1);
    ASSERT_TRUE(PumpUntil([&] { return progress > 0; }));
    converter_->Pause();
    PumpFor(300ms);
    converter_->Stop(true);
    ASSERT_TRUE(WaitForRunEnd());
    EXPECT_FALSE(Reports()[0].Finished);
    EXPECT_FALSE(Reports()[0].Failed);
    EXPECT_GT(MediaDuration(temp_.File("out.avi")), 0);
}

TEST_F(ComponentTest, PauseHoldsTheOutputStillAndResumeCompletesIt) {
    const std::string out = temp_.File("out.avi");
    AddConversion(kLongClip, out);
    std::atomic<int> progress{0};
    converter_->OnProgress = [&](TObject*, PProgressInfo) { ++progress; };
    converter_->StartTask(1);
    ASSERT_TRUE(PumpUntil([&] { return progress > 0; }));
    converter_->Pause();
    PumpFor(200ms); // a packet in flight may still land
    const int64_t size = platform::FileSizeOf(out);
    const int reports = progress;
    PumpFor(1000ms);
    EXPECT_EQ(platform::FileSizeOf(out), size);
    EXPECT_EQ(progress, reports);
    EXPECT_FALSE(RunEnded());
    converter_->Resume();
    ASSERT_TRUE(WaitForRunEnd());
    EXPECT_TRUE(Reports()[0].Finished);
    EXPECT_GT(MediaDuration(out), 3900000);
}

TEST_F(ComponentTest, StartWithoutTasksReportsTheEndAtOnce) {
    converter_->StartTask(1);
    ASSERT_TRUE(WaitForRunEnd());
    EXPECT_EQ(ReportedIndices(), (std::vector<int>{-1}));
    converter_->ClearTasks();
    converter_->StartTask(0);
    EXPECT_EQ(ReportedIndices(), (std::vector<int>{-1, -1}));
}

TEST_F(ComponentTest, DestroyingARunningComponentStopsAndJoins) {
    AddConversion(kLongClip, temp_.File("out.avi"));
    AddConversion(kLongClip, temp_.File("out2.avi"));
    converter_->StartTask(2);
    PumpFor(300ms);
    converter_.reset(); // a hang or a crash here fails the test
    EXPECT_GT(MediaDuration(temp_.File("out.avi")), 0);
}

TEST_F(ComponentTest, WorkersRunAtTheChosenPriority) {
    struct TCase {
        TThreadPriority Priority;
        int Policy;
        int Nice;
    };
    const int startNice = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
    for (const TCase& c : {TCase{TThreadPriority::tpIdle, SCHED_IDLE, -100},
                           TCase{TThreadPriority::tpLower, SCHED_OTHER, 5}}) {
        NewRun();
        AddConversion("video_only.avi", temp_.File("out.avi"), "vcodec=mpeg4", true);
        std::atomic<int> policy{-1};
        std::atomic<int> nice{-100};
        converter_->OnCustomHook = [&](TObject*, PHookInfo) {
            policy = sched_getscheduler(0);
            if (policy != SCHED_IDLE)
                nice = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
        };
        converter_->SetThreadPriority(c.Priority);
        converter_->StartTask(1);
        ASSERT_TRUE(WaitForRunEnd());
        EXPECT_EQ(policy, c.Policy);
        if (c.Nice != -100 && startNice <= c.Nice) {
            EXPECT_EQ(nice, c.Nice);
        }
    }
    // Raising needs a privilege; without it the task still runs.
    NewRun();
    AddConversion("video_only.avi", temp_.File("out.avi"), "vcodec=mpeg4");
    converter_->SetThreadPriority(TThreadPriority::tpTimeCritical);
    converter_->StartTask(1);
    ASSERT_TRUE(WaitForRunEnd());
    EXPECT_TRUE(Reports().front().Finished);
}

} // namespace
} // namespace tovik::test
