// tovik-worker: runs conversions in a process of its own, so that a library that aborts on a
// damaged file ends this process and not the program that started it. Every line of standard
// input that is a JSON object is a task description; the tasks run one after another, each
// once the one before has ended, and the worker ends with its input. The other lines are
// "pause", "resume" or "stop", for the task whose description came last before them.
// Progress, log lines and one termination record per task go to standard output, one JSON
// object a line (effects/WorkerProtocol.h). Arguments: "--log-level N" (a library level number,
// the lowest level of log lines sent), "--priority N" (of the conversion thread, as the engine
// numbers them) and "--picture-fd N" (a shared picture segment to show the output pictures
// in, effects/SharedPicture.h). Exit status, of the last task: 0 the output is finished (or
// stopped on request), 1 the conversion failed, 2 the description or the libraries were
// refused.

#include "effects/SharedPicture.h"
#include "effects/TaskDescription.h"
#include "effects/WorkerProtocol.h"
#include "engine/MediaConverter.h"
#include "media/LibrarySets.h"
#include "media/MediaKit.h"
#include "media/MediaLogger.h"
#include "media/MediaProbe.h"
#include "platform/Dispatcher.h"
#include "worker/LayerDrawing.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using namespace tovik;

// Standard output carries records only; every writer goes through here.
class TRecordWriter {
public:
    void Write(const TWorkerRecord& record) {
        const std::string line = WriteWorkerRecord(record) + "\n";
        std::lock_guard lock(mutex_);
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fflush(stdout);
    }

private:
    std::mutex mutex_; // one line at a time on standard output
};

// What the main thread does next: a task (its description) or a probe (the file name).
struct TRequest {
    bool Probe = false;
    std::string Text;
};

// The lines read from standard input, waiting for the main thread: tasks and probe requests
// in their order, and commands, each for the task whose description came last before it.
class TInbox {
public:
    void PutTask(std::string description) {
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(TRequest{false, std::move(description)});
            ++tasksRead_;
        }
        changed_.notify_all();
    }
    void PutProbe(std::string fileName) {
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(TRequest{true, std::move(fileName)});
        }
        changed_.notify_all();
    }
    void PutCommand(TWorkerCommand command) {
        std::lock_guard lock(mutex_);
        commands_.emplace_back(tasksRead_, command);
    }
    void Close() {
        {
            std::lock_guard lock(mutex_);
            closed_ = true;
        }
        changed_.notify_all();
    }
    // The next request, waiting for it; none once the input has ended.
    std::optional<TRequest> Next() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return !requests_.empty() || closed_; });
        if (requests_.empty())
            return std::nullopt;
        TRequest request = std::move(requests_.front());
        requests_.pop_front();
        if (!request.Probe)
            ++tasksTaken_;
        return request;
    }
    // The commands for the task taken last. Those for tasks already ended are dropped: a
    // runner may pause or stop a task just as it ends.
    std::vector<TWorkerCommand> TakeCommands() {
        std::lock_guard lock(mutex_);
        std::vector<TWorkerCommand> current;
        std::erase_if(commands_, [&](const std::pair<int, TWorkerCommand>& entry) {
            if (entry.first == tasksTaken_)
                current.push_back(entry.second);
            return entry.first <= tasksTaken_;
        });
        return current;
    }

private:
    std::mutex mutex_; // guards everything below
    std::condition_variable changed_;
    std::deque<TRequest> requests_;
    std::vector<std::pair<int, TWorkerCommand>> commands_; // (task number, command)
    int tasksRead_ = 0;
    int tasksTaken_ = 0;
    bool closed_ = false;
};

// The task's one termination record, for a task that failed before it could run.
void WriteFailure(TRecordWriter& out, const std::string& reason) {
    TTerminateInfo end;
    end.Failed = true;
    end.ErrorMessage = reason;
    out.Write(end);
}

int Refuse(TRecordWriter& out, const std::string& reason) {
    WriteFailure(out, reason);
    return 2;
}

// What the runner asked for on the command line.
struct TWorkerArguments {
    int LogLevel = LogLevelToLibrary(TLogLevel::llInfo);
    int PictureFd = -1;
    TThreadPriority Priority = TThreadPriority::tpNormal;
};

