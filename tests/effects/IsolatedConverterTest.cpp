// The engine component's run with each task in a worker process: a batch with a file that
// kills its worker still converts the others, reports every task once and the run once, and
// pause, stop, several tasks at once and the live picture work as in the program's own run.
#include "effects/IsolatedConverter.h"

#include "media/MediaProbe.h"
#include "platform/Dispatcher.h"
#include "support/TestSupport.h"

#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace tovik {
namespace {

using namespace std::chrono_literals;

// What a run told its handlers, filled from the component's threads.
struct THeard {
    std::mutex Mutex; // guards everything below
    std::condition_variable Changed;
    std::vector<TTerminateInfo> Ends; // the tasks' reports, in the order they came
    int RunEnds = 0;
    int Progress = 0;
    std::set<int> ProgressTasks;
    int Pictures = 0;
    int PictureWidth = 0;

    bool WaitForRunEnd(std::chrono::seconds limit) {
        std::unique_lock lock(Mutex);
        return Changed.wait_for(lock, limit, [this] { return RunEnds > 0; });
    }
    bool WaitForProgress(std::chrono::seconds limit) {
        std::unique_lock lock(Mutex);
        return Changed.wait_for(lock, limit, [this] { return Progress > 0; });
    }
};

// Processes whose parent is this one (the test starts no others meanwhile).
std::set<std::string> ChildPids() {
    std::set<std::string> children;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::ifstream stat(entry.path() / "stat");
        std::string pid, name, state;
        int parent = 0;
        if (stat >> pid >> name >> state >> parent && parent == ::getpid())
            children.insert(pid);
    }
    return children;
}
int ChildProcesses() {
    return static_cast<int>(ChildPids().size());
}

class IsolatedConverterTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        test::LoadEngineLibrariesOrFail();
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        test::LetWorkersDieOfSignals();
        // Long enough to be caught in the middle of its conversion on any machine.
        static test::TTempDir folder;
        longClip_ = folder.File("long.avi");
        const std::string command =
            std::string(TOVIK_FFMPEG_TOOL) +
            " -v error -y -f lavfi -i testsrc2=size=640x480:rate=25:duration=30"
            " -f lavfi -i sine=duration=30 -c:v mpeg4 -c:a libmp3lame '" +
            longClip_ + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
    static inline std::string longClip_;

    // A worker that dies of SIGSEGV on a source named "crashing", as a library that crashes
    // on a damaged file makes it die, and converts everything else.
    static std::string CrashingWorker() {
        return test::FailingWorker(TOVIK_WORKER_PROGRAM, "crashing", "SEGV");
    }

    std::string Source(const std::string& name) {
        const std::string copy = dir_.File(name);
        std::filesystem::copy_file(test::MediaFile("clip.avi"), copy,
                                   std::filesystem::copy_options::overwrite_existing);
        return copy;
    }

    void Listen(TIsolatedConverter& converter, const std::shared_ptr<THeard>& heard) {
        converter.SetTriggerEventInMainThread(false);
        converter.OnProgress = [heard](TObject*, PProgressInfo info) {
            std::lock_guard lock(heard->Mutex);
            ++heard->Progress;
            heard->ProgressTasks.insert(info->TaskIndex);
            heard->Changed.notify_all();
        };
        converter.OnPreviewBitmap = [heard](TObject*, const TPreviewInfo& info) {
            std::lock_guard lock(heard->Mutex);
            ++heard->Pictures;
            heard->PictureWidth = info.Bitmap ? info.Bitmap->Width() : -1;
        };
        converter.OnTerminate = [heard](TObject*, const TTerminateInfo& info) {
            std::lock_guard lock(heard->Mutex);
            if (info.TaskIndex < 0)
                ++heard->RunEnds;
            else
                heard->Ends.push_back(info);
            heard->Changed.notify_all();
        };
    }

    int Add(TIsolatedConverter& converter, const std::string& source, const std::string& output,
            const std::string& frameSize = "320x240") {
        const int index = converter.AddTask(source);
        EXPECT_GE(index, 0) << converter.LastError();
        TOutputOptions options;
        options.VideoCodec = "mpeg4";
        options.AudioCodec = "aac";
        options.FrameSize = frameSize;
        EXPECT_TRUE(converter.SetOutputFile(index, output, &options)) << converter.LastError();
        return index;
    }

    test::TTempDir dir_;
};

