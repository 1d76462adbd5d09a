#include "effects/WorkerProcess.h"

#include "media/FFmpegLoader.h"
#include "media/LibrarySets.h"
#include "media/MediaProbe.h"
#include "platform/Environment.h"
#include "platform/PictureAllocator.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tovik {

namespace {

// Where the worker finds the shared picture segment.
constexpr int kPictureFd = 3;

// Writes all of text; false when the worker is gone. A socket, so that writing to a worker
// that died raises no SIGPIPE in this process.
bool SendAll(int socket, const std::string& text) {
    size_t sent = 0;
    while (sent < text.size()) {
        const ssize_t step = ::send(socket, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (step < 0 && errno == EINTR)
            continue;
        if (step <= 0)
            return false;
        sent += static_cast<size_t>(step);
    }
    return true;
}

// Whether a file a crashed worker left still opens as media (its streams were finished far
// enough to be read); a file that does not is of no use to anybody.
bool StillOpens(const std::string& fileName) {
    try {
        // A runner that leaves all reading to its workers has no libraries of its own yet.
        std::string error;
        if (!EngineLibrariesLoaded() && !LoadEngineLibraries(DefaultLibraryFolder(), error))
            return false;
        TMediaProbe probe;
        const bool opened = probe.LoadFile(fileName) && probe.StreamCount() > 0;
        probe.CloseFile();
        return opened;
    } catch (...) {
        return false;
    }
}

// The strings as the null-terminated array exec takes; they must outlive it.
std::vector<char*> NullTerminated(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    pointers.reserve(strings.size() + 1);
    for (std::string& text : strings)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

} // namespace

std::string FindWorkerProgram(const std::vector<std::string>& furtherFolders) {
    if (const auto given = platform::GetEnv("TOVIK_WORKER_PROGRAM"); given && !given->empty())
        return *given;
    const std::filesystem::path here = platform::ExecutableDir();
    std::vector<std::filesystem::path> candidates = {
        here / "tovik-worker", here.parent_path() / "lib" / "tovik" / "tovik-worker"};
    for (const std::string& folder : furtherFolders)
        candidates.push_back(std::filesystem::path(folder) / "tovik-worker");
    for (const auto& candidate : candidates) {
        std::error_code error;
        if (std::filesystem::is_regular_file(candidate, error) &&
            ::access(candidate.c_str(), X_OK) == 0)
            return candidate.string();
    }
    return {};
}

std::string SignalName(int number) {
    if (const char* abbreviation = ::sigabbrev_np(number))
        return std::string("SIG") + abbreviation;
    return "signal " + std::to_string(number);
}

TWorkerProcess::~TWorkerProcess() {
    if (!listener_.joinable())
        return; // never started
    {
        // A running task fails; an idle worker holds no output and loses nothing.
        std::lock_guard lock(mutex_);
        closing_ = true;
        if (!gone_)
            ::kill(pid_, SIGKILL);
    }
    changed_.notify_all();
    listener_.join();
    watchdog_.join();
}

bool TWorkerProcess::Start(const std::string& program, const TTaskDescription& task,
                           TWorkerEvents events, std::string& error,
                           const TWorkerOptions& options) {
    if (!Spawn(program, error, options))
        return false;
    Begin(task, std::move(events));
    return true;
}

bool TWorkerProcess::Spawn(const std::string& program, std::string& error,
                           const TWorkerOptions& options) {
    options_ = options;
    int commands[2];
    int records[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, commands) != 0) {
        error = std::strerror(errno);
        return false;
    }
    if (::pipe2(records, O_CLOEXEC) != 0) {
        error = std::strerror(errno);
        ::close(commands[0]);
        ::close(commands[1]);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, commands[1], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, records[1], STDOUT_FILENO);
    std::vector<std::string> words = {
        program, "--log-level", std::to_string(LogLevelToLibrary(options.LogLevel)), "--priority",
        std::to_string(static_cast<int>(options.Priority))};
    if (options.Pictures) {
        picture_ = std::make_unique<TSharedPicture>();
        if (picture_->Valid()) {
            posix_spawn_file_actions_adddup2(&actions, picture_->Fd(), kPictureFd);
            words.insert(words.end(), {"--picture-fd", std::to_string(kPictureFd)});
        } else {
            picture_.reset(); // the conversion runs without its live picture
        }
    }
    std::vector<char*> arguments = NullTerminated(words);
    std::vector<std::string> variables = platform::EnvironmentForPictureWork(environ);
    std::vector<char*> environment = NullTerminated(variables);
    const int spawned = ::posix_spawn(&pid_, program.c_str(), &actions, nullptr, arguments.data(),
                                      environment.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(commands[1]);
    ::close(records[1]);
    if (spawned != 0) {
        error = program + ": " + std::strerror(spawned);
        ::close(commands[0]);
        ::close(records[0]);
        pid_ = -1;
        return false;
    }
    {
        std::lock_guard lock(mutex_);
        input_ = commands[0];
        lastHeard_ = std::chrono::steady_clock::now();
    }
    output_ = records[0];
    listener_ = std::thread([this] { Listen(); });
    watchdog_ = std::thread([this] { Watch(); });
    return true;
}

void TWorkerProcess::Begin(const TTaskDescription& task, TWorkerEvents events) {
    TTerminateInfo lost;
    {
        std::lock_guard lock(mutex_);
        events_ = std::make_shared<const TWorkerEvents>(std::move(events));
        outputFile_ = task.Output.FileName;
        running_ = true;
        paused_ = false;
        lastHeard_ = std::chrono::steady_clock::now();
        if (!gone_) {
            // A worker that cannot take its description dies or refuses; either is reported.
            if (input_ >= 0)
                SendAll(input_, WriteTaskDescription(task) + "\n");
            changed_.notify_all();
            return;
        }
        lost.Failed = true;
        lost.ErrorMessage = endedWith_;
    }
    // It ended while it waited for this task: the task fails as if the worker had died in it.
    Deliver(lost);
}

void TWorkerProcess::Send(TWorkerCommand command) {
    std::lock_guard lock(mutex_);
    if (!running_ || input_ < 0)
        return;
    if (command == TWorkerCommand::wcPause)
        paused_ = true;
    else if (command == TWorkerCommand::wcResume) {
        paused_ = false;
        lastHeard_ = std::chrono::steady_clock::now();
    }
    SendAll(input_, WorkerCommandLine(command) + "\n");
    changed_.notify_all();
}

void TWorkerProcess::Pause() {
    Send(TWorkerCommand::wcPause);
}

void TWorkerProcess::Resume() {
    Send(TWorkerCommand::wcResume);
}

void TWorkerProcess::Stop() {
    // A stopped worker is waited for as long as it keeps finishing; silence still ends it.
    Send(TWorkerCommand::wcResume);
    Send(TWorkerCommand::wcStop);
}

void TWorkerProcess::Kill() {
    std::lock_guard lock(mutex_);
    if (pid_ > 0 && !gone_)
        ::kill(pid_, SIGKILL);
}

void TWorkerProcess::Wait() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !running_; });
}