TWorkerArguments ParseArguments(int argc, char** argv) {
    TWorkerArguments parsed;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        int value = 0;
        try {
            value = std::stoi(argv[i + 1]);
        } catch (const std::exception&) {
            continue; // a worker with a wrong argument still converts
        }
        if (name == "--log-level")
            parsed.LogLevel = value;
        else if (name == "--picture-fd")
            parsed.PictureFd = value;
        else if (name == "--priority" && value >= static_cast<int>(TThreadPriority::tpIdle) &&
                 value <= static_cast<int>(TThreadPriority::tpTimeCritical))
            parsed.Priority = static_cast<TThreadPriority>(value);
    }
    return parsed;
}

// Hands the output pictures to the runner through the shared slot, a few times a second at
// most: the live picture needs no more, and every copy costs the conversion time.
class TPicturePublisher {
public:
    TPicturePublisher(int fd, TRecordWriter& out) : slot_(fd), out_(out) {}
    bool Valid() const { return slot_.Valid(); }

    void Offer(const TBitmap& bitmap, int frameNumber, int64_t frameTime) {
        const auto now = std::chrono::steady_clock::now();
        if (now - last_ < kInterval)
            return;
        if (!slot_.Publish(bitmap, frameNumber, frameTime))
            return; // the runner has not taken the last one yet
        last_ = now;
        out_.Write(TWorkerPicture{++sequence_});
    }

private:
    static constexpr std::chrono::milliseconds kInterval{100};
    TSharedPicture slot_;
    TRecordWriter& out_;
    std::chrono::steady_clock::time_point last_{};
    uint32_t sequence_ = 0;
};

// Looks at a source for a runner that prepares its task without media libraries of its own.
TWorkerProbe ProbeSource(const std::string& fileName) {
    TWorkerProbe found;
    try {
        TMediaProbe probe;
        found.Opened = probe.LoadFile(fileName);
        if (!found.Opened) {
            found.Error = probe.LastErrMsg();
            return found;
        }
        found.FileName = probe.FileName();
        found.VideoStreamCount = probe.VideoStreamCount();
        if (found.VideoStreamCount > 0) {
            const TVideoStreamInfo video = probe.GetVideoStreamInfo(-1);
            found.Width = video.Width;
            found.Height = video.Height;
            found.Rotation = video.Rotation;
            found.BitRate = video.BitRate;
            found.DisplayAspectRatio = video.DisplayAspectRatio;
        }
        probe.CloseFile();
    } catch (const std::exception& fault) {
        found.Opened = false;
        found.Error = fault.what();
    }
    return found;
}

// Runs one task on the loaded component; the exit status it would give the worker.
int RunTask(TRecordWriter& out, TMediaConverter& converter, const std::string& description,
            TInbox& inbox, TPicturePublisher* publisher, TLayerDrawing& drawing, int& argc,
            char** argv) {
    TTaskDescription task;
    try {
        task = ReadTaskDescription(description);
    } catch (const std::exception& fault) {
        return Refuse(out, fault.what());
    }

    // Layers are drawn with Qt, loaded with the first task that has any; conversions without
    // layers do not pay for it.
    if (std::string error; !drawing.Prepare(task.Effects, argc, argv, error)) {
        WriteFailure(out, error);
        return 1;
    }

    // The job's effects are drawn here, on the task's thread, from the description's copy.
    task.Output.CustomHook = task.Effects.Any();
    converter.OnCustomHook = [&](TObject*, PHookInfo info) {
        if (info && info->Bitmap)
            drawing.Render(*info->Bitmap, task.Effects, info->FrameTime);
    };
    if (publisher) {
        // The task's thread: the only caller, so the publisher needs no lock.
        converter.OnPreviewBitmap = [publisher](TObject*, const TPreviewInfo& info) {
            if (info.Bitmap)
                publisher->Offer(*info.Bitmap, info.FrameNumber, info.FrameTime);
        };
    }
    converter.OnProgress = [&out](TObject*, PProgressInfo info) {
        if (info)
            out.Write(*info);
    };
    std::atomic<bool> done{false};
    TTerminateInfo result;
    result.Failed = true;
    result.ErrorMessage = "The conversion did not end";
    std::mutex resultMutex; // guards result
    converter.OnTerminate = [&](TObject*, const TTerminateInfo& info) {
        if (info.TaskIndex < 0) {
            done = true;
            TDispatcher::Instance().Queue([] {});
            return;
        }
        std::lock_guard lock(resultMutex);
        result = info;
    };

    const int index = converter.AddTask(task.Input.FileName, &task.Input);
    if (index < 0)
        return Refuse(out, converter.LastError());
    if (!converter.SetOutputFile(index, task.Output.FileName, &task.Output)) {
        const std::string error = converter.LastError();
        converter.ClearTasks();
        WriteFailure(out, error);
        return 1;
    }

    // This (the main) thread alone touches the component; commands wait in the inbox.
    converter.StartTask(1);
    while (!done) {
        TDispatcher::Instance().WaitAndCheckSynchronize(std::chrono::milliseconds(50));
        for (const TWorkerCommand command : inbox.TakeCommands()) {
            if (command == TWorkerCommand::wcPause)
                converter.Pause();
            else if (command == TWorkerCommand::wcResume)
                converter.Resume();
            else
                converter.Stop(false);
        }
    }
    // The outputs were closed with the end of the run: the runner hears of it before the
    // task's memory is freed.
    bool failed;
    {
        std::lock_guard lock(resultMutex);
        out.Write(result);
        failed = result.Failed;
    }
    converter.ClearTasks();
    // The handlers hold this task's state; the next task brings its own.
    converter.OnCustomHook = nullptr;
    converter.OnPreviewBitmap = nullptr;
    converter.OnProgress = nullptr;
    converter.OnTerminate = nullptr;
    // A stop on request is no failure: the output is closed properly up to where it ended.
    return failed ? 1 : 0;
}

