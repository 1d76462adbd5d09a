#pragma once
// The geometry of the layered image view, without Qt: where the picture goes in the view
// (fitted and centred), converting points between the view and the picture, the checkered
// background, and what dragging the selection frame's handles does to a layer's rectangle.

namespace tovik::layers {

struct TPointF {
    double X = 0;
    double Y = 0;
};

// A rectangle by its edges, in picture pixels (floating point: layers scale with the view).
struct TRectF {
    double Left = 0;
    double Top = 0;
    double Right = 0;
    double Bottom = 0;

    double Width() const { return Right - Left; }
    double Height() const { return Bottom - Top; }
    bool Contains(TPointF point) const {
        return point.X >= Left && point.X < Right && point.Y >= Top && point.Y < Bottom;
    }
    bool operator==(const TRectF&) const = default;
};

// The picture scaled to fit the view and centred in it: view = offset + picture * scale.
struct TFit {
    double Scale = 1;
    double OffsetX = 0;
    double OffsetY = 0;

    TPointF ToPicture(TPointF view) const {
        return {(view.X - OffsetX) / Scale, (view.Y - OffsetY) / Scale};
    }
    TPointF ToView(TPointF picture) const {
        return {OffsetX + picture.X * Scale, OffsetY + picture.Y * Scale};
    }
    TRectF ToView(const TRectF& picture) const;
};

// Fits a picture of pictureWidth x pictureHeight into a view of viewWidth x viewHeight,
// larger or smaller, keeping its shape. An empty picture or view gives scale 1 at (0, 0).
TFit FitPicture(int viewWidth, int viewHeight, int pictureWidth, int pictureHeight);

// The checkered background: squares of kCheckerSize pixels; a square whose column and row
// have the same parity is grey, the others white (ARGB colours).
inline constexpr int kCheckerSize = 13;
inline constexpr unsigned kCheckerWhite = 0xFFFFFFFFu;
inline constexpr unsigned kCheckerGrey = 0xFFB0B0B0u;
inline unsigned CheckerColor(int viewX, int viewY) {
    const int column = viewX / kCheckerSize;
    const int row = viewY / kCheckerSize;
    return (column % 2) == (row % 2) ? kCheckerGrey : kCheckerWhite;
}

// The part of the selection frame a point is on.
enum class THandle {
    hNone,
    hInside, // moves the layer
    hLeft,
    hTop,
    hRight,
    hBottom,
    hTopLeft,
    hTopRight,
    hBottomLeft,
    hBottomRight
};

inline constexpr double kHandleSize = 9;

// Which handle of a frame drawn around viewRect (view pixels) is at point: the eight
// handles are squares of kHandleSize centred on the corners and the edges' middles.
THandle HitHandle(const TRectF& viewRect, TPointF point, double handleSize = kHandleSize);

// The rectangle after dragging handle by (dx, dy) picture pixels from start. hInside moves
// it; an edge or corner moves those edges, keeping the rectangle at least minSize wide and
// high. With keepCentre (Ctrl held) the centre stays: the new half width and height are the
// dragged edge's distance from the old centre, each at least 2.
TRectF DragRect(const TRectF& start, THandle handle, double dx, double dy, bool keepCentre,
                double minSize = 1);

} // namespace tovik::layers
