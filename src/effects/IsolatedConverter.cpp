#include "effects/IsolatedConverter.h"

#include "media/MediaLogger.h"
#include "platform/Dispatcher.h"

#include <utility>

namespace tovik {

TIsolatedConverter::TIsolatedConverter(std::string program, std::chrono::milliseconds silence)
    : program_(std::move(program)), silence_(silence) {}

TIsolatedConverter::~TIsolatedConverter() {
    {
        std::lock_guard lock(gate_->Mutex);
        gate_->Open = false;
    }
    destroying_ = true;
    Stop(true);
    JoinScheduler();
    std::vector<TTask> tasks;
    {
        std::lock_guard lock(mutex_);
        tasks.swap(tasks_);
    }
    std::map<int, std::unique_ptr<TWorkerProcess>> busy;
    std::vector<std::unique_ptr<TWorkerProcess>> idle;
    {
        std::lock_guard lock(mutex_);
        busy.swap(busy_);
        idle.swap(idle_);
    }
    // Ends any worker left and joins its threads, outside the lock their events take.
    busy.clear();
    idle.clear();
}

bool TIsolatedConverter::LoadAVLib(const std::string& folder) {
    if (checker_.LoadAVLib(folder))
        return true;
    std::lock_guard lock(mutex_);
    lastError_ = checker_.LastError();
    return false;
}

int TIsolatedConverter::AddTask(const std::string& fileName, const TInputOptions* options) {
    if (Working()) {
        std::lock_guard lock(mutex_);
        lastError_ = "Cannot AddTask while working.";
        return -1;
    }
    // The in-process component reads the source with the task's input options: a source it
    // refuses is refused here with the same words, before any worker is started.
    const int checked = checkSources_ ? checker_.AddTask(fileName, options) : 0;
    const std::string refusal = checked < 0 ? checker_.LastError() : std::string();
    if (checked >= 0 && checkSources_)
        checker_.ClearTasks();
    std::lock_guard lock(mutex_);
    if (checked < 0) {
        lastError_ = refusal;
        return -1;
    }
    if (idle_.empty())
        StartWorkerAhead(lock);
    TTask task;
    if (options)
        task.Description.Input = *options;
    if (task.Description.Input.FileName.empty())
        task.Description.Input.FileName = fileName;
    tasks_.push_back(std::move(task));
    return static_cast<int>(tasks_.size()) - 1;
}

bool TIsolatedConverter::SetOutputFile(int taskIndex, const std::string& fileName,
                                       const TOutputOptions* options) {
    std::lock_guard lock(mutex_);
    if (working_) {
        lastError_ = "Cannot SetOutputFile while working.";
        return false;
    }
    if (taskIndex < 0 || taskIndex >= static_cast<int>(tasks_.size())) {
        lastError_ = "Invalid task index " + std::to_string(taskIndex);
        return false;
    }
    TTask& task = tasks_[static_cast<size_t>(taskIndex)];
    if (task.HasOutput) {
        lastError_ = "A task in a worker process has one output file";
        return false;
    }
    TOutputOptions& output = task.Description.Output;
    output = options ? *options : TOutputOptions{};
    output.FileName = fileName;
    task.HasOutput = true;
    return true;
}

bool TIsolatedConverter::SetTaskEffects(int taskIndex, const TJobEffects& effects) {
    std::lock_guard lock(mutex_);
    if (working_ || taskIndex < 0 || taskIndex >= static_cast<int>(tasks_.size()))
        return false;
    tasks_[static_cast<size_t>(taskIndex)].Description.Effects = effects;
    return true;
}

void TIsolatedConverter::StartTask(int n) {
    {
        std::lock_guard lock(mutex_);
        if (working_)
            throw std::runtime_error("Cannot StartTask while working.");
    }
    JoinScheduler(); // the thread of an earlier run, ended by now
    {
        std::lock_guard lock(mutex_);
        working_ = true;
        allDone_ = false;
        paused_ = false;
        stopping_ = false;
        next_ = 0;
        running_ = 0;
        ended_.clear();
    }
    scheduler_ = std::thread([this, n] { Schedule(n > 0 ? n : 1); });
    if (n > 0)
        return;
    // The caller asked to wait: the events it may be waiting for run on this thread meanwhile.
    while (!AllDone()) {
        if (IsMainThread())
            TDispatcher::Instance().WaitAndCheckSynchronize(std::chrono::milliseconds(50));
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (IsMainThread())
        TDispatcher::Instance().CheckSynchronize();
}

void TIsolatedConverter::Schedule(int n) {
    std::unique_lock lock(mutex_);
    for (;;) {
        while (!stopping_ && running_ < n && next_ < static_cast<int>(tasks_.size()))
            Launch(next_++, n, lock);
        if (stopping_) {
            // Tasks that never ran are reported as not finished, without failure.
            while (next_ < static_cast<int>(tasks_.size()))
                ended_.emplace_back(next_++, TTerminateInfo{});
        }
        if (ended_.empty() && running_ == 0 && next_ >= static_cast<int>(tasks_.size()))
            break;
        changed_.wait(lock, [this, n] {
            return !ended_.empty() ||
                   (!stopping_ && running_ < n && next_ < static_cast<int>(tasks_.size())) ||
                   (stopping_ && next_ < static_cast<int>(tasks_.size()));
        });
        if (ended_.empty())
            continue;
        auto [index, info] = std::move(ended_.front());
        ended_.pop_front();
        const auto found = busy_.find(index);
        TWorkerProcess* worker = found != busy_.end() ? found->second.get() : nullptr;
        lock.unlock();
        if (worker)
            worker->Wait(); // this report was the task's last event
        info.TaskIndex = index;
        Report(info);
        lock.lock();
        if (worker) {
            --running_;
            std::unique_ptr<TWorkerProcess> done = std::move(busy_[index]);
            busy_.erase(index);
            // The next file goes to the same process: no start-up to pay again.
            if (!stopping_ && done->Reusable() && done->Options() == WorkerOptions()) {
                idle_.push_back(std::move(done));
            } else {
                lock.unlock();
                done.reset(); // ends the process and joins its threads, outside the lock
                lock.lock();
            }
            changed_.notify_all();
        }
    }
    // One worker stays ready for the next run, unless this one was stopped: a stop ends
    // everything the run started.
    std::vector<std::unique_ptr<TWorkerProcess>> idle = std::move(idle_);
    idle_.clear();
    if (!stopping_ && !idle.empty()) {
        idle_.push_back(std::move(idle.back()));
        idle.pop_back();
    }
    allDone_ = true;
    lock.unlock();
    changed_.notify_all();
    idle.clear();
    // Nothing of this object is touched after the last report: its handler may free it.
    Report(TTerminateInfo{-1, true, false, {}});
}

TWorkerOptions TIsolatedConverter::WorkerOptions() const {
    TWorkerOptions options;
    options.Pictures = previewBitmap_;
    options.LogLevel = LoggerInstance().LogLevel();
    options.Priority = priority_;
    return options;
}

std::unique_ptr<TWorkerProcess>
TIsolatedConverter::TakeIdleWorker(std::vector<std::unique_ptr<TWorkerProcess>>& doomed) {
    const TWorkerOptions wanted = WorkerOptions();
    while (!idle_.empty()) {
        std::unique_ptr<TWorkerProcess> worker = std::move(idle_.back());
        idle_.pop_back();
        if (worker->Reusable() && worker->Options() == wanted)
            return worker;
        doomed.push_back(std::move(worker)); // gone meanwhile, or started for other settings
    }
    return nullptr;
}

void TIsolatedConverter::Launch(int index, int n, std::unique_lock<std::mutex>& lock) {
    TTask& task = tasks_[static_cast<size_t>(index)];
    if (!task.HasOutput) {
        TTerminateInfo failed;
        failed.Failed = true;
        failed.ErrorMessage = "No output file";
        ended_.emplace_back(index, failed);
        return;
    }
    // A worker that is ready (started ahead, or done with its last task) when there is one.
    std::vector<std::unique_ptr<TWorkerProcess>> doomed;
    std::unique_ptr<TWorkerProcess> worker = TakeIdleWorker(doomed);
    const bool ready = worker != nullptr;
    if (!ready)
        worker = std::make_unique<TWorkerProcess>(silence_);
    TWorkerProcess* started = worker.get();
    busy_[index] = std::move(worker);
    ++running_;
    const TTaskDescription description = task.Description;
    // Another worker is started ahead while the run wants more at once than it has: its
    // start-up (the process, the libraries) then overlaps this conversion.
    const int waiting = static_cast<int>(tasks_.size()) - next_;
    const bool startAnother = waiting > 0 && static_cast<int>(busy_.size() + idle_.size()) <
                                                 std::min(n, running_ + waiting);
    TWorkerEvents events;
    events.Progress = [this, index](const TProgressInfo& info) { DeliverProgress(index, info); };
    events.Log = [](const TWorkerLog& log) { LoggerInstance().Log(nullptr, log.Level, log.Text); };
    if (previewBitmap_)
        events.Picture = [this, index](const TBitmap& bitmap, int frameNumber, int64_t frameTime) {
            DeliverPicture(index, bitmap, frameNumber, frameTime);
        };
    events.Terminate = [this, index](const TTerminateInfo& info) { TaskEnded(index, info); };
    // The worker's events take this lock: it is let go while processes start.
    lock.unlock();
    doomed.clear();
    std::string error;
    const bool ok = ready || started->Spawn(program_, error, WorkerOptions());
    if (ok)
        started->Begin(description, std::move(events));
    std::unique_ptr<TWorkerProcess> another;
    if (ok && startAnother) {
        another = std::make_unique<TWorkerProcess>(silence_);
        std::string ignored; // a worker that fails to start ahead is tried again for its task
        if (!another->Spawn(program_, ignored, WorkerOptions()))
            another.reset();
    }
    lock.lock();
    if (another && !stopping_)
        idle_.push_back(std::move(another));
    if (!ok) {
        --running_;
        doomed.push_back(std::move(busy_[index]));
        busy_.erase(index);
        TTerminateInfo failed;
        failed.Failed = true;
        failed.ErrorMessage = error;
        ended_.emplace_back(index, failed);
    } else if (paused_) {
        started->Pause();
    } else if (stopping_) {
        started->Stop();
    }
    if (!doomed.empty() || another) {
        lock.unlock();
        doomed.clear();
        another.reset(); // started ahead for a run that is stopping
        lock.lock();
    }
}

void TIsolatedConverter::TaskEnded(int index, TTerminateInfo info) {
    {
        std::lock_guard lock(mutex_);
        ended_.emplace_back(index, std::move(info));
    }
    changed_.notify_all();
}

void TIsolatedConverter::Report(const TTerminateInfo& info) {
    if (!OnTerminate || destroying_)
        return;
    try {
        OnTerminate(nullptr, info);
    } catch (const std::exception& error) {
        LoggerInstance().LogFmt(nullptr, TLogLevel::llError, "Error occurs OnTerminate: %s",
                                error.what());
    }
}

void TIsolatedConverter::DeliverProgress(int index, const TProgressInfo& info) {
    if (!OnProgress)
        return;
    TProgressInfo own = info;
    own.TaskIndex = index;
    if (!triggerEventInMainThread_) {
        OnProgress(nullptr, &own);
        return;
    }
    TDispatcher::Instance().Queue([this, gate = gate_, own]() mutable {
        std::lock_guard lock(gate->Mutex);
        if (gate->Open && OnProgress)
            OnProgress(nullptr, &own);
    });
}

void TIsolatedConverter::DeliverPicture(int index, const TBitmap& bitmap, int frameNumber,
                                        int64_t frameTime) {
    if (!OnPreviewBitmap)
        return;
    if (!triggerEventInMainThread_) {
        const TPreviewInfo info{index, &bitmap, frameNumber, frameTime};
        OnPreviewBitmap(nullptr, info);
        return;
    }
    {
        // Only the newest picture of each task matters: one waiting call per task takes
        // whatever is newest then, so files converting at once do not displace each other's.
        std::lock_guard lock(mutex_);
        TPendingPicture& pending = pendingPictures_[index];
        pending.Picture.Assign(bitmap);
        pending.Info = TPreviewInfo{index, nullptr, frameNumber, frameTime};
        if (std::exchange(pending.Queued, true))
            return;
    }
    TDispatcher::Instance().Queue([this, index, gate = gate_] {
        std::lock_guard open(gate->Mutex);
        if (!gate->Open)
            return;
        TBitmap picture;
        TPreviewInfo info;
        {
            std::lock_guard lock(mutex_);
            const auto found = pendingPictures_.find(index);
            if (found == pendingPictures_.end() || !found->second.Queued)
                return; // the tasks were cleared meanwhile
            TPendingPicture& pending = found->second;
            picture = std::move(pending.Picture);
            info = pending.Info;
            pending.Queued = false;
        }
        info.Bitmap = &picture;
        if (OnPreviewBitmap)
            OnPreviewBitmap(nullptr, info);
    });
}

void TIsolatedConverter::Pause() {
    std::lock_guard lock(mutex_);
    if (!working_ || allDone_)
        return;
    paused_ = true;
    for (auto& [index, worker] : busy_)
        worker->Pause();
}

void TIsolatedConverter::Resume() {
    std::lock_guard lock(mutex_);
    if (!paused_)
        return;
    paused_ = false;
    for (auto& [index, worker] : busy_)
        worker->Resume();
}

void TIsolatedConverter::Stop(bool wait) {
    {
        std::lock_guard lock(mutex_);
        if (!working_ || allDone_)
            return;
        stopping_ = true;
        paused_ = false;
        for (auto& [index, worker] : busy_)
            worker->Stop();
    }
    changed_.notify_all();
    if (!wait || std::this_thread::get_id() == scheduler_.get_id())
        return;
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return allDone_ || running_ == 0; });
}

