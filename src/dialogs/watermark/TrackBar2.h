#pragma once
// TTrackBar2: a horizontal slider with two thumbs, the time window of a layer. The thumbs
// follow TRangeThumbs' rules. A press on a thumb drags it; a press on the track away from
// the thumbs moves the thumb of that half to the point (with Shift: one step toward it).
// The arrow keys step by 1 and the page keys by 2, the lower thumb, with Shift the upper.

#include "dialogs/watermark/RangeThumbs.h"

#include <QWidget>

namespace tovik {

class TTrackBar2 : public QWidget {
    Q_OBJECT
public:
    explicit TTrackBar2(QWidget* parent = nullptr);

    void SetRange(int minimum, int maximum);
    void SetLower(int value);
    void SetUpper(int value);
    int Minimum() const { return thumbs_.Minimum(); }
    int Maximum() const { return thumbs_.Maximum(); }
    int Lower() const { return thumbs_.Lower(); }
    int Upper() const { return thumbs_.Upper(); }

    // The value under a point of the widget, and a thumb's centre.
    int ValueAt(int x) const;
    int ThumbX(int value) const;

    QSize sizeHint() const override;

signals:
    // Either thumb was set (also when its value stayed).
    void Changed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    enum class TDrag { dgNone, dgLower, dgUpper };

    TRangeThumbs thumbs_;
    TDrag drag_ = TDrag::dgNone;
};

} // namespace tovik
