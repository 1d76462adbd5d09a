#pragma once
// The kit's one log sink. It receives the libraries' messages through their log callback,
// assembles them into whole lines per thread, and passes every line that the shared log
// level lets through to OnLog, together with the kit's own messages (Log, LogFmt).

#include "media/MediaComponent.h"

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <unordered_map>

namespace tovik {

enum class TLogLevel { llQuiet, llPanic, llFatal, llError, llWarning, llInfo, llVerbose, llDebug };

// (ordinal - 1) * 8: llQuiet -8, llPanic 0, ... llDebug 48.
int LogLevelToLibrary(TLogLevel level);
// number / 8 (toward zero) + 1, clamped to llQuiet..llDebug.
TLogLevel LibraryToLogLevel(int number);

using TLogEvent = std::function<void(TObject* Sender, uint32_t AThreadID, TLogLevel ALogLevel,
                                     const std::string& ALogMsg)>;

class TMediaLogger : public TMediaComponent {
public:
    TLogLevel LogLevel() const { return logLevel_.load(); }
    void SetLogLevel(TLogLevel level);
    // "quiet" ... "debug" (any letter case) or a library level number; anything else throws
    // std::invalid_argument.
    void SetLogLevelByName(const std::string& text);

    bool TriggerEventInMainThread() const { return triggerInMainThread_.load(); }
    void SetTriggerEventInMainThread(bool value) { triggerInMainThread_.store(value); }

    void SetOnLog(TLogEvent handler);
    bool HasOnLog() const;

    // Registers the library callback and applies the level; needs avutil bound.
    void InstallCallback();
    // Gives the libraries their default callback back (before avutil is unbound).
    void UninstallCallback();

    void Log(TObject* sender, TLogLevel level, const std::string& message);
    void LogFmt(TObject* sender, TLogLevel level, const char* format, ...)
        __attribute__((format(printf, 4, 5)));

    // The library callback's work: filter, prefix, assemble lines, deliver.
    void LibraryMessage(void* context, int level, const char* format, va_list arguments);

    // Drops every thread's unfinished line (tests).
    void ClearPendingText();

private:
    friend TMediaLogger& LoggerInstance();
    TMediaLogger();
    void Fire(TObject* sender, uint32_t threadId, TLogLevel level, const std::string& line);
    bool PassesFilter(TLogLevel level) const;

    std::atomic<TLogLevel> logLevel_;
    std::atomic<bool> triggerInMainThread_{true};

    mutable std::mutex handlerMutex_; // guards onLog_
    TLogEvent onLog_;

    std::mutex pendingMutex_;                           // guards pending_
    std::unordered_map<uint32_t, std::string> pending_; // thread id -> start of a line
};

// The one logger of the process, created on first use.
TMediaLogger& LoggerInstance();

// The level last given to the libraries (starts at 32, info).
int LibraryLogLevel();

} // namespace tovik
