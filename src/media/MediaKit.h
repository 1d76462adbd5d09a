#pragma once
// Start-up and shut-down of the media kit as a whole. A program creates one TMediaKitScope
// before any media component: it masks floating-point exceptions for the libraries and
// restores the caller's floating-point environment when it ends.

#include "platform/FloatingPoint.h"

namespace tovik {

class TMediaKitScope {
public:
    TMediaKitScope();
    ~TMediaKitScope();
    TMediaKitScope(const TMediaKitScope&) = delete;
    TMediaKitScope& operator=(const TMediaKitScope&) = delete;

private:
    platform::TFloatingPointGuard floatingPoint_;
};

} // namespace tovik