bool TWorkerProcess::Reusable() const {
    std::lock_guard lock(mutex_);
    return pid_ > 0 && !running_ && !gone_ && !killedForSilence_ && input_ >= 0;
}

bool TWorkerProcess::Probe(const std::string& fileName, TWorkerProbe& found, std::string& error) {
    std::unique_lock lock(mutex_);
    if (running_ || gone_ || input_ < 0) {
        error = "The worker cannot look at files now";
        return false;
    }
    probed_.reset();
    if (!SendAll(input_, WorkerProbeLine(fileName) + "\n")) {
        error = "The worker is gone";
        return false;
    }
    if (!changed_.wait_for(lock, silence_, [this] { return probed_ || gone_; })) {
        killedForSilence_ = true;
        ::kill(pid_, SIGKILL);
        changed_.wait(lock, [this] { return gone_; });
    }
    if (!probed_) {
        // A library that crashes on a damaged file takes the worker down while it looks; one
        // that hangs is ended, and says so.
        error = endedWith_;
        return false;
    }
    found = *std::exchange(probed_, std::nullopt);
    return true;
}

void TWorkerProcess::Listen() {
    FILE* stream = ::fdopen(output_, "r");
    char* buffer = nullptr;
    size_t capacity = 0;
    ssize_t length;
    while (stream && (length = ::getline(&buffer, &capacity, stream)) >= 0) {
        std::string line(buffer, static_cast<size_t>(length));
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.pop_back();
        std::shared_ptr<const TWorkerEvents> events;
        {
            std::lock_guard lock(mutex_);
            lastHeard_ = std::chrono::steady_clock::now();
            events = events_;
        }
        const auto record = ReadWorkerRecord(line);
        if (record && std::holds_alternative<TWorkerProbe>(*record)) {
            {
                std::lock_guard lock(mutex_);
                probed_ = std::get<TWorkerProbe>(*record);
            }
            changed_.notify_all();
            continue;
        }
        if (!events)
            continue; // between tasks nobody listens
        if (!record) {
            // Something a library printed: kept as a log line.
            if (events->Log && !line.empty())
                events->Log(TWorkerLog{TLogLevel::llInfo, line});
            continue;
        }
        if (const auto* progress = std::get_if<TProgressInfo>(&*record)) {
            if (events->Progress)
                events->Progress(*progress);
        } else if (const auto* log = std::get_if<TWorkerLog>(&*record)) {
            if (events->Log)
                events->Log(*log);
        } else if (std::holds_alternative<TWorkerPicture>(*record)) {
            TakePicture(*events);
        } else {
            Deliver(std::get<TTerminateInfo>(*record));
        }
    }
    // getline's buffer and fdopen's stream are C's, freed the C way.
    std::free(buffer); // NOLINT(cppcoreguidelines-owning-memory,cppcoreguidelines-no-malloc)
    if (stream)
        std::fclose(stream); // NOLINT(cppcoreguidelines-owning-memory)
    else
        ::close(output_);
    const TTerminateInfo failure = Ended();
    bool running;
    {
        std::lock_guard lock(mutex_);
        running = running_;
    }
    if (running)
        Deliver(failure);
}

