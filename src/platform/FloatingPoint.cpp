#include "platform/FloatingPoint.h"

#if defined(__x86_64__) || defined(__i386__)
#include <xmmintrin.h>
#endif

namespace tovik::platform {

TFloatingPointGuard::TFloatingPointGuard() {
    std::fegetenv(&saved_);
    // feholdexcept masks every exception (non-stop mode) and clears the flags.
    std::fenv_t masked{};
    std::feholdexcept(&masked);
    std::fesetround(FE_TONEAREST);
}

TFloatingPointGuard::~TFloatingPointGuard() {
    std::fesetenv(&saved_);
}

bool AllFloatingPointExceptionsMasked() {
#if defined(__x86_64__) || defined(__i386__)
    const unsigned allMasks = _MM_MASK_INVALID | _MM_MASK_DENORM | _MM_MASK_DIV_ZERO |
                              _MM_MASK_OVERFLOW | _MM_MASK_UNDERFLOW | _MM_MASK_INEXACT;
    return (_mm_getcsr() & allMasks) == allMasks;
#else
    return true;
#endif
}

} // namespace tovik::platform
