// The task's thread stage on its own (start once, stop before start, stop while paused) and
// the preview window behind the component's Preview property.

#include "engine/ComponentTestSupport.h"

#include <atomic>

namespace tovik::test {
namespace {

using namespace std::chrono_literals;

class TaskThreadsTest : public ComponentTest {
protected:
    // A task converting source into out, reporting its end into ended_.
    std::unique_ptr<TFFmpeg> NewTask(const std::string& source, const std::string& out) {
        auto task = std::make_unique<TFFmpeg>();
        task->ResetEngine();
        if (source == kLongClip)
            task->SetOption("re", "1");
        EXPECT_TRUE(task->AddInputFile(MediaFile(source))) << task->LastError();
        task->SetOption("vcodec", "mpeg4");
        task->SetOption("acodec", "mp2");
        EXPECT_GT(task->AddOutputFile(out, false), 0) << task->LastError();
        task->SetTerminateCallback([this](TCustomFFmpeg& ended) {
            std::lock_guard lock(mutex_);
            reports_.push_back({0, ended.Finished(), ended.Failed(), ended.ErrorMessage()});
        });
        return task;
    }
};

TEST_F(TaskThreadsTest, StopBeforeStartReportsOnceAndTheTaskNeverRuns) {
    const std::string out = temp_.File("out.avi");
    auto task = NewTask("clip.avi", out);
    task->StopConvert(true);
    ASSERT_EQ(Reports().size(), 1u);
    EXPECT_FALSE(Reports()[0].Finished);
    EXPECT_FALSE(Reports()[0].Failed);
    EXPECT_TRUE(task->Terminated());
    task->StopConvert(true); // ended: left alone
    EXPECT_EQ(task->StartConvert(true, TThreadPriority::tpNormal), nullptr);
    EXPECT_EQ(task->StartConvert(false, TThreadPriority::tpNormal), nullptr);
    EXPECT_EQ(Reports().size(), 1u);
    task.reset();
    EXPECT_FALSE(platform::FileExistsNotDirectory(out)); // nothing was written to it
}

TEST_F(TaskThreadsTest, ConvertsOnceInAWorker) {
    auto task = NewTask("clip.avi", temp_.File("out.avi"));
    TConvertThread* worker = task->StartConvert(true, TThreadPriority::tpNormal);
    ASSERT_NE(worker, nullptr);
    EXPECT_NE(worker->Id(), std::this_thread::get_id());
    EXPECT_TRUE(task->Working());
    EXPECT_EQ(task->StartConvert(true, TThreadPriority::tpNormal), nullptr); // already working
    worker->Resume();
    ASSERT_TRUE(WaitForTaskReport(*task));
    task->BreakConvert(true); // ended: returns at once
    ASSERT_EQ(Reports().size(), 1u);
    EXPECT_TRUE(Reports()[0].Finished);
    EXPECT_FALSE(task->HasWorkerThread());
}

TEST_F(TaskThreadsTest, BreakOnAPausedWorkerEndsTheTask) {
    const std::string out = temp_.File("out.avi");
    auto task = NewTask(kLongClip, out);
    std::atomic<int> progress{0};
    task->SetProgressCallback([&](TCustomFFmpeg&, const TProgressInfo&) { ++progress; });
    task->StartConvert(true, TThreadPriority::tpNormal)->Resume();
    ASSERT_TRUE(PumpUntil([&] { return progress > 0; }));
    task->PauseConvert();
    PumpFor(100ms);
    task->BreakConvert(true);
    EXPECT_TRUE(task->Terminated());
    ASSERT_EQ(Reports().size(), 1u);
    EXPECT_FALSE(Reports()[0].Finished);
    EXPECT_FALSE(Reports()[0].Failed);
    EXPECT_GT(MediaDuration(out), 0);
}

TEST_F(TaskThreadsTest, FreeingAWaitingWorkerRunsNothing) {
    std::atomic<bool> ran{false};
    {
        TConvertThread thread([&] { ran = true; }, TThreadPriority::tpNormal);
    }
    EXPECT_FALSE(ran);
    {
        TConvertThread thread([&] { ran = true; }, TThreadPriority::tpNormal);
        thread.Resume();
    }
    EXPECT_TRUE(ran);
}

// A preview window that records what it was asked to do.
struct TFakeWindowLog {
    std::mutex Mutex;
    int Created = 0;             // guarded by Mutex
    int Destroyed = 0;           // guarded by Mutex
    int Drawn = 0;               // guarded by Mutex
    std::string Caption;         // guarded by Mutex
    int Width = 0;               // guarded by Mutex
    std::function<void()> Close; // the last window's close; guarded by Mutex
    bool CloseOnFirstDraw = false;
};

class TFakeWindow : public TPreviewWindow {
public:
    explicit TFakeWindow(TFakeWindowLog& log) : log_(log) {}
    ~TFakeWindow() override {
        EXPECT_TRUE(IsMainThread());
        std::lock_guard lock(log_.Mutex);
        ++log_.Destroyed;
    }
    void ShowWindow(int width, int) override {
        EXPECT_TRUE(IsMainThread());
        std::lock_guard lock(log_.Mutex);
        log_.Width = width;
    }
    void SetCaption(const std::string& caption) override {
        std::lock_guard lock(log_.Mutex);
        log_.Caption = caption;
    }
    void Draw(const TBitmap&) override {
        std::lock_guard lock(log_.Mutex);
        ++log_.Drawn;
    }

private:
    TFakeWindowLog& log_;
};

class PreviewTest : public ComponentTest {
protected:
    void SetUp() override {
        ComponentTest::SetUp();
        converter_->SetPreviewWindowFactory([this](std::function<void()> onClose) {
            std::lock_guard lock(log_.Mutex);
            ++log_.Created;
            log_.Close = std::move(onClose);
            return std::make_unique<TFakeWindow>(log_);
        });
    }
    TFakeWindowLog log_;
};

TEST_F(PreviewTest, WindowShowsFramesAndGoesWithThePreviewProperty) {
    converter_->SetPreview(true);
    AddConversion(kLongClip, temp_.File("out.avi"));
    converter_->StartTask(1);
    ASSERT_TRUE(WaitForRunEnd());
    {
        std::lock_guard lock(log_.Mutex);
        EXPECT_EQ(log_.Created, 1);
        EXPECT_GT(log_.Drawn, 10);  // 4 s read at its own pace, a picture every 0.1 s
        EXPECT_LE(log_.Drawn, 100); // never more than the frames
        EXPECT_EQ(log_.Width, 320);
        EXPECT_EQ(log_.Caption.size(), std::string("00:00:03.960").size()) << log_.Caption;
        EXPECT_NE(log_.Caption, "00:00:00.000");
    }
    auto previewer = converter_->PreviewerOf(0);
    ASSERT_NE(previewer, nullptr);
    EXPECT_GT(previewer->FrameNumber(), 0);
    previewer.reset();
    converter_->SetPreview(false); // frees the window, on the main thread
    std::lock_guard lock(log_.Mutex);
    EXPECT_EQ(log_.Destroyed, 1);
}

TEST_F(PreviewTest, ClosedWindowClearsTheTasksPreviewAndSettingItAgainMakesANewOne) {
    converter_->SetPreview(true);
    AddConversion(kLongClip, temp_.File("out.avi"));
    converter_->StartTask(1);
    ASSERT_TRUE(PumpUntil([&] {
        std::lock_guard lock(log_.Mutex);
        return log_.Drawn > 0;
    }));
    std::function<void()> close;
    {
        std::lock_guard lock(log_.Mutex);
        close = log_.Close;
    }
    close(); // the user closes the window
    ASSERT_TRUE(PumpUntil([&] {
        return (converter_->Task(0).PreviewFlags() & TCustomFFmpeg::kPreviewWindowFlag) == 0;
    }));
    converter_->SetPreview(true);
    EXPECT_NE(converter_->Task(0).PreviewFlags() & TCustomFFmpeg::kPreviewWindowFlag, 0);
    ASSERT_TRUE(PumpUntil([&] {
        std::lock_guard lock(log_.Mutex);
        return log_.Created == 2 || RunEnded();
    }));
    converter_->Stop(true);
    ASSERT_TRUE(WaitForRunEnd());
    std::lock_guard lock(log_.Mutex);
    EXPECT_EQ(log_.Created, 2);
}

TEST_F(PreviewTest, PreviewBitmapTakesPrecedenceOverTheWindow) {
    converter_->SetPreview(true);
    converter_->SetPreviewBitmap(true);
    std::atomic<int> pictures{0};
    converter_->OnPreviewBitmap = [&](TObject*, const TPreviewInfo& info) {
        EXPECT_TRUE(IsMainThread());
        EXPECT_EQ(info.Bitmap->Width(), 320);
        ++pictures;
    };
    AddConversion(kLongClip, temp_.File("out.avi"));
    converter_->StartTask(1);
    ASSERT_TRUE(WaitForRunEnd());
    EXPECT_GT(pictures, 10);
    std::lock_guard lock(log_.Mutex);
    EXPECT_EQ(log_.Created, 0);
}

TEST(PreviewerTest, HeadlessPreviewerKeepsTheLastPictureUntilClosed) {
    TPreviewer previewer;
    TBitmap bitmap(8, 6);
    EXPECT_TRUE(previewer.Show(bitmap, 3, 120000));
    EXPECT_EQ(previewer.FrameNumber(), 3);
    EXPECT_EQ(previewer.FrameTime(), 120000);
    EXPECT_FALSE(previewer.HasWindow());
    previewer.Close();
    EXPECT_FALSE(previewer.Show(bitmap, 4, 160000));
    EXPECT_EQ(previewer.FrameNumber(), 3);
}

} // namespace
} // namespace tovik::test