void TIsolatedConverter::StartWorkerAhead() {
    std::lock_guard lock(mutex_);
    if (idle_.empty() && !working_)
        StartWorkerAhead(lock);
}

void TIsolatedConverter::StartWorkerAhead(const std::lock_guard<std::mutex>&) {
    auto spare = std::make_unique<TWorkerProcess>(silence_);
    std::string ignored; // the first task starts one of its own when this one did not start
    if (spare->Spawn(program_, ignored, WorkerOptions()))
        idle_.push_back(std::move(spare));
}

bool TIsolatedConverter::ProbeSource(const std::string& fileName, TWorkerProbe& found) {
    std::vector<std::unique_ptr<TWorkerProcess>> doomed;
    std::unique_ptr<TWorkerProcess> worker;
    {
        std::lock_guard lock(mutex_);
        if (working_) {
            lastError_ = "Cannot probe while working.";
            return false;
        }
        worker = TakeIdleWorker(doomed);
    }
    doomed.clear();
    std::string error;
    if (!worker) {
        worker = std::make_unique<TWorkerProcess>(silence_);
        if (!worker->Spawn(program_, error, WorkerOptions())) {
            std::lock_guard lock(mutex_);
            lastError_ = error;
            return false;
        }
    }
    const bool answered = worker->Probe(fileName, found, error);
    std::lock_guard lock(mutex_);
    if (!answered)
        lastError_ = error;
    // The same worker converts the file later, or looks at the next one.
    if (worker->Reusable())
        idle_.push_back(std::move(worker));
    return answered;
}

