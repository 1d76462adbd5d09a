#pragma once
// The main window's preview panel as it stands until the player moves in: a caption and a
// dark screen of 4:3 that grows with the panel's width, with the room below it kept for the
// preview's buttons and bars.

#include <QFrame>

namespace tovik {

class TPreviewPlaceholder : public QFrame {
    Q_OBJECT
public:
    static constexpr int kFirstWidth = 232;

    explicit TPreviewPlaceholder(QWidget* parent = nullptr);
    QWidget* Screen() const { return screen_; }

private:
    QWidget* screen_ = nullptr;
};

} // namespace tovik
