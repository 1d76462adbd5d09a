// The engine component: task list, runs in the calling thread or in worker threads, and the
// four event handlers the tasks call.

#include "engine/MediaConverter.h"

#include "media/LibrarySets.h"
#include "media/MediaLogger.h"
#include "media/TextFormat.h"
#include "platform/Dispatcher.h"

#include <stdexcept>

namespace tovik {

// ---- The terminate lock ---------------------------------------------------------------------

void TCustomMediaConverter::TTerminateLock::lock() {
    mutex_.lock();
    if (depth_++ == 0)
        owner_ = std::this_thread::get_id();
}

void TCustomMediaConverter::TTerminateLock::unlock() {
    if (--depth_ == 0)
        owner_ = std::thread::id();
    mutex_.unlock();
}

bool TCustomMediaConverter::TTerminateLock::HeldByCurrentThread() const {
    return owner_.load() == std::this_thread::get_id();
}

// ---- Life -----------------------------------------------------------------------------------

TCustomMediaConverter::TCustomMediaConverter() : probe_(std::make_unique<TMediaProbe>()) {}

TCustomMediaConverter::~TCustomMediaConverter() {
    Shutdown();
    std::vector<std::unique_ptr<TFFmpeg>> tasks;
    std::map<const TCustomFFmpeg*, std::shared_ptr<TPreviewer>> previewers;
    {
        std::lock_guard lock(terminateLock_);
        tasks = tasks_.Extract();
        retiredTasks_.clear();
    }
    {
        std::lock_guard lock(PreviewLock());
        previewers.swap(previewers_);
    }
    tasks.clear(); // each task joins its threads
}

void TCustomMediaConverter::Shutdown() {
    bool running = false;
    {
        std::lock_guard lock(terminateLock_);
        destroying_ = true; // no event reaches the owner any more
        running = working_ && !allDone_;
    }
    if (running)
        Stop(true);
    JoinReportThreads();
    // No event may be in progress while the locks go.
    { std::lock_guard lock(hookLock_); }
    { std::lock_guard lock(previewBitmapLock_); }
    { std::lock_guard lock(progressLock_); }
    { std::lock_guard lock(terminateLock_); }
}

void TCustomMediaConverter::JoinReportThreads() {
    std::unique_ptr<TDoTerminateThread_2> last;
    {
        std::lock_guard lock(terminateLock_);
        last = std::move(lastReportThread_);
    }
    if (last && last->get_id() == std::this_thread::get_id())
        last->detach(); // freed from its own OnTerminate handler: it ends right after
    last.reset();       // joins it, and it joined the ones before it
}

// ---- Operations ----------------------------------------------------------------------------

void TCustomMediaConverter::CheckNotWorking(const char* operation) const {
    std::lock_guard lock(terminateLock_);
    if (working_)
        throw std::runtime_error(FormatText("Cannot %s while working.", operation));
}

bool TCustomMediaConverter::Working() const {
    std::lock_guard lock(terminateLock_);
    return working_;
}

bool TCustomMediaConverter::AllDone() const {
    std::lock_guard lock(terminateLock_);
    return allDone_;
}

bool TCustomMediaConverter::LoadAVLib(const std::string& folder) {
    std::string error;
    if (LoadEngineLibraries(folder, error))
        return true;
    lastError_ = error;
    return false;
}

void TCustomMediaConverter::BindTask(TFFmpeg& task) {
    task.SetPreviewCallback(
        [this](TCustomFFmpeg& owner, const TBitmap& bitmap, int frameNumber, int64_t frameTime) {
            DoPreviewBitmap(owner, bitmap, frameNumber, frameTime);
        });
    task.SetPreviewWindowCallback(
        [this](TCustomFFmpeg& owner, const TBitmap& bitmap, int frameNumber, int64_t frameTime) {
            return ShowPreview(owner, bitmap, frameNumber, frameTime);
        });
    task.SetProgressCallback(
        [this](TCustomFFmpeg& owner, const TProgressInfo& info) { DoProgress(owner, info); });
    task.SetTerminateCallback([this](TCustomFFmpeg& owner) { DoTerminate(owner); });
}

int TCustomMediaConverter::AddTask(const std::string& fileName, const TInputOptions* options) {
    CheckNotWorking("AddTask");
    try {
        auto task = std::make_unique<TFFmpeg>();
        task->ResetEngine();
        task->SetOption("v", std::to_string(verbosity_));
        task->SetPreviewFlags((preview_ ? TCustomFFmpeg::kPreviewWindowFlag : 0) |
                              (previewBitmap_ ? TCustomFFmpeg::kPreviewBitmapFlag : 0));
        BindTask(*task);
        if (options) {
            TInputOptions& stored = task->StoredInputOptions(task->InputCount());
            stored = *options;
            if (stored.FileName.empty())
                stored.FileName = fileName;
            task->ParseOptionText(stored.OptionText, true);
            // The record's fields override the same options given in the text.
            if (!stored.FormatName.empty())
                task->SetOption("f", stored.FormatName);
            if (stored.StartTime != kUnsetTime)
                task->SetOption("ss", MicrosecondsValue(stored.StartTime));
            if (stored.ProgramId >= 0)
                task->SetOption("programid", std::to_string(stored.ProgramId));
        }
        if (!task->AddInputFile(fileName)) {
            lastError_ = task->LastError();
            return -1;
        }
        task->Probe(0).AttachContext(task->InputContext(0));
        std::lock_guard lock(terminateLock_);
        const int index = tasks_.Add(std::move(task));
        tasks_.Items(index).SetTaskIndex(index);
        return index;
    } catch (const std::exception& error) {
        lastError_ = error.what();
        return -1;
    }
}

void TCustomMediaConverter::StartTask(int n) {
    CheckNotWorking("StartTask");
    std::unique_lock lock(terminateLock_);
    finishedCount_ = 0;
    nextIndex_ = 0;
    toStart_ = tasks_.Count();
    allDone_ = false;
    background_ = n > 0;
    working_ = true;
    if (tasks_.Count() == 0) {
        // Nothing to run: the end of the run is reported at once, so a caller waiting for
        // it is not left waiting.
        allDone_ = true;
        if (OnTerminate && !destroying_)
            DeliverTerminate(TTerminateInfo{-1, true, false, {}});
        return;
    }
    if (background_) {
        // The terminate lock is held, so the handlers of tasks ending meanwhile wait; a
        // failed start re-enters it on this thread and starts the next task itself.
        for (int started = 0; toStart_ > 0 && started < n; ++started)
            StartNextTask();
        return;
    }
    // Foreground: the conversions run without the lock, so that a Stop from an event can
    // report the tasks that never ran from threads of their own.
    ++busyDepth_;
    for (;;) {
        const int index = ClaimNextTask();
        if (index < 0)
            break;
        TFFmpeg* task = &tasks_.Items(index);
        lock.unlock();
        task->StartConvert(false, threadPriority_);
        lock.lock();
    }
    std::vector<std::unique_ptr<TFFmpeg>> retired;
    if (--busyDepth_ == 0)
        retired.swap(retiredTasks_);
    lock.unlock();
}

int TCustomMediaConverter::ClaimNextTask() {
    if (toStart_ <= 0 || nextIndex_ < 0 || nextIndex_ >= tasks_.Count())
        return -1;
    --toStart_;
    const int index = nextIndex_++;
    tasks_.Items(index).SetProgressInterval(static_cast<int64_t>(progressInterval_) * 1000);
    return index;
}

void TCustomMediaConverter::StartNextTask() {
    // The index is claimed before the start: a start that fails reports the task and starts
    // the next one from inside StartConvert.
    const int index = ClaimNextTask();
    if (index < 0)
        return;
    if (TConvertThread* worker = tasks_.Items(index).StartConvert(true, threadPriority_))
        worker->Resume();
}

void TCustomMediaConverter::Pause() {
    std::lock_guard lock(terminateLock_);
    for (int i = 0; i < tasks_.Count(); ++i)
        if (tasks_.Items(i).HasWorkerThread())
            tasks_.Items(i).PauseConvert();
}

void TCustomMediaConverter::Resume() {
    std::lock_guard lock(terminateLock_);
    for (int i = 0; i < tasks_.Count(); ++i)
        if (tasks_.Items(i).Paused())
            tasks_.Items(i).ResumeConvert();
}

void TCustomMediaConverter::Stop(bool wait) {
    std::vector<TFFmpeg*> tasks;
    {
        std::lock_guard lock(terminateLock_);
        toStart_ = 0;
        ++busyDepth_; // tasks cleared meanwhile (a queued handler) stay alive until we return
        for (int i = 0; i < tasks_.Count(); ++i)
            tasks.push_back(&tasks_.Items(i));
    }
    // Inside an OnTerminate handler this thread holds the terminate lock that the reports
    // of never-run tasks need: waiting for them here would never end.
    const bool canWait = wait && !terminateLock_.HeldByCurrentThread();
    for (TFFmpeg* task : tasks)
        task->StopConvert(canWait);
    std::vector<std::unique_ptr<TFFmpeg>> retired;
    std::lock_guard lock(terminateLock_);
    if (--busyDepth_ == 0)
        retired.swap(retiredTasks_);
}

void TCustomMediaConverter::RemoveTask(int index) {
    CheckNotWorking("RemoveTask");
    std::unique_ptr<TFFmpeg> removed;
    {
        std::lock_guard lock(terminateLock_);
        if (index < 0 || index >= tasks_.Count())
            throw std::out_of_range(FormatText("List index out of bounds (%d)", index));
        std::vector<std::unique_ptr<TFFmpeg>> all = tasks_.Extract();
        removed = std::move(all[static_cast<size_t>(index)]);
        all.erase(all.begin() + index);
        for (auto& task : all) {
            task->SetTaskIndex(tasks_.Count());
            tasks_.Add(std::move(task));
        }
    }
    std::shared_ptr<TPreviewer> previewer;
    {
        std::lock_guard lock(PreviewLock());
        auto found = previewers_.find(removed.get());
        if (found != previewers_.end()) {
            previewer = std::move(found->second);
            previewers_.erase(found);
        }
    }
}

void TCustomMediaConverter::ClearTasks() {
    std::vector<std::unique_ptr<TFFmpeg>> doomed;
    {
        std::lock_guard lock(terminateLock_);
        if (working_ && !allDone_)
            throw std::runtime_error("Cannot ClearTasks while working.");
        doomed = tasks_.Extract();
        lastError_.clear();
        finishedCount_ = 0;
        nextIndex_ = -1;
        toStart_ = 0;
        allDone_ = false;
        background_ = false;
        working_ = false;
        if (busyDepth_ > 0) {
            // A run or a Stop further up this thread's stack still uses these tasks.
            for (auto& task : doomed)
                retiredTasks_.push_back(std::move(task));
            doomed.clear();
        }
    }
    std::map<const TCustomFFmpeg*, std::shared_ptr<TPreviewer>> previewers;
    {
        std::lock_guard lock(PreviewLock());
        previewers.swap(previewers_);
    }
    doomed.clear(); // joins the ended workers
}

int TCustomMediaConverter::TaskCount() const {
    std::lock_guard lock(terminateLock_);
    return tasks_.Count();
}

TFFmpeg& TCustomMediaConverter::Task(int index) const {
    std::lock_guard lock(terminateLock_);
    if (index < 0 || index >= tasks_.Count())
        throw std::out_of_range(FormatText("List index out of bounds (%d)", index));
    return tasks_.Items(index);
}

TMediaProbe& TCustomMediaConverter::TaskProbe(int taskIndex, int inputIndex) {
    if (inputIndex < 0 || inputIndex >= kMaxFiles)
        throw std::out_of_range(FormatText("List index out of bounds (%d)", inputIndex));
    return Task(taskIndex).Probe(inputIndex);
}

// ---- Preview ----------------------------------------------------------------------------------

void TCustomMediaConverter::SetPreview(bool value) {
    preview_ = value;
    ApplyPreviewFlag(TCustomFFmpeg::kPreviewWindowFlag, value);
}

void TCustomMediaConverter::SetPreviewBitmap(bool value) {
    previewBitmap_ = value;
    ApplyPreviewFlag(TCustomFFmpeg::kPreviewBitmapFlag, value);
}

void TCustomMediaConverter::ApplyPreviewFlag(int flag, bool value) {
    {
        std::lock_guard lock(terminateLock_);
        for (int i = 0; i < tasks_.Count(); ++i) {
            TFFmpeg& task = tasks_.Items(i);
            const int flags = task.PreviewFlags();
            task.SetPreviewFlags(value ? flags | flag : flags & ~flag);
        }
    }
    if (flag != TCustomFFmpeg::kPreviewWindowFlag)
        return;
    // Windows go when Preview goes off; a window the user closed is replaced by a new one
    // when Preview is set again. They are freed outside the preview lock.
    std::vector<std::shared_ptr<TPreviewer>> dropped;
    {
        std::lock_guard lock(PreviewLock());
        for (auto it = previewers_.begin(); it != previewers_.end();) {
            if (!value || it->second->Closed()) {
                dropped.push_back(std::move(it->second));
                it = previewers_.erase(it);
            } else {
                ++it;
            }
        }
    }
}

std::shared_ptr<TPreviewer> TCustomMediaConverter::PreviewerOf(int taskIndex) const {
    const TFFmpeg* task = &Task(taskIndex);
    std::lock_guard lock(PreviewLock());
    auto found = previewers_.find(task);
    return found == previewers_.end() ? nullptr : found->second;
}

bool TCustomMediaConverter::ShowPreview(TCustomFFmpeg& task, const TBitmap& bitmap, int frameNumber,
                                        int64_t frameTime) {
    std::shared_ptr<TPreviewer> previewer;
    {
        std::lock_guard lock(PreviewLock());
        auto& slot = previewers_[&task];
        if (!slot)
            slot = std::make_shared<TPreviewer>(previewWindowFactory_);
        previewer = slot;
    }
    return previewer->Show(bitmap, frameNumber, frameTime);
}

// ---- Event handlers -------------------------------------------------------------------------

void TCustomMediaConverter::DoCustomHook(TCustomFFmpeg& task, TBitmap& bitmap, int frameNumber,
                                         int64_t frameTime, bool& writeBack, bool& disableHook) {
    std::lock_guard lock(hookLock_);
    if (!OnCustomHook || destroying_)
        return;
    hookRecord_ =
        THookInfo{task.TaskIndex(), &bitmap, frameNumber, frameTime, writeBack, disableHook};
    {
        std::lock_guard canvas(bitmap.CanvasLock());
        OnCustomHook(this, &hookRecord_);
    }
    writeBack = hookRecord_.WriteBack;
    disableHook = hookRecord_.DisableHook;
}

namespace {

// Runs an event: on the main thread (the worker waits) when asked to and not there already.
// A failing handler is logged; it does not end the task.
void RunEvent(TObject* sender, bool inMainThread, const char* name,
              const std::function<void()>& call) {
    try {
        if (inMainThread && !IsMainThread())
            CallInMainThread(call);
        else
            call();
    } catch (const std::exception& error) {
        LoggerInstance().LogFmt(sender, TLogLevel::llError, "Error occurs %s: %s", name,
                                error.what());
    }
}

} // namespace

void TCustomMediaConverter::DoPreviewBitmap(TCustomFFmpeg& task, const TBitmap& bitmap,
                                            int frameNumber, int64_t frameTime) {
    std::lock_guard lock(previewBitmapLock_);
    if (!OnPreviewBitmap || destroying_)
        return;
    previewRecord_ = TPreviewInfo{task.TaskIndex(), &bitmap, frameNumber, frameTime};
    RunEvent(this, triggerEventInMainThread_, "OnPreviewBitmap",
             [this] { OnPreviewBitmap(this, previewRecord_); });
}

void TCustomMediaConverter::DoProgress(TCustomFFmpeg& task, const TProgressInfo& info) {
    std::lock_guard lock(progressLock_);
    if (!OnProgress || destroying_)
        return;
    progressRecord_ = info;
    progressRecord_.TaskIndex = task.TaskIndex();
    RunEvent(this, triggerEventInMainThread_, "OnProgress",
             [this] { OnProgress(this, &progressRecord_); });
}

void TCustomMediaConverter::DoTerminate(TCustomFFmpeg& task) {
    std::lock_guard lock(terminateLock_);
    if (OnTerminate && !destroying_) {
        terminateRecord_ =
            TTerminateInfo{task.TaskIndex(), task.Finished(), task.Failed(), task.ErrorMessage()};
        DeliverTerminate(terminateRecord_);
    }
    ++finishedCount_;
    if (toStart_ > 0) {
        if (background_)
            StartNextTask();
    } else if (working_ && !allDone_ && finishedCount_ >= tasks_.Count()) {
        // Set before the report, so that its handler may already call ClearTasks.
        allDone_ = true;
        if (OnTerminate && !destroying_) {
            terminateRecord_ = TTerminateInfo{-1, true, false, {}};
            DeliverTerminate(terminateRecord_);
        }
    }
}

void TCustomMediaConverter::DeliverTerminate(const TTerminateInfo& info) {
    if (!background_) {
        try {
            OnTerminate(this, info);
        } catch (const std::exception& error) {
            LoggerInstance().LogFmt(this, TLogLevel::llError, "Error occurs OnTerminate: %s",
                                    error.what());
        }
        return;
    }
    // A thread of its own per report; each waits for the one before, so the handler sees
    // the reports in order and never two at a time.
    auto previous = std::move(lastReportThread_);
    lastReportThread_ = std::make_unique<TDoTerminateThread_2>(
        [this, handler = OnTerminate, info, previous = std::move(previous)]() mutable {
            previous.reset();
            try {
                handler(this, info);
            } catch (const std::exception& error) {
                LoggerInstance().LogFmt(this, TLogLevel::llError, "Error occurs OnTerminate: %s",
                                        error.what());
            }
        });
}

} // namespace tovik
