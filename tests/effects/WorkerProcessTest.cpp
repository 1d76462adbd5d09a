// Conversions in a worker process: what the runner hears when the worker converts, is paused
// and stopped, dies from a signal in the middle of its task, or stops answering.
#include "effects/WorkerProcess.h"

#include "media/MediaProbe.h"
#include "support/TestSupport.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <gtest/gtest.h>
#include <thread>

namespace tovik {
namespace {

using namespace std::chrono_literals;

class WorkerProcessTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        test::LoadEngineLibrariesOrFail();
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        // The workers started here die as a crashing library makes them die.
        test::LetWorkersDieOfSignals();
        // A clip long enough to be caught in the middle of its conversion on any machine.
        static test::TTempDir folder;
        longClip_ = folder.File("long.mp4");
        const std::string command =
            std::string(TOVIK_FFMPEG_TOOL) +
            " -v error -y -f lavfi -i testsrc2=size=640x480:rate=25:duration=60"
            " -f lavfi -i sine=duration=60 -c:v libx264 -preset ultrafast"
            " -c:a aac '" +
            longClip_ + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }

    TTaskDescription Task(const std::string& input, const std::string& output) {
        TTaskDescription task;
        task.Input.FileName = input;
        task.Output.FileName = output;
        task.Output.VideoCodec = "mpeg4";
        task.Output.AudioCodec = "aac";
        return task;
    }

    // Runs the task to its end, hearing everything; what the end said.
    struct THeard {
        int Progress = 0;
        int Ends = 0;
        TTerminateInfo End;
    };
    THeard Run(TWorkerProcess& worker, const TTaskDescription& task,
               const std::function<void(TWorkerProcess&)>& meanwhile = {}) {
        auto heard = std::make_shared<THeard>();
        auto progressSeen = std::make_shared<std::promise<void>>();
        auto once = std::make_shared<std::once_flag>();
        TWorkerEvents events;
        events.Progress = [heard, progressSeen, once](const TProgressInfo&) {
            ++heard->Progress;
            std::call_once(*once, [&] { progressSeen->set_value(); });
        };
        events.Terminate = [heard](const TTerminateInfo& end) {
            ++heard->Ends;
            heard->End = end;
        };
        std::string error;
        EXPECT_TRUE(worker.Start(TOVIK_WORKER_PROGRAM, task, events, error)) << error;
        if (meanwhile) {
            // In the middle of the task: the output has begun, and the worker is held there
            // whatever the machine's speed.
            EXPECT_EQ(progressSeen->get_future().wait_for(60s), std::future_status::ready);
            worker.Pause();
            std::this_thread::sleep_for(200ms);
            meanwhile(worker);
        }
        worker.Wait();
        return *heard;
    }

    static inline std::string longClip_;
    test::TTempDir dir_;
};

TEST_F(WorkerProcessTest, AConversionReportsProgressAndEndsOnce) {
    TWorkerProcess worker;
    const THeard heard = Run(worker, Task(test::MediaFile("clip.avi"), dir_.File("out.mov")));
    EXPECT_GT(heard.Progress, 0);
    EXPECT_EQ(heard.Ends, 1);
    EXPECT_TRUE(heard.End.Finished) << heard.End.ErrorMessage;
    EXPECT_FALSE(heard.End.Failed);
    EXPECT_TRUE(std::filesystem::exists(dir_.File("out.mov")));
}

TEST_F(WorkerProcessTest, AWorkerKilledByASignalFailsItsTaskNamingTheSignal) {
    for (const int number : {SIGKILL, SIGSEGV, SIGABRT}) {
        const std::string output = dir_.File("crash" + std::to_string(number) + ".mov");
        TWorkerProcess worker;
        const THeard heard = Run(worker, Task(longClip_, output),
                                 [number](TWorkerProcess& w) { ::kill(w.Pid(), number); });
        EXPECT_EQ(heard.Ends, 1) << number;
        EXPECT_TRUE(heard.End.Failed) << number;
        EXPECT_EQ(heard.End.ErrorMessage,
                  "The conversion stopped unexpectedly (" + SignalName(number) + ")");
        // A MOV cut off before its index plays nowhere: it is not left behind.
        EXPECT_FALSE(std::filesystem::exists(output)) << number;
    }
    // The next task converts as if nothing had happened.
    TWorkerProcess next;
    EXPECT_TRUE(Run(next, Task(test::MediaFile("clip.avi"), dir_.File("next.mov"))).End.Finished);
}

