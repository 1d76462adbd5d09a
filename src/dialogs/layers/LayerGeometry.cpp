#include "dialogs/layers/LayerGeometry.h"

#include <algorithm>
#include <cmath>

namespace tovik::layers {

TRectF TFit::ToView(const TRectF& picture) const {
    const TPointF topLeft = ToView(TPointF{picture.Left, picture.Top});
    const TPointF bottomRight = ToView(TPointF{picture.Right, picture.Bottom});
    return {topLeft.X, topLeft.Y, bottomRight.X, bottomRight.Y};
}

TFit FitPicture(int viewWidth, int viewHeight, int pictureWidth, int pictureHeight) {
    TFit fit;
    if (viewWidth <= 0 || viewHeight <= 0 || pictureWidth <= 0 || pictureHeight <= 0)
        return fit;
    fit.Scale = std::min(static_cast<double>(viewWidth) / pictureWidth,
                         static_cast<double>(viewHeight) / pictureHeight);
    fit.OffsetX = (viewWidth - pictureWidth * fit.Scale) / 2;
    fit.OffsetY = (viewHeight - pictureHeight * fit.Scale) / 2;
    return fit;
}

namespace {

bool Near(double a, double b, double half) {
    return std::fabs(a - b) <= half;
}

bool HasLeft(THandle h) {
    return h == THandle::hLeft || h == THandle::hTopLeft || h == THandle::hBottomLeft;
}
bool HasRight(THandle h) {
    return h == THandle::hRight || h == THandle::hTopRight || h == THandle::hBottomRight;
}
bool HasTop(THandle h) {
    return h == THandle::hTop || h == THandle::hTopLeft || h == THandle::hTopRight;
}
bool HasBottom(THandle h) {
    return h == THandle::hBottom || h == THandle::hBottomLeft || h == THandle::hBottomRight;
}

} // namespace

THandle HitHandle(const TRectF& r, TPointF p, double handleSize) {
    const double half = handleSize / 2;
    const double midX = (r.Left + r.Right) / 2;
    const double midY = (r.Top + r.Bottom) / 2;
    const bool left = Near(p.X, r.Left, half);
    const bool right = Near(p.X, r.Right, half);
    const bool top = Near(p.Y, r.Top, half);
    const bool bottom = Near(p.Y, r.Bottom, half);
    if (top && left)
        return THandle::hTopLeft;
    if (top && right)
        return THandle::hTopRight;
    if (bottom && left)
        return THandle::hBottomLeft;
    if (bottom && right)
        return THandle::hBottomRight;
    if (left && Near(p.Y, midY, half))
        return THandle::hLeft;
    if (right && Near(p.Y, midY, half))
        return THandle::hRight;
    if (top && Near(p.X, midX, half))
        return THandle::hTop;
    if (bottom && Near(p.X, midX, half))
        return THandle::hBottom;
    if (r.Contains(p))
        return THandle::hInside;
    return THandle::hNone;
}

TRectF DragRect(const TRectF& start, THandle handle, double dx, double dy, bool keepCentre,
                double minSize) {
    TRectF r = start;
    if (handle == THandle::hNone)
        return r;
    if (handle == THandle::hInside) {
        r.Left += dx;
        r.Right += dx;
        r.Top += dy;
        r.Bottom += dy;
        return r;
    }
    if (keepCentre) {
        const double cx = (start.Left + start.Right) / 2;
        const double cy = (start.Top + start.Bottom) / 2;
        double halfWidth = start.Width() / 2;
        double halfHeight = start.Height() / 2;
        if (HasLeft(handle))
            halfWidth = std::max(cx - (start.Left + dx), 2.0);
        else if (HasRight(handle))
            halfWidth = std::max(start.Right + dx - cx, 2.0);
        if (HasTop(handle))
            halfHeight = std::max(cy - (start.Top + dy), 2.0);
        else if (HasBottom(handle))
            halfHeight = std::max(start.Bottom + dy - cy, 2.0);
        return {cx - halfWidth, cy - halfHeight, cx + halfWidth, cy + halfHeight};
    }
    if (HasLeft(handle))
        r.Left = std::min(start.Left + dx, start.Right - minSize);
    if (HasRight(handle))
        r.Right = std::max(start.Right + dx, start.Left + minSize);
    if (HasTop(handle))
        r.Top = std::min(start.Top + dy, start.Bottom - minSize);
    if (HasBottom(handle))
        r.Bottom = std::max(start.Bottom + dy, start.Top + minSize);
    return r;
}

} // namespace tovik::layers
