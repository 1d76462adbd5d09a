#pragma once
#include <cstdint>

namespace tovik::platform {
// The operating system's id of the calling thread.
uint32_t CurrentThreadId();
} // namespace tovik::platform
