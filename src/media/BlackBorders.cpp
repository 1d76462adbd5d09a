#include "media/BlackBorders.h"

#include "media/PictureSampler.h"

#include <algorithm>

namespace tovik {

namespace {

// Brightness of a BGR pixel (BT.601 weights, 0..255).
inline int Luma(const uint8_t* pixel) {
    return (pixel[0] * 29 + pixel[1] * 150 + pixel[2] * 77) >> 8;
}

bool DarkLine(int64_t sum, int bright, int length) {
    return sum <= static_cast<int64_t>(TBorderScan::kDarkMean) * length &&
           bright * TBorderScan::kBrightShare <= length;
}

// Leading lines of flags set, counted from the front or the back.
int Run(const std::vector<uint8_t>& flags, bool fromBack) {
    const int size = static_cast<int>(flags.size());
    int count = 0;
    while (count < size && flags[static_cast<size_t>(fromBack ? size - 1 - count : count)])
        ++count;
    return count;
}

} // namespace

void TBorderScan::Add(const TBitmap& picture) {
    const int width = picture.Width();
    const int height = picture.Height();
    if (width <= 0 || height <= 0)
        return;
    if (width_ == 0) {
        width_ = width;
        height_ = height;
    } else if (width != width_ || height != height_) {
        return;
    }
    std::vector<uint8_t> rows(static_cast<size_t>(height));
    std::vector<int64_t> columnSums(static_cast<size_t>(width), 0);
    std::vector<int> columnBright(static_cast<size_t>(width), 0);
    bool anyLight = false;
    for (int y = 0; y < height; ++y) {
        const uint8_t* line = picture.ScanLine(y);
        int64_t sum = 0;
        int bright = 0;
        for (int x = 0; x < width; ++x) {
            const int luma = Luma(line + 3 * x);
            sum += luma;
            columnSums[static_cast<size_t>(x)] += luma;
            if (luma > kDarkPixel) {
                ++bright;
                ++columnBright[static_cast<size_t>(x)];
            }
        }
        rows[static_cast<size_t>(y)] = DarkLine(sum, bright, width) ? 1 : 0;
        anyLight = anyLight || !rows[static_cast<size_t>(y)];
    }
    if (!anyLight)
        return;
    std::vector<uint8_t> columns(static_cast<size_t>(width));
    for (int x = 0; x < width; ++x)
        columns[static_cast<size_t>(x)] = DarkLine(columnSums[static_cast<size_t>(x)],
                                                   columnBright[static_cast<size_t>(x)], height)
                                              ? 1
                                              : 0;
    if (pictures_ == 0) {
        darkRows_ = std::move(rows);
        darkColumns_ = std::move(columns);
    } else {
        for (size_t y = 0; y < darkRows_.size(); ++y)
            darkRows_[y] &= rows[y];
        for (size_t x = 0; x < darkColumns_.size(); ++x)
            darkColumns_[x] &= columns[x];
    }
    ++pictures_;
}

TBorderMargins TBorderScan::Margins() const {
    TBorderMargins margins;
    if (pictures_ == 0)
        return margins;
    margins.Top = Run(darkRows_, false);
    margins.Bottom = Run(darkRows_, true);
    margins.Left = Run(darkColumns_, false);
    margins.Right = Run(darkColumns_, true);
    if (height_ - margins.Top - margins.Bottom < height_ / 8)
        margins.Top = margins.Bottom = 0;
    if (width_ - margins.Left - margins.Right < width_ / 8)
        margins.Left = margins.Right = 0;
    return margins;
}

TBorderMargins UprightMargins(const TBorderMargins& stored, int rotation) {
    const TBorderMargins& s = stored;
    switch (((rotation % 360) + 360) % 360) {
    case 90: // turned clockwise: the stored top is shown at the right
        return {s.Left, s.Right, s.Bottom, s.Top};
    case 180:
        return {s.Bottom, s.Top, s.Right, s.Left};
    case 270:
        return {s.Right, s.Left, s.Top, s.Bottom};
    default:
        return s;
    }
}

bool DetectBlackBorders(const std::string& fileName, TBorderMargins& margins, std::string& error,
                        int count) {
    margins = {};
    TPictureSampler sampler;
    if (!sampler.Open(fileName)) {
        error = sampler.LastError();
        return false;
    }
    TBorderScan scan;
    const int sampled =
        sampler.Sample(count, [&scan](const TBitmap& picture, int64_t) { scan.Add(picture); });
    if (sampled == 0) {
        error = sampler.LastError().empty() ? "No picture could be decoded" : sampler.LastError();
        return false;
    }
    margins = UprightMargins(scan.Margins(), sampler.Rotation());
    return true;
}

} // namespace tovik
