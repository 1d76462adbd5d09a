#pragma once
// How many times the encoder gets the current picture to hold the output frame rate.

namespace tovik {

struct TVideoSyncDecision {
    int FrameCount = 1;              // 0 drops the picture, n > 1 duplicates it n - 1 times
    bool ResetSyncTimestamp = false; // the output position jumps to the picture's time
};

// delta: how far (in output frame periods) the picture's time is ahead of the output
// position. videoSync: the "vsync" value (-1 automatic, 0 pass timestamps, 1 constant
// rate, 2 variable rate); variableRateFormat: the container takes variable frame rates.
TVideoSyncDecision DecideVideoSync(double delta, int videoSync, bool variableRateFormat);

} // namespace tovik
