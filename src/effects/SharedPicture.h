#pragma once
// The live picture of a conversion worker, handed to the program that runs it through shared
// memory instead of the record pipe: a 1080p picture is 6 MB, too much to push through a pipe
// many times a second. One slot, owned by turns: the worker fills it only while it is empty,
// the runner empties it when the worker's "picture" record says it is full, so a picture is
// never read while it is written. Pictures made while the slot is full are simply not shown.

#include "media/Bitmap.h"

#include <cstddef>
#include <cstdint>

namespace tovik {

// The segment: a file descriptor of anonymous shared memory (memfd), growing with the
// picture size. Both sides map it; either may be the one that created it.
class TSharedPicture {
public:
    // Creates a new segment; Valid() says whether that worked.
    TSharedPicture();
    // Takes over fd (a segment made by the other side); -1 gives an invalid object.
    explicit TSharedPicture(int fd);
    ~TSharedPicture();
    TSharedPicture(const TSharedPicture&) = delete;
    TSharedPicture& operator=(const TSharedPicture&) = delete;

    bool Valid() const { return fd_ >= 0 && header_ != nullptr; }
    int Fd() const { return fd_; }

    // Worker side: copies bitmap into the slot when it is empty; false when the slot still
    // holds an earlier picture (or the segment cannot grow). Sequence numbers count up from 1.
    bool Publish(const TBitmap& bitmap, int frameNumber, int64_t frameTime);

    // Runner side: copies the slot's picture out and empties it; false when it is empty or
    // holds nothing sensible.
    bool Take(TBitmap& bitmap, int& frameNumber, int64_t& frameTime, uint32_t& sequence);

private:
    struct THeader;
    bool MapAtLeast(size_t bytes);
    void Unmap();

    int fd_ = -1;
    THeader* header_ = nullptr; // the start of the mapping
    size_t mapped_ = 0;
    uint32_t published_ = 0; // worker side: the last sequence number given out
};

} // namespace tovik
