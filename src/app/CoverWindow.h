#pragma once
// The splash window: one picture, shown while the main window is created, closed on the
// first timer tick after the main window has become visible.

#include <QLabel>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace tovik {

class TfrmCover : public QWidget {
    Q_OBJECT
public:
    explicit TfrmCover(QWidget* parent = nullptr);

    // Loads pictureFile when it exists and is a picture; otherwise the built-in picture stays.
    void LoadPicture(const QString& pictureFile);
    // The window whose showing ends the splash.
    void SetMainWindow(QWidget* mainWindow) { mainWindow_ = mainWindow; }
    QSize PictureSize() const;
    // One tick of the timer: closes (hides) the window when the main window is visible.
    void TimerTick();

    // "skin/avimovcover.jpg" in the program's folder.
    static QString CoverPictureFile();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* picture_;
    QTimer* timer_;
    QPointer<QWidget> mainWindow_;
};

} // namespace tovik