TEST_F(IsolatedConverterTest, AWorkerThatCrashesFailsItsFileAndTheNextFilesConvert) {
    TIsolatedConverter converter(CrashingWorker());
    auto heard = std::make_shared<THeard>();
    Listen(converter, heard);
    Add(converter, Source("good1.avi"), dir_.File("good1.mov"));
    Add(converter, Source("crashing.avi"), dir_.File("crashing.mov"));
    Add(converter, Source("good2.avi"), dir_.File("good2.mov"));
    converter.StartTask(1);
    ASSERT_TRUE(heard->WaitForRunEnd(120s));

    std::lock_guard lock(heard->Mutex);
    EXPECT_EQ(heard->RunEnds, 1);
    ASSERT_EQ(heard->Ends.size(), 3u);
    for (const TTerminateInfo& end : heard->Ends) {
        SCOPED_TRACE(end.TaskIndex);
        if (end.TaskIndex == 1) {
            EXPECT_TRUE(end.Failed);
            EXPECT_EQ(end.ErrorMessage, "The conversion stopped unexpectedly (SIGSEGV)");
        } else {
            EXPECT_TRUE(end.Finished);
            EXPECT_FALSE(end.Failed) << end.ErrorMessage;
        }
    }
    EXPECT_TRUE(std::filesystem::file_size(dir_.File("good1.mov")) > 0);
    EXPECT_TRUE(std::filesystem::file_size(dir_.File("good2.mov")) > 0);
    EXPECT_FALSE(std::filesystem::exists(dir_.File("crashing.mov")));
    EXPECT_TRUE(converter.AllDone());
}

TEST_F(IsolatedConverterTest, TwoAtOnceEachReportAndShowTheirPictures) {
    TIsolatedConverter converter(TOVIK_WORKER_PROGRAM);
    converter.SetPreviewBitmap(true);
    auto heard = std::make_shared<THeard>();
    Listen(converter, heard);
    for (int i = 0; i < 3; ++i)
        Add(converter, Source("in" + std::to_string(i) + ".avi"),
            dir_.File("out" + std::to_string(i) + ".mov"), "176x144");
    converter.StartTask(2);
    ASSERT_TRUE(heard->WaitForRunEnd(120s));
    std::lock_guard lock(heard->Mutex);
    ASSERT_EQ(heard->Ends.size(), 3u);
    std::set<int> reported;
    for (const TTerminateInfo& end : heard->Ends) {
        EXPECT_TRUE(end.Finished && !end.Failed) << end.ErrorMessage;
        reported.insert(end.TaskIndex);
    }
    EXPECT_EQ(reported, (std::set<int>{0, 1, 2}));
    EXPECT_EQ(heard->ProgressTasks, (std::set<int>{0, 1, 2}));
    // The pictures come through shared memory at the output's size.
    EXPECT_GT(heard->Pictures, 0);
    EXPECT_EQ(heard->PictureWidth, 176);
}

