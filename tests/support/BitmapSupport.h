#pragma once
// Bitmaps for pixel tests: random contents and exact comparison.

#include "media/Bitmap.h"

#include <cstring>
#include <random>

namespace tovik::test {

// Random bytes in every pixel (every byte value turns up in a bitmap of some size).
inline TBitmap RandomBitmap(int width, int height, uint32_t seed) {
    TBitmap bitmap(width, height);
    std::mt19937 random(seed);
    for (int y = 0; y < height; ++y)
        for (int i = 0; i < width * 3; ++i)
            bitmap.ScanLine(y)[i] = static_cast<uint8_t>(random());
    return bitmap;
}

// The same pixels (row padding is not compared).
inline bool SamePixels(const TBitmap& a, const TBitmap& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height())
        return false;
    for (int y = 0; y < a.Height(); ++y)
        if (std::memcmp(a.ScanLine(y), b.ScanLine(y), static_cast<size_t>(a.Width()) * 3) != 0)
            return false;
    return true;
}

} // namespace tovik::test
