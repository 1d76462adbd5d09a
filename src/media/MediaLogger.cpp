#include "media/MediaLogger.h"

#include "media/LibraryBindings.h"
#include "media/TextFormat.h"
#include "platform/Dispatcher.h"
#include "platform/Threads.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cinttypes>
#include <stdexcept>
#include <vector>

namespace tovik {

namespace {

std::atomic<int> g_libraryLogLevel{AV_LOG_INFO};

constexpr size_t kMessageBufferSize = 2048;

void LibraryLogCallback(void* context, int level, const char* format, va_list arguments) {
    LoggerInstance().LibraryMessage(context, level, format, arguments);
}

std::string ContextPrefix(void* context) {
    if (!context)
        return {};
    const AVClass* avClass = *static_cast<const AVClass* const*>(context);
    const char* name = "NULL";
    if (avClass && avClass->item_name)
        name = avClass->item_name(context);
    std::array<char, 256> prefix{};
    std::snprintf(prefix.data(), prefix.size(), "[%s @ %0*" PRIXPTR "]", name ? name : "NULL",
                  static_cast<int>(2 * sizeof(void*)), reinterpret_cast<uintptr_t>(context));
    return prefix.data();
}

} // namespace

int LogLevelToLibrary(TLogLevel level) {
    return (static_cast<int>(level) - 1) * 8;
}

TLogLevel LibraryToLogLevel(int number) {
    int ordinal = std::clamp(number / 8 + 1, 0, static_cast<int>(TLogLevel::llDebug));
    return static_cast<TLogLevel>(ordinal);
}

int LibraryLogLevel() {
    return g_libraryLogLevel.load();
}

TMediaLogger::TMediaLogger() : logLevel_(LibraryToLogLevel(g_libraryLogLevel.load())) {}

TMediaLogger& LoggerInstance() {
    static TMediaLogger instance;
    return instance;
}

void TMediaLogger::SetLogLevel(TLogLevel level) {
    if (logLevel_.exchange(level) == level)
        return;
    if (ff::av_log_set_level) {
        g_libraryLogLevel.store(LogLevelToLibrary(level));
        ff::av_log_set_level(g_libraryLogLevel.load());
    }
}

void TMediaLogger::SetLogLevelByName(const std::string& text) {
    static const std::pair<const char*, int> kNames[] = {
        {"quiet", AV_LOG_QUIET},     {"panic", AV_LOG_PANIC},     {"fatal", AV_LOG_FATAL},
        {"error", AV_LOG_ERROR},     {"warning", AV_LOG_WARNING}, {"info", AV_LOG_INFO},
        {"verbose", AV_LOG_VERBOSE}, {"debug", AV_LOG_DEBUG},
    };
    const std::string lower = LowerText(text);
    for (const auto& [name, number] : kNames) {
        if (lower == name) {
            SetLogLevel(LibraryToLogLevel(number));
            return;
        }
    }
    size_t used = 0;
    int number = 0;
    try {
        number = std::stoi(text, &used, 10);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used == 0 || used != text.size())
        throw std::invalid_argument("'" + text + "' is not a valid integer value");
    SetLogLevel(LibraryToLogLevel(number));
}

void TMediaLogger::SetOnLog(TLogEvent handler) {
    std::lock_guard lock(handlerMutex_);
    onLog_ = std::move(handler);
}

bool TMediaLogger::HasOnLog() const {
    std::lock_guard lock(handlerMutex_);
    return static_cast<bool>(onLog_);
}

void TMediaLogger::InstallCallback() {
    if (!ff::av_log_set_callback || !ff::av_log_set_level)
        throw std::logic_error("InstallCallback needs avutil bound");
    ff::av_log_set_callback(&LibraryLogCallback);
    g_libraryLogLevel.store(LogLevelToLibrary(logLevel_.load()));
    ff::av_log_set_level(g_libraryLogLevel.load());
}

void TMediaLogger::UninstallCallback() {
    if (ff::av_log_set_callback && ff::av_log_default_callback)
        ff::av_log_set_callback(ff::av_log_default_callback);
}

bool TMediaLogger::PassesFilter(TLogLevel level) const {
    TLogLevel current = logLevel_.load();
    return current >= level || (level == TLogLevel::llVerbose && current != TLogLevel::llQuiet);
}

void TMediaLogger::Log(TObject* sender, TLogLevel level, const std::string& message) {
    if (!HasOnLog() || !PassesFilter(level))
        return;
    Fire(sender, platform::CurrentThreadId(), level, message);
}

void TMediaLogger::LogFmt(TObject* sender, TLogLevel level, const char* format, ...) {
    if (!HasOnLog() || !PassesFilter(level))
        return;
    va_list arguments;
    va_start(arguments, format);
    const std::string message = FormatTextV(format, arguments);
    va_end(arguments);
    Fire(sender, platform::CurrentThreadId(), level, message);
}

void TMediaLogger::LibraryMessage(void* context, int level, const char* format, va_list arguments) {
    if (level > g_libraryLogLevel.load())
        return;
    std::array<char, kMessageBufferSize> buffer{};
    va_list copy;
    va_copy(copy, arguments);
    // vsnprintf cuts an over-long message at the buffer's end instead of overrunning it.
    const auto format2048 = crt::vsnprintf ? crt::vsnprintf : &std::vsnprintf;
    const int fullLength = format2048(buffer.data(), buffer.size(), format, arguments);
    std::string text(buffer.data());
    if (fullLength >= static_cast<int>(kMessageBufferSize)) {
        // The cut must not swallow the line end, or the thread's next line would be glued on.
        const std::string whole = FormatTextV(format, copy);
        if (!whole.empty() && whole.back() == '\n')
            text.back() = '\n';
    }
    va_end(copy);
    const uint32_t threadId = platform::CurrentThreadId();

    std::vector<std::string> lines;
    {
        std::lock_guard lock(pendingMutex_);
        std::string& pending = pending_[threadId];
        if (!pending.empty())
            pending += text;
        else
            pending = ContextPrefix(context) + text;
        size_t lineFeed;
        while ((lineFeed = pending.find('\n')) != std::string::npos) {
            lines.push_back(pending.substr(0, lineFeed));
            pending.erase(0, lineFeed + 1);
        }
    }
    if (lines.empty() || !HasOnLog())
        return;
    const TLogLevel logLevel = LibraryToLogLevel(level);
    for (const std::string& line : lines)
        Fire(this, threadId, logLevel, line);
}

void TMediaLogger::ClearPendingText() {
    std::lock_guard lock(pendingMutex_);
    pending_.clear();
}

void TMediaLogger::Fire(TObject* sender, uint32_t threadId, TLogLevel level,
                        const std::string& line) {
    TLogEvent handler;
    {
        std::lock_guard lock(handlerMutex_);
        handler = onLog_;
    }
    if (!handler)
        return;
    if (TriggerEventInMainThread() && !IsMainThread())
        CallInMainThread([&] { handler(sender, threadId, level, line); });
    else
        handler(sender, threadId, level, line);
}

} // namespace tovik
