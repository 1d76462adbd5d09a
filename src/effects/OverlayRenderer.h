#pragma once
// Draws a job's effects and overlay layers onto one frame. Text is drawn with Qt's text
// output on the frame's pixels, pictures come from image files (read once per renderer).
// The watermark editor builds its layers' looks with the same routines, so what it shows is
// what the conversion draws.

#include "effects/JobEffects.h"

#include <QImage>
#include <map>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

class QFont;

namespace tovik {

// A picture layer's pixels: 24-bit colour and, for pictures with transparency, one alpha
// byte per pixel (Width x Height, rows packed). No alpha: the picture is opaque.
struct TLayerPicture {
    TBitmap Pixels;
    std::vector<uint8_t> Alpha;

    bool HasAlpha() const { return !Alpha.empty(); }
};

// Reads an image file in any format Qt reads (BMP, PNG, JPEG, ...); a null image when the
// file is missing or not an image.
QImage ReadPictureImage(const std::string& fileName);
// The image at width x height (its own size when either is 0 or less), scaled smoothly.
TLayerPicture MakeLayerPicture(const QImage& image, int width, int height);
// The layer picture as an image with alpha, as the editor shows it.
QImage LayerPictureImage(const TLayerPicture& picture);
// Blends the picture onto frame with its top-left corner at (x, y): per pixel by its own
// alpha times opacity / 255 when it has alpha, by opacity alone otherwise.
void BlendPicture(TBitmap& frame, const TLayerPicture& picture, int x, int y, int opacity);

// Pictures of the picture layers, decoded once (per file and drawn size) and kept for the
// whole conversion of a job.
class TPictureCache {
public:
    // The picture at width x height (the file's own size when either is 0 or less); throws
    // std::runtime_error when the file is missing or not an image.
    const TLayerPicture& Get(const std::string& fileName, int width = 0, int height = 0);
    void Clear();

private:
    std::mutex mutex_; // guards pictures_
    std::map<std::tuple<std::string, int, int>, TLayerPicture> pictures_;
};

// The Qt font of a layer's font description, and the size of a line of text in it (as the
// layer draws it on a frame).
QFont LayerFont(const TFontSpec& spec);
QSize TextExtent(const TFontSpec& spec, const std::string& text);
// A text layer's box as the editor shows it: TextWidth x TextHeight, filled with BackColor
// when BackFilled, transparent otherwise, the text at its natural size from the top-left
// corner. A null image for an empty box.
QImage TextLayerImage(const TWmRec& layer);
// Draws one text layer onto frame (blended at the layer's opacity).
void DrawTextLayer(TBitmap& frame, const TWmRec& layer);

// The per-frame procedure: colour pass, exposure pass, then every layer whose time window
// holds the frame's second. A picture layer is drawn at its placed size (PictureWidth x
// PictureHeight; the file's own size when those are not set). Throws when a picture file
// cannot be read; the caller keeps the frame as it was then.
void RenderJobEffects(TBitmap& frame, const TJobEffects& job, int64_t frameTime,
                      TPictureCache& pictures);

} // namespace tovik
