#include "dialogs/crop/TrackerRules.h"

#include <algorithm>

namespace tovik {

namespace {

bool Contains(const TCropBox& box, int x, int y) {
    return x >= box.Left && x < box.Right() && y >= box.Top && y < box.Bottom();
}

// The edge handle starts at ceil(size / 2) - 3.
int Middle(int size) {
    return (size + 1) / 2 - 3;
}

bool HasLeft(TTrackerZone zone) {
    return zone == TTrackerZone::tzLeft || zone == TTrackerZone::tzTopLeft ||
           zone == TTrackerZone::tzBottomLeft;
}
bool HasRight(TTrackerZone zone) {
    return zone == TTrackerZone::tzRight || zone == TTrackerZone::tzTopRight ||
           zone == TTrackerZone::tzBottomRight;
}
bool HasTop(TTrackerZone zone) {
    return zone == TTrackerZone::tzTop || zone == TTrackerZone::tzTopLeft ||
           zone == TTrackerZone::tzTopRight;
}
bool HasBottom(TTrackerZone zone) {
    return zone == TTrackerZone::tzBottom || zone == TTrackerZone::tzBottomLeft ||
           zone == TTrackerZone::tzBottomRight;
}

// A leading edge (left or top) moved by delta: the far edge stays, the size keeps its
// minimum.
void MoveLeadingEdge(int& position, int& size, int delta) {
    if (size <= kTrackerMinimum && delta > 0)
        return;
    delta = std::min(delta, size - kTrackerMinimum);
    position += delta;
    size -= delta;
}

} // namespace

TCropBox HandleBox(TTrackerZone zone, int width, int height) {
    const int right = width - kHandleSize;
    const int bottom = height - kHandleSize;
    switch (zone) {
    case TTrackerZone::tzTopLeft:
        return {0, 0, kHandleSize, kHandleSize};
    case TTrackerZone::tzBottomRight:
        return {right, bottom, kHandleSize, kHandleSize};
    case TTrackerZone::tzBottomLeft:
        return {0, bottom, kHandleSize, kHandleSize};
    case TTrackerZone::tzTopRight:
        return {right, 0, kHandleSize, kHandleSize};
    case TTrackerZone::tzLeft:
        return {0, Middle(height), kHandleSize, kHandleSize};
    case TTrackerZone::tzRight:
        return {right, Middle(height), kHandleSize, kHandleSize};
    case TTrackerZone::tzTop:
        return {Middle(width), 0, kHandleSize, kHandleSize};
    case TTrackerZone::tzBottom:
        return {Middle(width), bottom, kHandleSize, kHandleSize};
    case TTrackerZone::tzMove:
        return {kDottedInset, kDottedInset, width - 2 * kDottedInset, height - 2 * kDottedInset};
    case TTrackerZone::tzNone:
        break;
    }
    return {};
}

TTrackerZone HitZone(int width, int height, int x, int y) {
    for (TTrackerZone zone :
         {TTrackerZone::tzTopLeft, TTrackerZone::tzBottomRight, TTrackerZone::tzBottomLeft,
          TTrackerZone::tzTopRight, TTrackerZone::tzLeft, TTrackerZone::tzRight,
          TTrackerZone::tzTop, TTrackerZone::tzBottom, TTrackerZone::tzMove})
        if (Contains(HandleBox(zone, width, height), x, y))
            return zone;
    return TTrackerZone::tzNone;
}

TTrackerDrag DragTracker(TTrackerZone zone, const TTrackerDrag& from, int x, int y) {
    TTrackerDrag to = from;
    TCropBox& bounds = to.Bounds;
    const int dx = x - from.PressX;
    const int dy = y - from.PressY;
    if (zone == TTrackerZone::tzMove) {
        bounds.Left += dx;
        bounds.Top += dy;
        return to;
    }
    if (HasLeft(zone))
        MoveLeadingEdge(bounds.Left, bounds.Width, dx);
    if (HasTop(zone))
        MoveLeadingEdge(bounds.Top, bounds.Height, dy);
    if (HasRight(zone)) {
        bounds.Width = std::max(bounds.Width + dx, kTrackerMinimum);
        to.PressX = x;
    }
    if (HasBottom(zone)) {
        bounds.Height = std::max(bounds.Height + dy, kTrackerMinimum);
        to.PressY = y;
    }
    return to;
}

} // namespace tovik
