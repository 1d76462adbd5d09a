#pragma once
// The editing dialogs' seek bar: a horizontal slider whose maximum is its width in pixels.
// A press beside the handle puts the handle there; the release asks for the seek, so a drag
// seeks once, where it ends. It can show a selection (the trimmed part) as a band under the
// groove.

#include <QSlider>

namespace tovik {

class TSeekBar : public QSlider {
    Q_OBJECT
public:
    explicit TSeekBar(QWidget* parent = nullptr);

    // True from a press of the left button until its release: position reports from the
    // player must not move the handle meanwhile.
    bool Seeking() const { return seeking_; }
    // The selection in bar values; an empty one (first >= last) is not drawn.
    void SetSelection(int first, int last);
    int SelectionStart() const { return selectionStart_; }
    int SelectionEnd() const { return selectionEnd_; }
    // Sets the handle without asking for a seek.
    void ShowPosition(int value);

signals:
    // The left button was released over the bar at value.
    void SeekRequested(int value);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    int ValueAt(int x) const;

    bool seeking_ = false;
    int selectionStart_ = 0;
    int selectionEnd_ = 0;
};

} // namespace tovik
