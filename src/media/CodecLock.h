#pragma once
// The process-wide codec lock: held around opening and closing codecs and around
// stream-information probing, which the libraries do not make safe to run concurrently
// with each other.

#include <mutex>

namespace tovik {
std::mutex& CodecLock();
} // namespace tovik
