#pragma once
// The trim dialog's marks and what OK makes of them, apart from the window: the start and
// the end of the kept part (positions in microseconds), loaded from a job and turned back
// into the job's TrimStart and TrimLength. No Qt, so tests run it headless.

#include <cstdint>
#include <string>
#include <utility>

namespace tovik {

// What OK stores in the job.
struct TTrimResult {
    int64_t TrimStart = 0;
    int64_t TrimLength = 0; // 0: up to the end of the file
    bool operator==(const TTrimResult&) const = default;
};

class TTrimMarks {
public:
    // Shorter selections, and selections ending closer than this to the end, run to the end.
    static constexpr int64_t kSmallestPart = 1000;

    // A newly opened file: both marks 0 until the job's are loaded.
    void Opened(int64_t duration);
    // The job's trim: the start when it is not negative, the end at start + length when
    // the length is positive, else at the end of the file.
    void Load(int64_t trimStart, int64_t trimLength);
    // Marks at a position; a position of 0 or less changes nothing (Reset is the way back).
    // False when nothing changed.
    bool SetStart(int64_t position);
    bool SetEnd(int64_t position);
    // The whole file.
    void Reset();

    int64_t Start() const { return start_; }
    int64_t End() const { return end_; }
    int64_t Duration() const { return duration_; }
    // Marks need a length to be measured against.
    bool HasDuration() const { return duration_ > 0; }

    // The start lies before the end, both inside the file.
    bool MarksValid() const;
    // The length OK converts: end - start for a sound selection inside the file, else the
    // whole duration.
    int64_t Length() const;
    TTrimResult Result() const;

    // The selection on a bar of 0..maximum; 0..0 without a duration.
    std::pair<int, int> Selection(int maximum) const;
    // The bar value of a position and the position of a bar value; 0 without a duration.
    int BarValue(int64_t position, int maximum) const;
    int64_t BarPosition(int value, int maximum) const;

private:
    int64_t start_ = 0;
    int64_t end_ = 0;
    int64_t duration_ = 0;
};

// The dialog's caption for a source: the path itself up to 50 characters, else "Trim   "
// with the first 50 characters, "..", the extension and two blanks.
std::string TrimCaption(const std::string& sourceFile);

// One picture's length in microseconds from a frame rate (num / den); 40 ms when unknown.
int64_t FrameDuration(int frameRateNum, int frameRateDen);

} // namespace tovik