void TWorkerProcess::Deliver(const TTerminateInfo& info) {
    std::shared_ptr<const TWorkerEvents> events;
    {
        std::lock_guard lock(mutex_);
        events = std::exchange(events_, nullptr);
    }
    // The listener and Begin may both find a task cut off by the worker's end: the one that
    // took the task's events reports it, and only then is the task over.
    if (!events)
        return;
    if (events->Terminate)
        events->Terminate(info);
    {
        std::lock_guard lock(mutex_);
        running_ = false;
        paused_ = false;
        outputFile_.clear();
    }
    changed_.notify_all();
}

void TWorkerProcess::TakePicture(const TWorkerEvents& events) {
    int frameNumber = 0;
    int64_t frameTime = 0;
    uint32_t sequence = 0;
    if (picture_ && picture_->Take(shownPicture_, frameNumber, frameTime, sequence) &&
        events.Picture)
        events.Picture(shownPicture_, frameNumber, frameTime);
}

TTerminateInfo TWorkerProcess::Ended() {
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    TTerminateInfo result;
    result.Failed = true;
    std::string outputFile;
    {
        std::lock_guard lock(mutex_);
        std::string reason;
        if (killedForSilence_)
            reason = "it did not answer for " + std::to_string(silence_.count() / 1000) + " s";
        else if (WIFSIGNALED(status))
            reason = SignalName(WTERMSIG(status));
        else
            reason = "exit status " + std::to_string(WEXITSTATUS(status));
        result.ErrorMessage = "The conversion stopped unexpectedly (" + reason + ")";
        endedWith_ = result.ErrorMessage;
        gone_ = true;
        outputFile = outputFile_;
        if (input_ >= 0)
            ::close(input_);
        input_ = -1;
    }
    changed_.notify_all();
    // Only a task cut off in the middle leaves an output behind.
    std::error_code ignored;
    if (!outputFile.empty() && std::filesystem::exists(outputFile, ignored) &&
        !StillOpens(outputFile))
        std::filesystem::remove(outputFile, ignored);
    return result;
}

void TWorkerProcess::Watch() {
    std::unique_lock lock(mutex_);
    while (!gone_ && !closing_) {
        changed_.wait_for(lock, std::chrono::milliseconds(200));
        if (gone_ || closing_ || !running_ || paused_ || killedForSilence_)
            continue;
        if (std::chrono::steady_clock::now() - lastHeard_ > silence_) {
            killedForSilence_ = true;
            ::kill(pid_, SIGKILL);
        }
    }
}

} // namespace tovik
