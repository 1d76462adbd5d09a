#include "media/Bitmap.h"

#include <stdexcept>
#include <utility>

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

void TBitmap::MoveFrom(TBitmap& other) noexcept {
    if (this == &other)
        return;
    width_ = std::exchange(other.width_, 0);
    height_ = std::exchange(other.height_, 0);
    bytesPerLine_ = std::exchange(other.bytesPerLine_, 0);
    pixels_ = std::move(other.pixels_);
    other.pixels_.clear();
}

} // namespace tovik
