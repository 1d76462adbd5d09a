#include "platform/Threads.h"

#include <unistd.h>

namespace tovik::platform {
uint32_t CurrentThreadId() {
    return static_cast<uint32_t>(gettid());
}
} // namespace tovik::platform
