#pragma once
// The crop rectangle (TRectTracker): a frameless widget over the picture with a dotted
// rectangle 2 pixels inside its bounds and eight 5 x 5 handles. Pressing a handle and
// dragging resizes it, pressing inside the dotted rectangle and dragging moves it (the rules
// are in TrackerRules); each zone shows its cursor. Its parent repaints what lies under it.

#include "dialogs/crop/TrackerRules.h"

#include <QRect>
#include <QWidget>

namespace tovik {

class TCustomRectTracker : public QWidget {
    Q_OBJECT
public:
    static constexpr int kInitialSize = 65;

    explicit TCustomRectTracker(QWidget* parent = nullptr);

    // The zone under the last press (tzNone while nothing is dragged).
    TTrackerZone DragZone() const { return dragZone_; }
    TCropBox Bounds() const;
    void SetBounds(const TCropBox& bounds);

signals:
    // The left button went down on the rectangle.
    void MousePressed();
    // The pointer moved to (x, y) (the rectangle's coordinates) while dragging, after the
    // drag changed the bounds.
    void MouseMoved(int x, int y);
    // The drag ended with other bounds; the inner (dotted) rectangle.
    void Changed(const QRect& inner);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void ShowCursor(TTrackerZone zone);

    TTrackerZone dragZone_ = TTrackerZone::tzNone;
    TTrackerDrag drag_;
    TCropBox pressBounds_;
};

class TRectTracker : public TCustomRectTracker {
    Q_OBJECT
public:
    using TCustomRectTracker::TCustomRectTracker;
};

} // namespace tovik