TEST_F(WorkerProcessTest, PauseHoldsTheWorkerAndStopEndsItWithoutFailure) {
    TWorkerProcess worker;
    const THeard heard =
        Run(worker, Task(longClip_, dir_.File("stopped.mov")), [&](TWorkerProcess& w) {
            const auto size = std::filesystem::file_size(dir_.File("stopped.mov"));
            std::this_thread::sleep_for(500ms);
            EXPECT_EQ(std::filesystem::file_size(dir_.File("stopped.mov")), size)
                << "the output grew while paused";
            w.Stop();
        });
    EXPECT_EQ(heard.Ends, 1);
    EXPECT_FALSE(heard.End.Failed) << heard.End.ErrorMessage;
    EXPECT_FALSE(heard.End.Finished) << "stopped before the end of a 60 s clip";
    // Stopped, not crashed: the output is closed properly and kept.
    EXPECT_TRUE(std::filesystem::exists(dir_.File("stopped.mov")));
}

TEST_F(WorkerProcessTest, AWorkerThatStopsAnsweringIsEndedAfterItsTimeOut) {
    TWorkerProcess worker(1s);
    const THeard heard = Run(worker, Task(longClip_, dir_.File("hung.mov")), [](TWorkerProcess& w) {
        // Frozen, as a worker stuck in a library would be; the runner no longer waits for a
        // paused worker, so it expects to hear from it.
        ::kill(w.Pid(), SIGSTOP);
        w.Resume();
    });
    EXPECT_EQ(heard.Ends, 1);
    EXPECT_EQ(heard.End.ErrorMessage,
              "The conversion stopped unexpectedly (it did not answer for 1 s)");
}

// A batch pays the process start-up once: the worker whose task ended takes the next one.
// One that died while it waited is not given another.
TEST_F(WorkerProcessTest, AWorkerTakesTasksOneAfterAnotherUntilItDies) {
    TWorkerProcess worker;
    std::string error;
    ASSERT_TRUE(worker.Spawn(TOVIK_WORKER_PROGRAM, error)) << error;
    const pid_t pid = worker.Pid();
    std::vector<TTerminateInfo> ends; // written by the listener, read after Wait
    for (const char* name : {"first.mov", "second.mov"}) {
        TWorkerEvents events;
        events.Terminate = [&ends](const TTerminateInfo& end) { ends.push_back(end); };
        worker.Begin(Task(test::MediaFile("clip.avi"), dir_.File(name)), events);
        worker.Wait();
        EXPECT_TRUE(worker.Reusable()) << name;
    }
    EXPECT_EQ(worker.Pid(), pid);
    ASSERT_EQ(ends.size(), 2u);
    for (const TTerminateInfo& end : ends)
        EXPECT_TRUE(end.Finished && !end.Failed) << end.ErrorMessage;
    TMediaProbe probe;
    EXPECT_TRUE(probe.LoadFile(dir_.File("second.mov")));

    ::kill(pid, SIGKILL);
    for (int i = 0; i < 100 && worker.Reusable(); ++i)
        std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(worker.Reusable());
    EXPECT_EQ(ends.size(), 2u) << "an idle worker's death is nobody's failure";

    // A task given to it all the same (it died just after it was chosen) fails, and says why.
    TWorkerEvents events;
    events.Terminate = [&ends](const TTerminateInfo& end) { ends.push_back(end); };
    worker.Begin(Task(test::MediaFile("clip.avi"), dir_.File("third.mov")), events);
    worker.Wait();
    ASSERT_EQ(ends.size(), 3u);
    EXPECT_TRUE(ends.back().Failed);
    EXPECT_EQ(ends.back().ErrorMessage, "The conversion stopped unexpectedly (SIGKILL)");
}

TEST_F(WorkerProcessTest, AProgramThatCannotStartIsRefusedAtOnce) {
    TWorkerProcess worker;
    std::string error;
    EXPECT_FALSE(worker.Start(dir_.File("no-such-worker"), Task("a", "b"), {}, error));
    EXPECT_NE(error.find("no-such-worker"), std::string::npos) << error;
}

TEST(SignalNameTest, NamesTheUsualSignals) {
    EXPECT_EQ(SignalName(SIGSEGV), "SIGSEGV");
    EXPECT_EQ(SignalName(SIGABRT), "SIGABRT");
    EXPECT_EQ(SignalName(SIGKILL), "SIGKILL");
    EXPECT_EQ(SignalName(1000), "signal 1000");
}

} // namespace
} // namespace tovik
