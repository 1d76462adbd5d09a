#pragma once
#include <cstdint>

namespace tovik::platform {
// The operating system's id of the calling thread.
uint32_t CurrentThreadId();
} // namespace tovik::platform

namespace tovik::platform {
// Scheduling of the calling thread: idle runs it only when nothing else wants the processor
// (SCHED_IDLE); otherwise the normal policy with the given nice value (-20 … 19). False when
// the system refused (raising a priority needs a privilege); the thread then runs as before.
bool SetCurrentThreadScheduling(bool idle, int niceValue);
} // namespace tovik::platform
