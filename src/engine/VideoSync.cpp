#include "engine/VideoSync.h"

#include <cmath>

namespace tovik {

TVideoSyncDecision DecideVideoSync(double delta, int videoSync, bool variableRateFormat) {
    TVideoSyncDecision decision;
    if (videoSync == 0) {
        decision.ResetSyncTimestamp = true;
        return decision;
    }
    if (delta < -1.1) {
        decision.FrameCount = 0;
    } else if (videoSync == 2 || (videoSync < 0 && variableRateFormat)) {
        if (delta <= -0.6)
            decision.FrameCount = 0;
        else if (delta > 0.6)
            decision.ResetSyncTimestamp = true;
    } else if (delta > 1.1) {
        decision.FrameCount = static_cast<int>(std::lrint(delta));
    }
    return decision;
}

} // namespace tovik
