#include "media/Bitmap.h"

#include <stdexcept>

namespace tovik {

void TBitmap::SetSize(int width, int height) {
    if (width < 0 || height < 0)
        throw std::invalid_argument("bitmap size must not be negative");
    width_ = width;
    height_ = height;
    bytesPerLine_ = (width * 3 + 3) & ~3;
    pixels_.assign(static_cast<size_t>(bytesPerLine_) * static_cast<size_t>(height), 0);
}

void TBitmap::Assign(const TBitmap& other) {
    if (this == &other)
        return;
    width_ = other.width_;
    height_ = other.height_;
    bytesPerLine_ = other.bytesPerLine_;
    pixels_ = other.pixels_;
}

} // namespace tovik
