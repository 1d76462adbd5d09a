#pragma once
// What the player tests share: the player's libraries, a log recorder, waiting while the
// main thread's dispatcher is served, and SDL's disk sound driver writing into a file.

#include "player/HeadlessScreen.h"
#include "player/MediaPlayer.h"
#include "support/TestSupport.h"

#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <string>
#include <vector>

namespace tovik::test {

// Serves the dispatcher until done() or the time is up; returns done(). The time limit
// only keeps a broken player from hanging the test; no test depends on its length.
bool PumpUntil(const std::function<bool()>& done,
               std::chrono::milliseconds limit = std::chrono::seconds(20));
// Serves the dispatcher for a while.
void PumpFor(std::chrono::milliseconds duration);

class TLogRecorder {
public:
    TLogRecorder();
    ~TLogRecorder();
    bool Contains(const std::string& text) const;
    std::vector<std::string> Lines() const;

private:
    mutable std::mutex mutex_; // guards lines_
    std::vector<std::string> lines_;
};

// Sets SDL's sound driver to "disk" writing into file (or "dummy" with an empty name) for
// the players opened while it lives.
class TSoundDriverScope {
public:
    explicit TSoundDriverScope(const std::string& file);
    ~TSoundDriverScope();
};

// The states a player reported, in order, recorded on whatever thread delivers them.
class TStateRecorder {
public:
    void Attach(TMediaPlayer& player);
    std::vector<TPlayState> States() const;
    int Count(TPlayState state) const;
    bool Has(TPlayState state) const { return Count(state) > 0; }

private:
    mutable std::mutex mutex_; // guards states_
    std::vector<TPlayState> states_;
};

class PlayerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    void SetUp() override;
    void TearDown() override;

    TTempDir temp_;
    TLogRecorder log_;
};

} // namespace tovik::test
