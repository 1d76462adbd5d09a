#include "media/MediaKit.h"

#include "media/CodecLock.h"
#include "media/MediaLogger.h"

namespace tovik {

TMediaKitScope::TMediaKitScope() {
    CodecLock();      // created before any component can race for it
    LoggerInstance(); // likewise the log sink
}

TMediaKitScope::~TMediaKitScope() {
    // Wait for any codec call still under the lock before the environment changes back.
    std::lock_guard lock(CodecLock());
}

} // namespace tovik
