#include "player/PlayerScreen.h"

#include <cmath>

namespace tovik {

void TPlayerScreen::ReportResize(int width, int height) {
    std::lock_guard lock(listenerMutex_);
    if (listener_)
        listener_->ScreenResized(width, height);
}

void TPlayerScreen::ReportExpose() {
    std::lock_guard lock(listenerMutex_);
    if (listener_)
        listener_->ScreenExposed();
}

void TPlayerScreen::SetListener(TScreenListener* listener) {
    std::lock_guard lock(listenerMutex_);
    listener_ = listener;
}

TScreenRect DisplayRectangle(int outputWidth, int outputHeight, int pictureWidth, int pictureHeight,
                             double sampleAspect, double aspectRatio) {
    TScreenRect rect;
    if (outputWidth <= 0 || outputHeight <= 0 || pictureWidth <= 0 || pictureHeight <= 0)
        return rect;
    double aspect;
    if (aspectRatio < 0)
        aspect = static_cast<double>(outputWidth) / outputHeight;
    else if (aspectRatio > 0)
        aspect = aspectRatio;
    else
        aspect = (sampleAspect > 0 ? sampleAspect : 1.0) * pictureWidth / pictureHeight;
    // Sizes are kept even, as the 4:2:0 pictures they show.
    int height = outputHeight;
    int width = static_cast<int>(std::lrint(height * aspect)) & ~1;
    if (width > outputWidth) {
        width = outputWidth;
        height = static_cast<int>(std::lrint(width / aspect)) & ~1;
    }
    rect.Width = width;
    rect.Height = height;
    rect.Left = (outputWidth - width) / 2;
    rect.Top = (outputHeight - height) / 2;
    return rect;
}

} // namespace tovik
