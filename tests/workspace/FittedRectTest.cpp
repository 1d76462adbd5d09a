#include "workspace/picture/FittedRect.h"

#include <gtest/gtest.h>

namespace tovik {
namespace {

TEST(FittedRectTest, PicturesAreCentredWithEqualMargins) {
    // 640x480 into 372x210: full height, 280 wide, 46 each side.
    EXPECT_EQ(FittedRect(640, 480, 372, 210), (TRect{46, 0, 326, 210}));
    // 640x360 is almost the area's shape: no margin.
    EXPECT_EQ(FittedRect(640, 360, 372, 210), (TRect{0, 0, 372, 210}));
    // Wide pictures lose height instead.
    EXPECT_EQ(FittedRect(1000, 100, 200, 100), (TRect{0, 40, 200, 60}));
    // Halves round to even: (100 - 99) / 2 = 0.5 -> 0.
    EXPECT_EQ(FittedRect(99, 100, 100, 100), (TRect{0, 0, 100, 100}));
    EXPECT_EQ(FittedRect(97, 100, 100, 100), (TRect{2, 0, 98, 100})); // 1.5 -> 2
}

TEST(FittedRectTest, NothingForEmptyPictures) {
    EXPECT_EQ(FittedRect(0, 480, 372, 210), TRect{});
    EXPECT_EQ(FittedRect(640, 0, 372, 210), TRect{});
}

} // namespace
} // namespace tovik
