#pragma once
// The kit's picture: 24-bit BGR pixels, rows padded to 4 bytes, top row first. Windows wrap
// the pixels in a QImage (Format_BGR888 with BytesPerLine()) to draw without copying.

#include <cstdint>
#include <mutex>
#include <vector>

namespace tovik {

class TBitmap {
public:
    TBitmap() = default;
    TBitmap(int width, int height) { SetSize(width, height); }
    // Copies and moves carry size and pixels; every bitmap keeps a canvas lock of its own.
    TBitmap(const TBitmap& other) { Assign(other); }
    TBitmap(TBitmap&& other) noexcept { MoveFrom(other); }
    TBitmap& operator=(const TBitmap& other) {
        Assign(other);
        return *this;
    }
    TBitmap& operator=(TBitmap&& other) noexcept {
        MoveFrom(other);
        return *this;
    }

    int Width() const { return width_; }
    int Height() const { return height_; }
    // Bytes per row: width * 3 rounded up to a multiple of 4.
    int BytesPerLine() const { return bytesPerLine_; }
    // Keeps nothing of the old pixels; a new size starts black.
    void SetSize(int width, int height);
    bool Empty() const { return width_ == 0 || height_ == 0; }

    uint8_t* ScanLine(int y) { return pixels_.data() + static_cast<size_t>(y) * bytesPerLine_; }
    const uint8_t* ScanLine(int y) const {
        return pixels_.data() + static_cast<size_t>(y) * bytesPerLine_;
    }
    uint8_t* Bits() { return pixels_.data(); }
    const uint8_t* Bits() const { return pixels_.data(); }

    // The canvas lock: held by whoever draws on or copies the pixels from another thread.
    // Re-entrant: the engine holds it around its drawing hook, and the drawing code the
    // hook calls takes it again.
    void Lock() { canvasLock_.lock(); }
    void Unlock() { canvasLock_.unlock(); }
    std::recursive_mutex& CanvasLock() { return canvasLock_; }

    // Copies size and pixels (not the lock).
    void Assign(const TBitmap& other);

private:
    void MoveFrom(TBitmap& other) noexcept;

    int width_ = 0;
    int height_ = 0;
    int bytesPerLine_ = 0;
    std::vector<uint8_t> pixels_;
    std::recursive_mutex canvasLock_;
};

} // namespace tovik
