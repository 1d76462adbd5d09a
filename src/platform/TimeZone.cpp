#include "platform/TimeZone.h"

#include <ctime>
#include <mutex>

namespace tovik::platform {

int64_t StandardTimeOffsetSeconds() {
    // tzset() and the global 'timezone' are not thread-safe; serialise our own use.
    static std::mutex zoneMutex;
    std::lock_guard lock(zoneMutex);
    tzset();
    return -static_cast<int64_t>(timezone);
}

} // namespace tovik::platform
