#pragma once
// The floating-point environment the media libraries run under: every floating-point
// exception masked, round to nearest. Saved when the kit starts and restored at shutdown.

#include <cfenv>

namespace tovik::platform {

class TFloatingPointGuard {
public:
    TFloatingPointGuard();
    ~TFloatingPointGuard();
    TFloatingPointGuard(const TFloatingPointGuard&) = delete;
    TFloatingPointGuard& operator=(const TFloatingPointGuard&) = delete;

private:
    std::fenv_t saved_{};
};

// Whether every floating-point exception is currently masked (x86 only; true elsewhere).
bool AllFloatingPointExceptionsMasked();

} // namespace tovik::platform
