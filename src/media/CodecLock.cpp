#include "media/CodecLock.h"

namespace tovik {
std::mutex& CodecLock() {
    static std::mutex lock;
    return lock;
}
} // namespace tovik
