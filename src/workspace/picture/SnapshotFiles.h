#pragma once
// Saving a snapshot: the full picture and the small (preview-size) picture, each as a 24-bit
// bitmap file and as a JPEG file, as the settings ask.

#include "media/Bitmap.h"

#include <functional>
#include <string>

namespace tovik {

struct TSnapshotContext {
    std::string SettingsFile;
    // Shows a warning (caption "Warning", OK button).
    std::function<void(const std::string& message)> ShowWarning;
};

// Writes "Snapshot_full.bmp", "Snapshot_small.bmp", "Snapshot_full.jpg" and
// "Snapshot_small.jpg" (those switched on) into the snapshot directory and returns the
// directory used, with a trailing separator. Throws std::runtime_error when a file cannot be
// written; the files written before it stay.
std::string SaveSnapshot(const TBitmap& full, const TBitmap& small,
                         const TSnapshotContext& context);

// A 24-bit bottom-up device-independent bitmap file of the picture.
void WriteBitmapFile(const TBitmap& picture, const std::string& fileName);
void WriteJpegFile(const TBitmap& picture, const std::string& fileName, int quality);

} // namespace tovik
