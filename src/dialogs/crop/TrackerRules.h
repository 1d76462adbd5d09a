#pragma once
// The crop rectangle's handles and drags, apart from the widget: which zone a point hits,
// and how a drag of a zone changes the bounds. Positions are in the rectangle's own
// coordinates, bounds in its parent's. No Qt.

#include "dialogs/crop/CropRules.h"

namespace tovik {

// Tested in this order; tzNone outside every zone.
enum class TTrackerZone {
    tzNone,
    tzTopLeft,
    tzBottomRight,
    tzBottomLeft,
    tzTopRight,
    tzLeft,
    tzRight,
    tzTop,
    tzBottom,
    tzMove
};

// Handles are 5 x 5: at the corners and centred on the edges.
inline constexpr int kHandleSize = 5;
// The dotted rectangle lies this far inside the bounds.
inline constexpr int kDottedInset = 2;

// Where a handle of the rectangle of width x height lies (the corners' and the edges').
TCropBox HandleBox(TTrackerZone zone, int width, int height);
TTrackerZone HitZone(int width, int height, int x, int y);

struct TTrackerDrag {
    TCropBox Bounds;
    // The point further moves are measured from (the rectangle's coordinates).
    int PressX = 0;
    int PressY = 0;
};

// One pointer move to (x, y) while zone is dragged from the press point: a left or top edge
// moves with the pointer (the size changing the other way, never below the minimum); a
// right or bottom edge changes the size and the pointer becomes the press point; corners
// do both of their edges; moving shifts the whole rectangle.
TTrackerDrag DragTracker(TTrackerZone zone, const TTrackerDrag& from, int x, int y);

} // namespace tovik
