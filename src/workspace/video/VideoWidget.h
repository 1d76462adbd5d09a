#pragma once
// A player's screen in a window: the widget the preview player (and the trim, crop and
// watermark dialogs' players) show their pictures in. The player hands over finished 24-bit
// pictures, already scaled to the rectangle they fill; the widget wraps the pixels in a
// QImage and paints them as they are, with black around them. A short message line can be
// shown over the black (why nothing plays).

#include "player/PlayerScreen.h"

#include <QString>
#include <QWidget>
#include <atomic>
#include <memory>
#include <mutex>

namespace tovik {

class TVideoWidget : public QWidget, public TPlayerScreen {
    Q_OBJECT
public:
    explicit TVideoWidget(QWidget* parent = nullptr);

    // TPlayerScreen; ShowPicture and Fill come from the player's thread.
    int ScreenWidth() const override { return width_.load(); }
    int ScreenHeight() const override { return height_.load(); }
    uint32_t Handle() const override;
    void ShowPicture(const TScreenPicture& picture) override;
    void Fill(const TScreenRect& area, uint32_t colour) override;

    // Main thread: forgets the picture and shows black (after the player stopped).
    void ClearPicture();
    // Main thread: a line of text over the black; empty to remove it. A new picture keeps it
    // until the message is cleared.
    void SetMessage(const QString& message);
    QString Message() const { return message_; }

    // The picture being shown (null when none) and how many were handed over so far.
    TScreenPicture Picture() const;
    int PictureCount() const { return pictureCount_.load(); }
    // The widget as painted now, for tests and snapshots of the screen.
    QImage Grab();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void RequestRepaint();

    std::atomic<int> width_{0};
    std::atomic<int> height_{0};
    std::atomic<int> pictureCount_{0};
    // Set while a repaint is on its way, so a fast player posts one, not one per picture.
    std::atomic<bool> repaintPending_{false};
    mutable std::mutex pictureMutex_; // guards picture_, pictureArea_ and fillColour_
    TScreenPicture picture_;
    QSize pictureArea_; // the screen size the picture was made for
    uint32_t fillColour_ = 0x000000;
    QString message_; // main thread
};

} // namespace tovik
