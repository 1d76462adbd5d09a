// Thread stage of the engine: starting a conversion in a worker thread or the caller's,
// stopping it from another thread, and turning every way a task ends into one notice.

#include "engine/FFmpeg.h"
#include "media/LibrarySets.h"
#include "media/MediaLogger.h"
#include "media/MediaProbe.h"
#include "platform/Dispatcher.h"
#include "platform/FileSystem.h"

#include <cstdio>

#include <chrono>

namespace tovik {

namespace {

constexpr std::chrono::milliseconds kWaitStep(20);

// Waits for an event; a main thread keeps serving the calls that workers hand to it, since a
// worker blocked in such a call would otherwise never end.
void WaitServingMainThread(TManualResetEvent& event) {
    while (!event.WaitFor(kWaitStep)) {
        if (IsMainThread())
            ProcessMessages();
    }
}

} // namespace

TConvertThread* TCustomFFmpeg::StartConvert(bool threaded, TThreadPriority priority) {
    const char* failure = nullptr;
    {
        std::lock_guard lock(threadMutex_);
        if (working_ || terminated_ || terminating_)
            return nullptr;
        if (outputCount_ <= 0)
            failure = "At least one output file must be specified";
        else if (inputCount_ <= 0)
            failure = "At least one input file must be specified";
        // Working from here on, so that a concurrent StopConvert leaves the notice to us.
        working_ = true;
        stopRequested_ = false;
        finished_ = false;
        if (!failure && threaded) {
            threadDone_.Reset();
            worker_ = std::make_unique<TConvertThread>([this] { RunInWorker(); }, priority);
            hasWorker_ = true;
            return worker_.get();
        }
    }
    if (failure) {
        try {
            CleanUpTask();
        } catch (const std::exception& error) {
            LoggerInstance().Log(this, TLogLevel::llQuiet, error.what());
        }
        LoggerInstance().Log(this, TLogLevel::llQuiet, failure);
        failed_ = true;
        errorMessage_ = failure;
        NotifyTerminate();
        return nullptr;
    }
    ConvertAndCleanUp();
    NotifyTerminate();
    return nullptr;
}

void TCustomFFmpeg::ConvertAndCleanUp() {
    RunConvert(); // never throws: failures end up in Failed and ErrorMessage
    try {
        CleanUpTask();
    } catch (const std::exception& error) {
        LoggerInstance().Log(this, TLogLevel::llQuiet, error.what());
        failed_ = true;
        errorMessage_ = error.what();
    }
}

void TCustomFFmpeg::RunInWorker() {
    ConvertAndCleanUp();
    try {
        NotifyTerminate();
    } catch (const std::exception& error) {
        LoggerInstance().Log(this, TLogLevel::llQuiet, error.what());
    }
    threadDone_.Set();
}

void TCustomFFmpeg::NotifyTerminate() {
    {
        std::lock_guard lock(threadMutex_);
        working_ = false;
        terminated_ = true;
        hasWorker_ = false;
    }
    if (terminateCallback_)
        terminateCallback_(*this);
}

void TCustomFFmpeg::BreakConvert(bool wait) {
    BreakConvert(); // also wakes a paused loop
    std::thread::id workerId;
    {
        std::lock_guard lock(threadMutex_);
        if (!hasWorker_ || !worker_)
            return;
        workerId = worker_->Id();
    }
    // The worker itself (a hook handler stopping its own task) must not wait for its end.
    if (wait && workerId != std::this_thread::get_id())
        WaitServingMainThread(threadDone_);
}

void TCustomFFmpeg::StopConvert(bool wait) {
    bool running = false;
    {
        std::lock_guard lock(threadMutex_);
        if (working_) {
            running = true;
        } else if (terminated_) {
            return; // ended before: left alone
        } else if (!terminating_) {
            // Never ran: report its end from a thread of its own, like a worker would.
            terminating_ = true;
            terminateDone_.Reset();
            terminateThread_ = std::make_unique<TDoTerminateThread>([this] {
                try {
                    NotifyTerminate();
                } catch (const std::exception& error) {
                    LoggerInstance().Log(this, TLogLevel::llQuiet, error.what());
                }
                terminateDone_.Set();
            });
        }
    }
    if (running)
        BreakConvert(wait);
    else if (wait)
        WaitServingMainThread(terminateDone_);
}

bool TCustomFFmpeg::Working() const {
    std::lock_guard lock(threadMutex_);
    return working_;
}

bool TCustomFFmpeg::Terminated() const {
    std::lock_guard lock(threadMutex_);
    return terminated_;
}

bool TCustomFFmpeg::HasWorkerThread() const {
    std::lock_guard lock(threadMutex_);
    return hasWorker_;
}

void TCustomFFmpeg::CleanUpTask() {
    if (!EngineLibrariesLoaded())
        return;
    // Outputs that received nothing (the task never ran, or failed before the first
    // packet) are not left behind.
    std::vector<std::string> created;
    for (int o = 0; o < outputCount_; ++o) {
        const auto& output = outputs_[static_cast<size_t>(o)];
        if (output && output->CreatedFile)
            created.push_back(output->FileName);
    }
    ReleaseFiles();
    for (const std::string& fileName : created)
        if (platform::FileSizeOf(fileName) == 0)
            std::remove(fileName.c_str());
}

void TCustomFFmpeg::JoinTaskThreads() {
    BreakConvert(true);
    std::unique_ptr<TConvertThread> worker;
    std::unique_ptr<TDoTerminateThread> terminateThread;
    {
        std::lock_guard lock(threadMutex_);
        worker = std::move(worker_);
        terminateThread = std::move(terminateThread_);
    }
    worker.reset();          // joins; its body has ended or never ran
    terminateThread.reset(); // joins
}

// ---- TFFmpeg ------------------------------------------------------------------------------

TFFmpeg::TFFmpeg() = default;

TFFmpeg::~TFFmpeg() {
    JoinTaskThreads();
    try {
        CleanUpTask(); // also detaches the probes from the inputs it closes
    } catch (const std::exception& error) {
        LoggerInstance().Log(this, TLogLevel::llQuiet, error.what());
    }
    for (auto& options : inputOptions_)
        options.Reset();
    for (auto& options : outputOptions_)
        options.Reset();
}

TMediaProbe& TFFmpeg::Probe(int inputIndex) {
    auto& probe = probes_.at(static_cast<size_t>(inputIndex));
    if (!probe)
        probe = std::make_unique<TMediaProbe>();
    return *probe;
}

void TFFmpeg::CleanUpTask() {
    for (auto& probe : probes_)
        if (probe && probe->Context())
            probe->CloseFile();
    TCustomFFmpeg::CleanUpTask();
}

} // namespace tovik
