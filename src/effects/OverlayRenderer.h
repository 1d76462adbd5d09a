#pragma once
// Draws a job's effects and overlay layers onto one frame. Text is drawn with Qt's text
// output on the frame's pixels, pictures come from image files (read once per renderer).

#include "effects/JobEffects.h"

#include <map>
#include <mutex>
#include <string>

namespace tovik {

// Pictures of the picture layers, decoded once and kept for the whole conversion of a job.
class TPictureCache {
public:
    // The picture as a 24-bit bitmap; throws std::runtime_error when the file is missing or
    // not an image.
    const TBitmap& Get(const std::string& fileName);
    void Clear();

private:
    std::mutex mutex_; // guards pictures_
    std::map<std::string, TBitmap> pictures_;
};

// Draws one text layer onto frame (blended at the layer's opacity).
void DrawTextLayer(TBitmap& frame, const TWmRec& layer);

// The per-frame procedure: colour pass, exposure pass, then every layer whose time window
// holds the frame's second. Throws when a picture file cannot be read; the caller keeps the
// frame as it was then.
void RenderJobEffects(TBitmap& frame, const TJobEffects& job, int64_t frameTime,
                      TPictureCache& pictures);

} // namespace tovik
