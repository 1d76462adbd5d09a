// A running task whose stages are busy: stop and pause hold whichever stage is the slow one,
// and an encoder stage that fails ends the task with one report.

#include "engine/ComponentTestSupport.h"

#include <atomic>
#include <csignal>
#include <sys/resource.h>

namespace tovik::test {
namespace {

using namespace std::chrono_literals;

// CPU time the whole process has used, in milliseconds.
int64_t ProcessCpuMilliseconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (static_cast<int64_t>(usage.ru_utime.tv_sec) + usage.ru_stime.tv_sec) * 1000 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
}

// bsGroups: as bsFramePath, into WMV, whose groups of pictures several encoders code.
enum class TBusyStage { bsEncoder, bsFramePath, bsGroups };

std::string OutName(TBusyStage busy) {
    return busy == TBusyStage::bsEncoder     ? "e.mp4"
           : busy == TBusyStage::bsFramePath ? "f.avi"
                                             : "g.wmv";
}

class StageThreadsTest : public ComponentTest {
protected:
    // A task on the long clip, read as fast as it goes. Encoder-bound: a slow encoder, so the
    // queues stay full. Frame-path-bound: a hook that takes its time, so the encoders wait.
    std::unique_ptr<TFFmpeg> NewTask(TBusyStage busy, const std::string& out) {
        auto task = std::make_unique<TFFmpeg>();
        task->ResetEngine();
        EXPECT_TRUE(task->AddInputFile(MediaFile(kLongClip))) << task->LastError();
        if (busy == TBusyStage::bsEncoder) {
            task->SetOption("vcodec", "libx264");
            task->SetOption("s", "640x480");
        } else {
            task->SetOption("vcodec", busy == TBusyStage::bsGroups ? "wmv2" : "mpeg4");
            task->SetHookCallback(
                [](TCustomFFmpeg&, TBitmap&, int, int64_t, bool& writeBack, bool&) {
                    writeBack = false;
                    std::this_thread::sleep_for(10ms);
                });
        }
        task->SetOption("acodec", "mp2");
        EXPECT_GT(task->AddOutputFile(out, false), 0) << task->LastError();
        task->SetProgressInterval(0);
        task->SetProgressCallback([this](TCustomFFmpeg&, const TProgressInfo&) { ++progress_; });
        task->SetTerminateCallback([this](TCustomFFmpeg& ended) {
            std::lock_guard lock(mutex_);
            reports_.push_back({0, ended.Finished(), ended.Failed(), ended.ErrorMessage()});
        });
        return task;
    }
    std::atomic<int> progress_{0};
};

TEST_F(StageThreadsTest, StopWhileEitherStageIsBusyReportsOnceAndFinishesTheFile) {
    for (const TBusyStage busy :
         {TBusyStage::bsEncoder, TBusyStage::bsFramePath, TBusyStage::bsGroups}) {
        const std::string out = temp_.File(OutName(busy));
        NewRun();
        progress_ = 0;
        auto task = NewTask(busy, out);
        task->StartConvert(true, TThreadPriority::tpNormal)->Resume();
        ASSERT_TRUE(PumpUntil([&] { return progress_ > 5; }));
        task->BreakConvert(true);
        EXPECT_TRUE(task->Terminated());
        ASSERT_EQ(Reports().size(), 1u);
        EXPECT_FALSE(Reports()[0].Finished);
        EXPECT_FALSE(Reports()[0].Failed) << Reports()[0].ErrorMessage;
        // The trailer was written: the part converted so far plays.
        EXPECT_GT(MediaDuration(out), 0) << out;
        EXPECT_LT(MediaDuration(out), 4000000) << out;
    }
}

TEST_F(StageThreadsTest, PauseHoldsEveryStageUntilResumed) {
    for (const TBusyStage busy :
         {TBusyStage::bsEncoder, TBusyStage::bsFramePath, TBusyStage::bsGroups}) {
        const std::string out = temp_.File(OutName(busy));
        NewRun();
        progress_ = 0;
        auto task = NewTask(busy, out);
        task->StartConvert(true, TThreadPriority::tpNormal)->Resume();
        ASSERT_TRUE(PumpUntil([&] { return progress_ > 5; }));
        task->PauseConvert();
        PumpFor(300ms); // the encoders finish the few frames they hold
        const int64_t cpu = ProcessCpuMilliseconds();
        const int reports = progress_;
        PumpFor(500ms);
        EXPECT_LT(ProcessCpuMilliseconds() - cpu, 150) << "a paused task keeps a core busy";
        EXPECT_EQ(progress_, reports);
        task->ResumeConvert();
        ASSERT_TRUE(WaitForTaskReport(*task));
        ASSERT_EQ(Reports().size(), 1u);
        EXPECT_TRUE(Reports()[0].Finished) << Reports()[0].ErrorMessage;
        EXPECT_NEAR(static_cast<double>(MediaDuration(out)) / 1e6, 4.0, 0.15) << out;
    }
}

// Keeps the files this process may write small for as long as it lives.
class TFileSizeLimit {
public:
    explicit TFileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        signal_ = std::signal(SIGXFSZ, SIG_IGN); // a write past the limit fails instead
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~TFileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, signal_);
    }
    TFileSizeLimit(const TFileSizeLimit&) = delete;
    TFileSizeLimit& operator=(const TFileSizeLimit&) = delete;

private:
    rlimit saved_{};
    void (*signal_)(int) = nullptr;
};

TEST_F(StageThreadsTest, AFailingEncoderStageEndsTheTaskWithOneReportBothWays) {
    // WMV: the failing write comes from whichever of the group encoders finished a group.
    for (const std::string codec : {"mpeg4", "wmv2"}) {
        std::string errors[2];
        for (int threaded = 0; threaded < 2; ++threaded) {
            NewRun();
            auto task = std::make_unique<TFFmpeg>();
            task->ResetEngine();
            task->SetStageThreads(threaded == 1);
            ASSERT_TRUE(task->AddInputFile(MediaFile(kLongClip)));
            // Video only: every packet is written by the encoder stage, and the writes fail once
            // the file reaches the limit, long before the end.
            task->SetOption("vcodec", codec);
            task->SetOption("qscale", "2");
            task->SetOption("an", "");
            ASSERT_GT(
                task->AddOutputFile(temp_.File(codec + std::to_string(threaded) + ".avi"), false),
                0);
            task->SetTerminateCallback([this](TCustomFFmpeg& ended) {
                std::lock_guard lock(mutex_);
                reports_.push_back({0, ended.Finished(), ended.Failed(), ended.ErrorMessage()});
            });
            {
                TFileSizeLimit limit(100000);
                task->StartConvert(true, TThreadPriority::tpNormal)->Resume();
                ASSERT_TRUE(WaitForTaskReport(*task));
            }
            ASSERT_EQ(Reports().size(), 1u);
            EXPECT_TRUE(Reports()[0].Failed);
            EXPECT_FALSE(Reports()[0].Finished);
            errors[threaded] = Reports()[0].ErrorMessage;
        }
        EXPECT_EQ(errors[0].rfind("av_interleaved_write_frame()", 0), 0u) << errors[0];
        EXPECT_EQ(errors[1], errors[0]);
    }
}

} // namespace
} // namespace tovik::test
