#include "PlayerTestSupport.h"

#include "media/LibrarySets.h"
#include "media/MediaLogger.h"
#include "platform/Dispatcher.h"

#include <cstdlib>
#include <thread>

namespace tovik::test {

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        TDispatcher::Instance().WaitAndCheckSynchronize(std::chrono::milliseconds(5));
    }
    return true;
}

void PumpFor(std::chrono::milliseconds duration) {
    const auto end = std::chrono::steady_clock::now() + duration;
    PumpUntil([&] { return std::chrono::steady_clock::now() >= end; }, duration * 2);
}

TLogRecorder::TLogRecorder() {
    LoggerInstance().SetTriggerEventInMainThread(false);
    LoggerInstance().SetOnLog([this](TObject*, uint32_t, TLogLevel, const std::string& line) {
        std::lock_guard lock(mutex_);
        lines_.push_back(line);
    });
}

TLogRecorder::~TLogRecorder() {
    LoggerInstance().SetOnLog(nullptr);
    LoggerInstance().SetTriggerEventInMainThread(true);
}

bool TLogRecorder::Contains(const std::string& text) const {
    std::lock_guard lock(mutex_);
    for (const std::string& line : lines_)
        if (line.find(text) != std::string::npos)
            return true;
    return false;
}

std::vector<std::string> TLogRecorder::Lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
}

TSoundDriverScope::TSoundDriverScope(const std::string& file) {
    if (file.empty()) {
        ::setenv("SDL_AUDIODRIVER", "dummy", 1);
        return;
    }
    ::setenv("SDL_AUDIODRIVER", "disk", 1);
    ::setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
}

TSoundDriverScope::~TSoundDriverScope() {
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    ::unsetenv("SDL_DISKAUDIOFILE");
}

void TStateRecorder::Attach(TMediaPlayer& player) {
    player.OnState = [this](TObject*, TPlayState state) {
        std::lock_guard lock(mutex_);
        states_.push_back(state);
    };
}

std::vector<TPlayState> TStateRecorder::States() const {
    std::lock_guard lock(mutex_);
    return states_;
}

int TStateRecorder::Count(TPlayState state) const {
    std::lock_guard lock(mutex_);
    int count = 0;
    for (TPlayState seen : states_)
        count += seen == state;
    return count;
}

void PlayerTest::SetUpTestSuite() {
    std::string error;
    ASSERT_TRUE(LoadPlayerLibraries("", error)) << error;
}

void PlayerTest::SetUp() {
    ::setenv("HOME", temp_.Path().c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", temp_.Path().c_str(), 1);
    // Nothing of another test may be left for this one.
    TDispatcher::Instance().CheckSynchronize();
}

void PlayerTest::TearDown() {
    TDispatcher::Instance().CheckSynchronize();
}

} // namespace tovik::test
