#pragma once
#include <cstdint>

namespace tovik::platform {
// Seconds to add to UTC to get the local standard time (daylight saving not applied).
int64_t StandardTimeOffsetSeconds();
} // namespace tovik::platform
