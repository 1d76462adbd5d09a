#include "media/MediaKit.h"

#include "platform/FloatingPoint.h"

#include <cfenv>
#include <gtest/gtest.h>

namespace tovik {
namespace {

#if defined(__x86_64__) || defined(__i386__)
TEST(MediaKitTest, FloatingPointExceptionsAreMaskedWhileTheKitLivesAndRestoredAfter) {
    feenableexcept(FE_DIVBYZERO); // a host that wants to trap
    ASSERT_FALSE(platform::AllFloatingPointExceptionsMasked());
    {
        TMediaKitScope kit;
        EXPECT_TRUE(platform::AllFloatingPointExceptionsMasked());
        volatile double zero = 0.0;
        volatile double result = 1.0 / zero; // would trap without the mask
        EXPECT_TRUE(result > 1e300);
    }
    EXPECT_FALSE(platform::AllFloatingPointExceptionsMasked());
    EXPECT_EQ(fegetexcept() & FE_DIVBYZERO, FE_DIVBYZERO);
    fedisableexcept(FE_ALL_EXCEPT);
}
#endif

} // namespace
} // namespace tovik