TEST_F(IsolatedConverterTest, OnTheMainThreadEachRunningFileShowsItsOwnPictures) {
    TIsolatedConverter converter(TOVIK_WORKER_PROGRAM);
    converter.SetPreviewBitmap(true);
    auto heard = std::make_shared<THeard>();
    Listen(converter, heard);
    converter.SetTriggerEventInMainThread(true);
    std::set<int> picturesOf; // main thread only
    converter.OnPreviewBitmap = [&picturesOf](TObject*, const TPreviewInfo& info) {
        EXPECT_TRUE(IsMainThread());
        if (info.Bitmap && info.Bitmap->Width() > 0)
            picturesOf.insert(info.TaskIndex);
    };
    Add(converter, longClip_, dir_.File("a.mov"), "320x240");
    Add(converter, longClip_, dir_.File("b.mov"), "320x240");
    converter.StartTask(2);
    const auto limit = std::chrono::steady_clock::now() + 120s;
    while (!converter.AllDone() && std::chrono::steady_clock::now() < limit)
        TDispatcher::Instance().WaitAndCheckSynchronize(20ms);
    TDispatcher::Instance().CheckSynchronize();
    ASSERT_TRUE(heard->WaitForRunEnd(10s));
    EXPECT_EQ(picturesOf, (std::set<int>{0, 1}));
}

TEST_F(IsolatedConverterTest, StopFinishesTheRunningFileAndReportsTheOthersNotRun) {
    TIsolatedConverter converter(TOVIK_WORKER_PROGRAM);
    auto heard = std::make_shared<THeard>();
    Listen(converter, heard);
    Add(converter, longClip_, dir_.File("first.mov"), "");
    Add(converter, Source("second.avi"), dir_.File("second.mov"));
    Add(converter, Source("third.avi"), dir_.File("third.mov"));
    converter.StartTask(1);
    ASSERT_TRUE(heard->WaitForProgress(60s));
    converter.Pause();
    converter.Stop(true);
    ASSERT_TRUE(heard->WaitForRunEnd(60s));
    std::lock_guard lock(heard->Mutex);
    ASSERT_EQ(heard->Ends.size(), 3u);
    // The reports come as the tasks end: the ones never run may come first.
    std::map<int, TTerminateInfo> ends;
    for (const TTerminateInfo& end : heard->Ends)
        ends[end.TaskIndex] = end;
    ASSERT_EQ(ends.size(), 3u);
    const TTerminateInfo& first = ends[0];
    for (const int never : {1, 2}) {
        EXPECT_FALSE(ends[never].Finished);
        EXPECT_FALSE(ends[never].Failed);
    }
    EXPECT_FALSE(std::filesystem::exists(dir_.File("second.mov")));
    // The worker started ahead for the second file is gone with the run.
    EXPECT_EQ(ChildProcesses(), 0);
    // The stopped file was closed properly: it still opens.
    EXPECT_FALSE(first.Failed) << first.ErrorMessage;
    TMediaProbe probe;
    EXPECT_TRUE(probe.LoadFile(dir_.File("first.mov")));
}

TEST_F(IsolatedConverterTest, SourcesAndOutputsAreCheckedAsTheComponentChecksThem) {
    TIsolatedConverter converter(TOVIK_WORKER_PROGRAM);
    EXPECT_EQ(converter.AddTask(dir_.File("missing.avi")), -1);
    EXPECT_FALSE(converter.LastError().empty());
    const int index = Add(converter, Source("a.avi"), dir_.File("a.mov"));
    EXPECT_FALSE(converter.SetOutputFile(index, dir_.File("b.mov")));
    EXPECT_FALSE(converter.SetOutputFile(7, dir_.File("c.mov")));
    EXPECT_EQ(converter.TaskCount(), 1);
    // Nothing is written before the run.
    EXPECT_FALSE(std::filesystem::exists(dir_.File("a.mov")));

    // A worker that cannot be started fails its task and the run still ends.
    TIsolatedConverter missing(dir_.File("no-such-worker"));
    auto heard = std::make_shared<THeard>();
    Listen(missing, heard);
    Add(missing, Source("c.avi"), dir_.File("c.mov"));
    missing.StartTask(0); // waits for the end of the run
    std::lock_guard lock(heard->Mutex);
    EXPECT_EQ(heard->RunEnds, 1);
    ASSERT_EQ(heard->Ends.size(), 1u);
    EXPECT_TRUE(heard->Ends[0].Failed);
}

