#pragma once
// Progress output of the converting commands. On a terminal one line is redrawn in place;
// into a pipe or a log file a plain line is written every few seconds and when a file ends,
// so logs stay readable and carry no carriage returns. Quiet prints nothing.

#include <chrono>
#include <cstdio>
#include <string>

namespace tovik::cli {

enum class TProgressStyle { psRedrawn, psPlainLines, psNone };

// psRedrawn when stream is a terminal, psPlainLines otherwise; psNone when quiet.
TProgressStyle ProgressStyleFor(std::FILE* stream, bool quiet);

class TProgressPrinter {
public:
    using TClock = std::chrono::steady_clock;

    TProgressPrinter(std::FILE* stream, TProgressStyle style,
                     TClock::duration interval = std::chrono::seconds(5));
    // The current state of the running file; a plain line only when the interval has passed
    // since this file's last one.
    void Update(const std::string& text, TClock::time_point now = TClock::now());
    // The last state of a file: its final plain line, or the redrawn line left standing.
    void Finish(const std::string& text);
    // Ends a redrawn line before other text goes to the same stream.
    void BreakLine();

private:
    std::FILE* stream_;
    TProgressStyle style_;
    TClock::duration interval_;
    bool lineOpen_ = false;        // a redrawn line is on the screen without its line break
    bool printedThisFile_ = false; // a plain line of the running file was written
    TClock::time_point lastLine_{};
    size_t lastWidth_ = 0;
};

} // namespace tovik::cli
