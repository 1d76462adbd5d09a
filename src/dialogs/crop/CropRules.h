#pragma once
// The crop dialog's geometry, apart from the window: where the picture lies in the preview,
// the crop rectangle over it, the four margins the spin boxes show, and the source pixels
// OK stores. All preview positions are in the preview's own pixels. No Qt.

#include "media/BlackBorders.h"

#include <cstdint>
#include <string>

namespace tovik {

// A rectangle by its left, top and size.
struct TCropBox {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    int Right() const { return Left + Width; } // exclusive
    int Bottom() const { return Top + Height; }
    bool Empty() const { return Width <= 0 || Height <= 0; }
    bool operator==(const TCropBox&) const = default;
};

// Margins in preview pixels, as the spin boxes show them.
struct TCropMargins {
    int Up = 0;
    int Down = 0;
    int Left = 0;
    int Right = 0;
    bool operator==(const TCropMargins&) const = default;
};

// What OK stores in source pixels (even numbers).
struct TSourceCrop {
    int Top = 0;
    int Bottom = 0;
    int Left = 0;
    int Right = 0;
    bool operator==(const TSourceCrop&) const = default;
};

enum class TCropSide { csUp, csDown, csLeft, csRight };

// The crop rectangle's smallest width and height.
inline constexpr int kTrackerMinimum = 10;

// The picture rectangle: the fitted area of a picture of pictureWidth x pictureHeight in a
// preview of previewWidth x previewHeight, shrunk by one pixel on every side. Empty when
// there is no picture, or when it would be smaller than the crop rectangle can be.
TCropBox PictureRectangle(int pictureWidth, int pictureHeight, int previewWidth, int previewHeight);

// The margins between a rectangle and the picture rectangle (negative where it sticks out).
TCropMargins MarginsBetween(const TCropBox& rectangle, const TCropBox& picture);
// The rectangle the margins leave of the picture rectangle.
TCropBox RectangleFor(const TCropMargins& margins, const TCropBox& picture);

// The margins scaled to a source of sourceWidth x sourceHeight and made even: up and down
// times sourceHeight / picture height, left and right times sourceWidth / picture width,
// rounded to nearest (halves to even), the odd unit dropped. All zero when the picture
// rectangle or the source has no size.
TSourceCrop SourceCropOf(const TCropMargins& margins, const TCropBox& picture, int sourceWidth,
                         int sourceHeight);
// Bars in source pixels as preview margins, rounded down so that no picture is cut.
TCropMargins PreviewMarginsOf(const TBorderMargins& bars, const TCropBox& picture, int sourceWidth,
                              int sourceHeight);

// The crop rectangle and the margins as the dialog keeps them: placed from a job, moved by
// the mouse, set by the spin boxes, reset. The rectangle always lies inside the picture
// rectangle and is at least kTrackerMinimum wide and high.
class TCropEditor {
public:
    // A picture rectangle and the job's margins (those that do not fit are cut down).
    void Start(const TCropBox& picture, const TCropMargins& margins);
    // No picture: no rectangle, margins 0.
    void StartWithoutPicture();
    bool HasPicture() const { return !picture_.Empty(); }

    const TCropBox& Picture() const { return picture_; }
    const TCropBox& Rectangle() const { return rectangle_; }
    const TCropMargins& Margins() const { return margins_; }

    // The rectangle was dragged to bounds (moved whole, or resized by a handle). It is kept
    // on the picture: a moved rectangle keeps its size and stops at the picture's edges, a
    // dragged edge stops on the picture's edge while the others stay; the margins follow.
    void Dragged(TCropBox bounds, bool moving);
    // A spin box asks for value; returns the value it shows afterwards (the last accepted
    // one when the step is refused).
    int SpinChanged(TCropSide side, int value);
    // All four margins at once (a detection's proposal); cut down to fit.
    void Propose(const TCropMargins& margins);
    // Margins 0: the rectangle covers the picture.
    void Reset();

    TSourceCrop SourceCrop(int sourceWidth, int sourceHeight) const {
        return SourceCropOf(margins_, picture_, sourceWidth, sourceHeight);
    }

private:
    // Keeps the rectangle inside the picture and at least the minimum size, and takes its
    // margins as the accepted ones.
    void Accept(TCropBox bounds);
    TCropMargins Fitted(TCropMargins margins) const;

    TCropBox picture_;
    TCropBox rectangle_;
    TCropMargins margins_;
};

// The source's name under the preview: the path when shorter than 51 characters, else its
// first 44 characters, "..", its extension and two blanks.
std::string CropSourceName(const std::string& sourceFile);
// The length label: seconds with milliseconds and " Second"; "unknown" without a length.
std::string CropLengthText(int64_t duration);

} // namespace tovik