// A batch starts one worker per file at once, not one per file: the next file and the next run
// go to the worker that is ready.
TEST_F(IsolatedConverterTest, FilesAndRunsGoToTheWorkerThatIsReady) {
    TIsolatedConverter converter(TOVIK_WORKER_PROGRAM);
    auto heard = std::make_shared<THeard>();
    Listen(converter, heard);
    Add(converter, Source("one.avi"), dir_.File("one.mov"));
    Add(converter, Source("two.avi"), dir_.File("two.mov"));
    converter.StartTask(1);
    ASSERT_TRUE(heard->WaitForRunEnd(120s));
    const std::set<std::string> kept = ChildPids();
    EXPECT_EQ(kept.size(), 1u) << "one worker for both files, kept for the next run";

    converter.ClearTasks();
    EXPECT_EQ(ChildPids(), kept);
    Add(converter, Source("three.avi"), dir_.File("three.mov"));
    {
        std::lock_guard lock(heard->Mutex);
        heard->RunEnds = 0;
    }
    converter.StartTask(1);
    ASSERT_TRUE(heard->WaitForRunEnd(120s));
    EXPECT_EQ(ChildPids(), kept);
    std::lock_guard lock(heard->Mutex);
    ASSERT_EQ(heard->Ends.size(), 3u);
    for (const TTerminateInfo& end : heard->Ends)
        EXPECT_TRUE(end.Finished && !end.Failed) << end.TaskIndex << " " << end.ErrorMessage;
}

// A caller without media libraries of its own reads its sources through a worker: what it
// finds is what the probe finds here, a file that is not there is refused in the probe's
// words, and a file that crashes the worker while it is read fails alone.
TEST_F(IsolatedConverterTest, SourcesAreProbedInAWorker) {
    TIsolatedConverter converter(CrashingWorker());
    TWorkerProbe found;
    ASSERT_TRUE(converter.ProbeSource(test::MediaFile("clip.avi"), found)) << converter.LastError();
    TMediaProbe here;
    ASSERT_TRUE(here.LoadFile(test::MediaFile("clip.avi")));
    EXPECT_TRUE(found.Opened);
    EXPECT_EQ(found.FileName, here.FileName());
    EXPECT_EQ(found.VideoStreamCount, here.VideoStreamCount());
    EXPECT_EQ(found.Width, here.GetVideoStreamInfo(-1).Width);
    EXPECT_EQ(found.Height, here.GetVideoStreamInfo(-1).Height);

    TMediaProbe missingHere;
    EXPECT_FALSE(missingHere.LoadFile(dir_.File("missing.avi")));
    ASSERT_TRUE(converter.ProbeSource(dir_.File("missing.avi"), found));
    EXPECT_FALSE(found.Opened);
    EXPECT_EQ(found.Error, missingHere.LastErrMsg());

    EXPECT_FALSE(converter.ProbeSource(Source("crashing.avi"), found));
    EXPECT_EQ(converter.LastError(), "The conversion stopped unexpectedly (SIGSEGV)");
    ASSERT_TRUE(converter.ProbeSource(test::MediaFile("clip.avi"), found)) << converter.LastError();
    EXPECT_TRUE(found.Opened);

    // A worker that hangs while it reads is ended after the silence time.
    const std::string hanging = dir_.File("hanging.sh");
    test::WriteTextFile(hanging, "#!/bin/sh\nexec sleep 600\n");
    ::chmod(hanging.c_str(), 0755);
    TIsolatedConverter stuck(hanging, 1s);
    EXPECT_FALSE(stuck.ProbeSource(test::MediaFile("clip.avi"), found));
    EXPECT_EQ(stuck.LastError(), "The conversion stopped unexpectedly (it did not answer for 1 s)");
}

} // namespace
} // namespace tovik