void TIsolatedConverter::ClearTasks() {
    std::vector<TTask> doomed;
    {
        std::lock_guard lock(mutex_);
        if (working_ && !allDone_)
            throw std::runtime_error("Cannot ClearTasks while working.");
        doomed.swap(tasks_); // the workers ready stay for the next tasks
        pendingPictures_.clear();
        lastError_.clear();
        working_ = false;
        allDone_ = false;
        ended_.clear();
        next_ = 0;
        running_ = 0;
    }
    // Called from the end-of-run report: the scheduling thread returns right after it.
    if (scheduler_.joinable() && std::this_thread::get_id() == scheduler_.get_id())
        scheduler_.detach();
    doomed.clear();
}

void TIsolatedConverter::JoinScheduler() {
    if (scheduler_.joinable() && std::this_thread::get_id() != scheduler_.get_id())
        scheduler_.join();
}

int TIsolatedConverter::TaskCount() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(tasks_.size());
}

bool TIsolatedConverter::Working() const {
    std::lock_guard lock(mutex_);
    return working_;
}

bool TIsolatedConverter::AllDone() const {
    std::lock_guard lock(mutex_);
    return allDone_;
}

std::string TIsolatedConverter::LastError() const {
    std::lock_guard lock(mutex_);
    return lastError_;
}

} // namespace tovik
