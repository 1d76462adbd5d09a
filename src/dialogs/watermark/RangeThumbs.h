#pragma once
// The two thumbs of the time-window slider, without Qt: a lower and an upper value between a
// minimum and a maximum, the lower one kept at least one below the upper one.

namespace tovik {

class TRangeThumbs {
public:
    int Minimum() const { return minimum_; }
    int Maximum() const { return maximum_; }
    int Lower() const { return lower_; }
    int Upper() const { return upper_; }

    // New bounds; the thumbs stay where they are until set again.
    void SetRange(int minimum, int maximum);
    // A value above the maximum becomes the maximum, a lower value below the minimum the
    // minimum; a lower value at or above the upper thumb becomes upper - 1, an upper value at
    // or below the lower thumb lower + 1. Every call reports a change (true), as the slider
    // does, even when the value stays.
    bool SetLower(int value);
    bool SetUpper(int value);

    // Which thumb a click at value moves: the one of the half of the track (between the
    // thumbs: the nearer one); true for the upper thumb.
    bool UpperHalf(int value) const;

private:
    int minimum_ = 0;
    int maximum_ = 10;
    int lower_ = 0;
    int upper_ = 10;
};

} // namespace tovik
