#include "effects/FrameEffects.h"

#include "effects/PixelKernels.h"

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace tovik {

namespace {

template <typename T> uint8_t ClampLevel(T value) {
    return static_cast<uint8_t>(std::clamp<T>(value, 0, 255));
}

// Round to nearest (half to even) for the life of the guard, whatever the caller's rounding
// mode is, so the tables come out the same everywhere.
class TRoundToNearest {
public:
    TRoundToNearest() : saved_(std::fegetround()) { std::fesetround(FE_TONEAREST); }
    ~TRoundToNearest() { std::fesetround(saved_); }
    TRoundToNearest(const TRoundToNearest&) = delete;
    TRoundToNearest& operator=(const TRoundToNearest&) = delete;

private:
    int saved_;
};

} // namespace

void BuildColorTables(int brightness, int contrast, int saturation, TColorTables& tables) {
    if (contrast == 100)
        contrast = 99; // the factor would be infinite at 100
    const double factor = contrast > 0 ? 1.0 / std::cos(contrast * 0.015707963267948967)
                                       : std::cos(contrast * 0.015708);
    uint8_t contrastTable[256];
    {
        const TRoundToNearest nearest;
        for (int i = 0; i < 256; ++i)
            contrastTable[i] = ClampLevel(std::nearbyint((i - 170) * factor + 170));
    }
    for (int j = 0; j < 256; ++j) {
        const int32_t q = (brightness * j + 256 - brightness) / 256;
        tables.Levels[j] = contrastTable[std::clamp(q, 0, 255)];
    }
    for (int m = 0; m < 256; ++m)
        tables.Weights[m] = static_cast<int32_t>(static_cast<uint32_t>((m + 1) * saturation) >> 8);
    for (int n = 0; n < 768; ++n)
        tables.GrayBase[n] = n / 3 - tables.Weights[n / 3];
}

namespace {

void RunColorPass(TBitmap& bitmap, const kernels::TColorPass& pass) {
    for (int y = 0; y < bitmap.Height(); ++y)
        kernels::ColorRowVector(bitmap.ScanLine(y), bitmap.Width(), pass);
}

} // namespace

void ApplyColorAdjust(TBitmap& bitmap, int brightness, int contrast, int saturation) {
    ApplyColorAndExposure(bitmap, brightness, contrast, saturation, kNeutralExposure);
}

void ApplyColorAndExposure(TBitmap& bitmap, int brightness, int contrast, int saturation,
                           float exposure) {
    TColorTables tables;
    BuildColorTables(brightness, contrast, saturation, tables);
    kernels::TColorPass pass;
    pass.Adjust = true;
    pass.Saturation = saturation;
    pass.Weights = tables.Weights;
    pass.GrayBase = tables.GrayBase;
    // Exposure works on each byte after the colour pass: fold its table into the levels.
    uint8_t exposureTable[256];
    BuildExposureTable(exposure, exposureTable);
    for (int i = 0; i < 256; ++i)
        pass.Final[i] = exposureTable[tables.Levels[i]];
    RunColorPass(bitmap, pass);
}

void BuildExposureTable(float exposure, uint8_t table[256]) {
    const long double x = exposure;
    const TRoundToNearest nearest;
    for (int i = 0; i < 256; ++i) {
        const long double f = 1.0L - std::exp((i / -128.0L) * (x / 128.0L));
        const auto e = static_cast<int64_t>(std::nearbyintl(256.0L * f));
        const int64_t d = (std::llabs(e) * (255 - i)) >> 8;
        table[i] = ClampLevel<int64_t>(exposure >= 0 ? i + d : i - d);
    }
}

void ApplyExposure(TBitmap& bitmap, float exposure) {
    kernels::TColorPass pass;
    BuildExposureTable(exposure, pass.Final);
    RunColorPass(bitmap, pass);
}

namespace {

// The source columns and rows that land on dest with source's corner at (x, y): whatever lies
// outside the destination, on any of the four sides, is cut off.
struct TOverlap {
    int FirstColumn, FirstRow, LastColumn, LastRow;
    bool Empty() const { return LastColumn <= FirstColumn || LastRow <= FirstRow; }
};

TOverlap Overlap(const TBitmap& dest, const TBitmap& source, int x, int y) {
    return {std::max(0, -x), std::max(0, -y), std::min(source.Width(), dest.Width() - x),
            std::min(source.Height(), dest.Height() - y)};
}

} // namespace

void BlendBitmap(TBitmap& dest, const TBitmap& source, int x, int y, int alpha) {
    const TOverlap area = Overlap(dest, source, x, y);
    if (area.Empty())
        return;
    const auto a = static_cast<uint32_t>(std::clamp(alpha, 0, 255));
    const uint32_t keep = 256 - a;
    const int bytes = (area.LastColumn - area.FirstColumn) * 3;
    for (int row = area.FirstRow; row < area.LastRow; ++row) {
        const uint8_t* s = source.ScanLine(row) + area.FirstColumn * 3;
        uint8_t* d = dest.ScanLine(y + row) + (x + area.FirstColumn) * 3;
        for (int i = 0; i < bytes; ++i)
            d[i] = static_cast<uint8_t>((keep * d[i] + a * s[i]) >> 8);
    }
}

void BlendBitmapAlpha(TBitmap& dest, const TBitmap& source, const uint8_t* pixelAlpha,
                      int alphaStride, int x, int y, int alpha) {
    const TOverlap area = Overlap(dest, source, x, y);
    if (area.Empty())
        return;
    const auto master = static_cast<uint32_t>(std::clamp(alpha, 0, 255));
    for (int row = area.FirstRow; row < area.LastRow; ++row) {
        const uint8_t* s = source.ScanLine(row) + area.FirstColumn * 3;
        const uint8_t* weights =
            pixelAlpha + static_cast<size_t>(row) * alphaStride + area.FirstColumn;
        uint8_t* d = dest.ScanLine(y + row) + (x + area.FirstColumn) * 3;
        for (int col = 0; col < area.LastColumn - area.FirstColumn; ++col, s += 3, d += 3) {
            // Rounded, so 255 gives the master alpha exactly and 0 gives 0.
            const uint32_t a = (weights[col] * master + 127) / 255;
            const uint32_t keep = 256 - a;
            for (int c = 0; c < 3; ++c)
                d[c] = static_cast<uint8_t>((keep * d[c] + a * s[c]) >> 8);
        }
    }
}

} // namespace tovik