int Run(TRecordWriter& out, const TWorkerArguments& arguments, int& argc, char** argv) {
    // Standard input is read from the start, on a thread of its own: the reader only fills the
    // inbox it shares. It is left blocked in a read when the process ends.
    auto inbox = std::make_shared<TInbox>();
    std::thread([inbox] {
        std::string line;
        while (std::getline(std::cin, line)) {
            if (line.starts_with("{"))
                inbox->PutTask(std::move(line));
            else if (auto probed = ParseWorkerProbe(line))
                inbox->PutProbe(std::move(*probed));
            else if (const auto command = ParseWorkerCommand(line))
                inbox->PutCommand(*command);
        }
        inbox->Close();
    }).detach();

    // The libraries first: a runner may start a worker before it knows the task, and the
    // worker is ready the moment the task comes.
    // The filter library loads with the first task that builds a filter graph.
    TMediaKitScope kit;
    TMediaConverter converter;
    if (std::string error; !LoadEngineCoreLibraries("", error))
        return Refuse(out, error);

    LoggerInstance().SetTriggerEventInMainThread(false);
    LoggerInstance().SetLogLevel(LibraryToLogLevel(arguments.LogLevel));
    LoggerInstance().SetOnLog([&out](TObject*, uint32_t, TLogLevel level, const std::string& text) {
        out.Write(TWorkerLog{level, text});
    });
    converter.SetTriggerEventInMainThread(false);
    converter.SetThreadPriority(arguments.Priority);
    std::unique_ptr<TPicturePublisher> publisher;
    if (arguments.PictureFd >= 0) {
        publisher = std::make_unique<TPicturePublisher>(arguments.PictureFd, out);
        if (publisher->Valid())
            converter.SetPreviewBitmap(true);
        else
            publisher.reset();
    }

    TLayerDrawing drawing(LayerModuleBesideProgram(), [&out](int level, const std::string& text) {
        out.Write(TWorkerLog{level == 0 ? TLogLevel::llVerbose : TLogLevel::llWarning, text});
    });
    std::optional<int> status;
    while (const std::optional<TRequest> request = inbox->Next()) {
        if (request->Probe) {
            out.Write(ProbeSource(request->Text));
            status = status.value_or(0);
        } else
            status = RunTask(out, converter, request->Text, *inbox, publisher.get(), drawing, argc,
                             argv);
    }
    LoggerInstance().SetOnLog(nullptr);
    if (!status)
        return Refuse(out, "No task description on standard input");
    return *status;
}

} // namespace

int main(int argc, char** argv) {
    TRecordWriter out;
    const int status = Run(out, ParseArguments(argc, argv), argc, argv);
    // The command reader may still wait on standard input: end here, without the static
    // destructors it could race with. Every output was closed when the task ended.
    std::fflush(stdout);
    std::_Exit(status);
}
