#include "effects/SharedPicture.h"

#include <atomic>
#include <cstring>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tovik {

// At the start of the segment; the pixels follow at kPixelsOffset. Plain fields: only the
// side that owns the slot at the moment (Full says which) touches anything but Full.
struct TSharedPicture::THeader {
    uint32_t Full; // 0: the worker may write, 1: the runner may read; atomic_ref only
    uint32_t Sequence;
    int32_t Width;
    int32_t Height;
    int32_t BytesPerLine;
    int32_t FrameNumber;
    int64_t FrameTime;
    uint64_t Bytes;
};

namespace {

constexpr size_t kPixelsOffset = 64;
static_assert(sizeof(uint32_t) <= kPixelsOffset);
static_assert(std::atomic_ref<uint32_t>::is_always_lock_free,
              "the slot flag is shared between processes");

// Pictures beyond this are refused rather than mapped: 8K with room to spare.
constexpr uint64_t kLargestPicture = 16384ull * 8192ull * 3ull;

size_t FileSize(int fd) {
    struct stat facts {};
    return ::fstat(fd, &facts) == 0 ? static_cast<size_t>(facts.st_size) : 0;
}

} // namespace

TSharedPicture::TSharedPicture() {
    fd_ = ::memfd_create("tovik-picture", MFD_CLOEXEC);
    if (fd_ < 0)
        return;
    if (::ftruncate(fd_, static_cast<off_t>(kPixelsOffset)) != 0 || !MapAtLeast(kPixelsOffset)) {
        ::close(fd_);
        fd_ = -1;
    }
}

TSharedPicture::TSharedPicture(int fd) : fd_(fd) {
    if (fd_ < 0)
        return;
    if (FileSize(fd_) < kPixelsOffset || !MapAtLeast(kPixelsOffset)) {
        ::close(fd_);
        fd_ = -1;
    }
}

TSharedPicture::~TSharedPicture() {
    Unmap();
    if (fd_ >= 0)
        ::close(fd_);
}

void TSharedPicture::Unmap() {
    if (header_)
        ::munmap(header_, mapped_);
    header_ = nullptr;
    mapped_ = 0;
}

bool TSharedPicture::MapAtLeast(size_t bytes) {
    if (header_ && mapped_ >= bytes)
        return true;
    Unmap();
    void* start = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0);
    if (start == MAP_FAILED)
        return false;
    header_ = static_cast<THeader*>(start);
    mapped_ = bytes;
    return true;
}

bool TSharedPicture::Publish(const TBitmap& bitmap, int frameNumber, int64_t frameTime) {
    if (!Valid() || bitmap.Empty())
        return false;
    if (std::atomic_ref<uint32_t>(header_->Full).load(std::memory_order_acquire) != 0)
        return false;
    const uint64_t bytes =
        static_cast<uint64_t>(bitmap.BytesPerLine()) * static_cast<uint64_t>(bitmap.Height());
    if (bytes > kLargestPicture)
        return false;
    const size_t needed = kPixelsOffset + static_cast<size_t>(bytes);
    if (FileSize(fd_) < needed && ::ftruncate(fd_, static_cast<off_t>(needed)) != 0)
        return false;
    if (!MapAtLeast(needed))
        return false;
    std::memcpy(reinterpret_cast<uint8_t*>(header_) + kPixelsOffset, bitmap.Bits(), bytes);
    header_->Sequence = ++published_;
    header_->Width = bitmap.Width();
    header_->Height = bitmap.Height();
    header_->BytesPerLine = bitmap.BytesPerLine();
    header_->FrameNumber = frameNumber;
    header_->FrameTime = frameTime;
    header_->Bytes = bytes;
    std::atomic_ref<uint32_t>(header_->Full).store(1, std::memory_order_release);
    return true;
}

bool TSharedPicture::Take(TBitmap& bitmap, int& frameNumber, int64_t& frameTime,
                          uint32_t& sequence) {
    if (!Valid())
        return false;
    std::atomic_ref<uint32_t> full(header_->Full);
    if (full.load(std::memory_order_acquire) == 0)
        return false;
    const int width = header_->Width;
    const int height = header_->Height;
    const uint64_t bytes = header_->Bytes;
    bool sensible =
        width > 0 && height > 0 && bytes <= kLargestPicture &&
        header_->BytesPerLine == ((width * 3 + 3) & ~3) &&
        bytes == static_cast<uint64_t>(header_->BytesPerLine) * static_cast<uint64_t>(height) &&
        FileSize(fd_) >= kPixelsOffset + bytes;
    if (sensible) {
        sensible = MapAtLeast(kPixelsOffset + static_cast<size_t>(bytes));
        if (sensible) {
            bitmap.SetSize(width, height);
            std::memcpy(bitmap.Bits(), reinterpret_cast<const uint8_t*>(header_) + kPixelsOffset,
                        bytes);
            frameNumber = header_->FrameNumber;
            frameTime = header_->FrameTime;
            sequence = header_->Sequence;
        }
    }
    // A slot the worker filled with nonsense is emptied too, so that it can try again.
    if (header_)
        std::atomic_ref<uint32_t>(header_->Full).store(0, std::memory_order_release);
    return sensible;
}

} // namespace tovik
