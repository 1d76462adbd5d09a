#pragma once
// The session's activity log: every line of the libraries, the engine and the run, with the
// time it arrived. Lines come from any thread; the log window pulls what is new by sequence
// number, so a flood of lines never makes the window redraw what it already shows. The
// oldest lines go once the log holds its capacity. Each line is also written to a rotating
// log file when one is attached, so a failed run can be looked at after the program ended.

#include <chrono>
#include <cstdint>
#include <deque>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace tovik {

class TRotatingLogFile;

struct TActivityLine {
    int64_t Sequence = 0; // 1 for the first line of the session
    std::chrono::system_clock::time_point Time{};
    std::string Text;
};

// "2026-12-09 21:07:03.250  text", in local time.
std::string FormatActivityLine(const TActivityLine& line);

class TActivityLog {
public:
    using TClock = std::function<std::chrono::system_clock::time_point()>;

    explicit TActivityLog(size_t capacity = 200000, TClock clock = {});
    ~TActivityLog();

    // Any thread. A text with line breaks becomes one line per part; empty parts are kept
    // out, and so are trailing line breaks.
    void Add(const std::string& text);

    // At most max of the lines after sequence number after, oldest first. Lines that fell
    // out of the log are skipped.
    std::vector<TActivityLine> LinesAfter(int64_t after, size_t max) const;
    int64_t LastSequence() const;
    size_t Count() const;
    size_t Capacity() const { return capacity_; }
    // Every kept line in its written form, one per line: what "Copy" and "Save" take.
    std::string Text() const;

    // Lines from now on also go to file (nullptr: none).
    void AttachFile(std::unique_ptr<TRotatingLogFile> file);

private:
    const size_t capacity_;
    const TClock clock_;
    mutable std::mutex mutex_;               // guards the fields below
    std::deque<TActivityLine> lines_;        //
    int64_t lastSequence_ = 0;               //
    std::unique_ptr<TRotatingLogFile> file_; //
};

// A log file that starts anew when it would grow past a size: "tovik.log" becomes
// "tovik.log.1", the older ones move up by one, and the oldest beyond keep-1 is removed.
// Not thread-safe: its owner serialises the writes.
class TRotatingLogFile {
public:
    TRotatingLogFile(std::string directory, std::string name, int64_t maxBytes, int keep);

    // Creates the folder when missing and opens the file for appending; false (and the
    // reason in error) when that fails.
    bool Open(std::string& error);
    // Appends one line and its line end; rotates first when the line would not fit.
    void WriteLine(const std::string& line);
    std::string Path() const;

private:
    void Rotate();

    std::string directory_;
    std::string name_;
    int64_t maxBytes_;
    int keep_;
    std::ofstream file_;
    int64_t size_ = 0;
};

// The log file of this user's sessions: $XDG_STATE_HOME/tovik/tovik.log, 1 MiB, 5 kept.
std::unique_ptr<TRotatingLogFile> OpenSessionLogFile(std::string& error);

} // namespace tovik
