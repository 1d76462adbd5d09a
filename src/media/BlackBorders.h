#pragma once
// Black borders (letterbox and pillarbox bars) of a video: the rows at the top and bottom and
// the columns at the left and right that are dark in every sampled picture. A border counts
// only where every picture is dark, so a dark scene never makes picture look like a bar.

#include "media/Bitmap.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tovik {

// Pixels at each edge, in the picture's own pixels.
struct TBorderMargins {
    int Top = 0;
    int Bottom = 0;
    int Left = 0;
    int Right = 0;
    bool Empty() const { return Top == 0 && Bottom == 0 && Left == 0 && Right == 0; }
    bool operator==(const TBorderMargins&) const = default;
};

// Collects pictures of one size and measures the bars they all share.
class TBorderScan {
public:
    // A line (row or column) is dark when its mean brightness is at most kDarkMean and no
    // more than 1 in kBrightShare of its pixels is brighter than kDarkPixel (0..255): bars
    // of real files are not exactly black, and a few noisy pixels must not end a bar.
    static constexpr int kDarkMean = 32;
    static constexpr int kDarkPixel = 48;
    static constexpr int kBrightShare = 64;

    // Adds one picture. A picture dark all over tells nothing about where bars end and is
    // left out; so is one of another size than the first.
    void Add(const TBitmap& picture);
    // Pictures that were measured (not left out).
    int Pictures() const { return pictures_; }
    // The bars every measured picture has; none without a measured picture. An axis whose
    // bars would leave less than an eighth of the picture is taken as no bars: that is a
    // dark picture with a small bright spot, not a frame.
    TBorderMargins Margins() const;

private:
    int width_ = 0;
    int height_ = 0;
    int pictures_ = 0;
    // 1 while the row (column) was dark in every measured picture.
    std::vector<uint8_t> darkRows_;
    std::vector<uint8_t> darkColumns_;
};

// The bars of a stored picture as the picture is shown after its display turn (degrees
// clockwise, a multiple of 90; other turns are taken as none).
TBorderMargins UprightMargins(const TBorderMargins& stored, int rotation);

// Samples count pictures spread over the file and measures their common bars, in the pixels
// of the picture as shown (turned upright). False with a readable error when the file has
// no picture to sample. Needs the media libraries loaded.
bool DetectBlackBorders(const std::string& fileName, TBorderMargins& margins, std::string& error,
                        int count = 10);

} // namespace tovik
