#pragma once
// What the trim and crop dialog tests share: the program's application object, the main
// thread's dispatcher served by Qt's loop (the players deliver their events through it), a
// job list with one row, and waiting while both are served.

#include "AppTestSupport.h"
#include "workspace/core/JobList.h"

#include <chrono>
#include <functional>
#include <string>

namespace tovik::test {

class EditDialogTest : public TAppTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Appends a row for a test clip (or any path) with its duration; returns its index.
    int AddJob(const std::string& source, int64_t duration);
    // The player's libraries, loaded once for the process.
    static bool LoadLibraries(std::string& error);

    TJobList jobs_;
};

// Serves Qt's events and the dispatcher until done() or the limit; returns done(). The
// limit only keeps a broken player from hanging the test.
bool PumpUntil(const std::function<bool()>& done,
               std::chrono::milliseconds limit = std::chrono::seconds(20));
void PumpFor(std::chrono::milliseconds duration);

} // namespace tovik::test
