#include "platform/Threads.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

namespace tovik::platform {
uint32_t CurrentThreadId() {
    return static_cast<uint32_t>(gettid());
}
} // namespace tovik::platform

namespace tovik::platform {
bool SetCurrentThreadScheduling(bool idle, int niceValue) {
    sched_param param{};
    param.sched_priority = 0;
    bool ok = pthread_setschedparam(pthread_self(), idle ? SCHED_IDLE : SCHED_OTHER, &param) == 0;
    // On Linux the nice value of PRIO_PROCESS with a thread id applies to that thread only.
    if (!idle && setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), niceValue) != 0)
        ok = false;
    return ok;
}
} // namespace tovik::platform
