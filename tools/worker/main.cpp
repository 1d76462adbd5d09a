// tovik-worker: runs one conversion in a process of its own, so that a library that aborts
// on a damaged file ends this process and not the program that started it. The first line of
// standard input is the task description; later lines are "pause", "resume" or "stop".
// Progress, log lines and the termination record go to standard output, one JSON object a
// line (effects/WorkerProtocol.h). Arguments: "--log-level N" (a library level number, the
// lowest level of log lines sent), "--priority N" (of the conversion thread, as the engine
// numbers them) and "--picture-fd N" (a shared picture segment to show the
// output pictures in, effects/SharedPicture.h). Exit status: 0 the output is finished (or stopped
// on request), 1 the conversion failed, 2 the description or the libraries were refused.

#include "effects/OverlayRenderer.h"
#include "effects/SharedPicture.h"
#include "effects/TaskDescription.h"
#include "effects/WorkerProtocol.h"
#include "engine/MediaConverter.h"
#include "media/MediaKit.h"
#include "media/MediaLogger.h"
#include "platform/Dispatcher.h"

#include <QGuiApplication>
#include <atomic>
#include <chrono>
#include <cstdio>
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

// Commands read from standard input, waiting for the main thread.
class TCommandInbox {
public:
    void Put(TWorkerCommand command) {
        std::lock_guard lock(mutex_);
        commands_.push_back(command);
    }
    std::vector<TWorkerCommand> Take() {
        std::lock_guard lock(mutex_);
        return std::exchange(commands_, {});
    }

private:
    std::mutex mutex_; // guards commands_
    std::vector<TWorkerCommand> commands_;
};

int Refuse(TRecordWriter& out, const std::string& reason) {
    TTerminateInfo end;
    end.Failed = true;
    end.ErrorMessage = reason;
    out.Write(end);
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

int Run(TRecordWriter& out, const TWorkerArguments& arguments, int& argc, char** argv) {
    // The libraries first: a runner may start a worker before it knows the task, and the
    // worker is ready the moment the task comes.
    TMediaKitScope kit;
    TMediaConverter converter;
    if (!converter.LoadAVLib(""))
        return Refuse(out, converter.LastError());

    std::string first;
    if (!std::getline(std::cin, first))
        return Refuse(out, "No task description on standard input");
    TTaskDescription task;
    try {
        task = ReadTaskDescription(first);
    } catch (const std::exception& fault) {
        return Refuse(out, fault.what());
    }

    // Layers are drawn with Qt's fonts and picture readers, which want an application object;
    // a conversion without layers does not pay for starting one. No window is ever shown.
    std::optional<QGuiApplication> application;
    if (!task.Effects.Overlays.empty()) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        application.emplace(argc, argv);
    }

    LoggerInstance().SetTriggerEventInMainThread(false);
    LoggerInstance().SetLogLevel(LibraryToLogLevel(arguments.LogLevel));
    LoggerInstance().SetOnLog([&out](TObject*, uint32_t, TLogLevel level, const std::string& text) {
        out.Write(TWorkerLog{level, text});
    });
    converter.SetTriggerEventInMainThread(false);
    converter.SetThreadPriority(arguments.Priority);

    // The job's effects are drawn here, on the task's thread, from the description's copy.
    TPictureCache pictures;
    task.Output.CustomHook = task.Effects.Any();
    converter.OnCustomHook = [&](TObject*, PHookInfo info) {
        if (info && info->Bitmap)
            RenderJobEffects(*info->Bitmap, task.Effects, info->FrameTime, pictures);
    };
    std::unique_ptr<TPicturePublisher> publisher;
    if (arguments.PictureFd >= 0) {
        publisher = std::make_unique<TPicturePublisher>(arguments.PictureFd, out);
        if (publisher->Valid()) {
            converter.SetPreviewBitmap(true);
            // The task's thread: the only caller, so the publisher needs no lock.
            converter.OnPreviewBitmap = [&publisher](TObject*, const TPreviewInfo& info) {
                if (info.Bitmap)
                    publisher->Offer(*info.Bitmap, info.FrameNumber, info.FrameTime);
            };
        }
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
        TTerminateInfo end;
        end.Failed = true;
        end.ErrorMessage = converter.LastError();
        out.Write(end);
        return 1;
    }

    // Commands arrive on standard input while the task runs. The reader thread only fills
    // the inbox it shares; this (the main) thread alone touches the component.
    auto inbox = std::make_shared<TCommandInbox>();
    std::thread([inbox] {
        std::string line;
        while (std::getline(std::cin, line))
            if (const auto command = ParseWorkerCommand(line))
                inbox->Put(*command);
    }).detach(); // blocked in a read the runner may never end; the process's end ends it

    converter.StartTask(1);
    while (!done) {
        TDispatcher::Instance().WaitAndCheckSynchronize(std::chrono::milliseconds(50));
        for (const TWorkerCommand command : inbox->Take()) {
            if (command == TWorkerCommand::wcPause)
                converter.Pause();
            else if (command == TWorkerCommand::wcResume)
                converter.Resume();
            else
                converter.Stop(false);
        }
    }
    LoggerInstance().SetOnLog(nullptr);
    std::lock_guard lock(resultMutex);
    out.Write(result);
    // A stop on request is no failure: the output is closed properly up to where it ended.
    return result.Failed ? 1 : 0;
}

// Qt's messages become log records: standard error is not the worker's to write to (a
// quiet command line would show them). Qt's handler has no context argument of its own.
TRecordWriter* g_qtMessages = nullptr;

void RecordQtMessage(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (g_qtMessages)
        g_qtMessages->Write(TWorkerLog{
            type == QtDebugMsg || type == QtInfoMsg ? TLogLevel::llVerbose : TLogLevel::llWarning,
            text.toStdString()});
}

} // namespace

int main(int argc, char** argv) {
    TRecordWriter out;
    g_qtMessages = &out;
    qInstallMessageHandler(RecordQtMessage);
    const int status = Run(out, ParseArguments(argc, argv), argc, argv);
    // The command reader may still wait on standard input: end here, without the static
    // destructors it could race with. Every output was closed when the task ended.
    std::fflush(stdout);
    std::_Exit(status);
}
