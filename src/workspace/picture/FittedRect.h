#pragma once
// Where a picture goes when it is shown whole inside an area: as large as fits, centred,
// with equal margins on the two sides it does not fill.

namespace tovik {

struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0; // exclusive
    int Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool operator==(const TRect&) const = default;
};

// The rectangle within (0, 0, areaWidth, areaHeight) for a picture of sourceWidth x
// sourceHeight; an empty rectangle when the source has no pixels.
TRect FittedRect(int sourceWidth, int sourceHeight, int areaWidth, int areaHeight);

} // namespace tovik
