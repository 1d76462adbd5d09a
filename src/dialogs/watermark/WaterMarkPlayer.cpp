// The watermark dialog's player: opening the source, the hook that makes every picture the
// view's (with the effects and the crop outline drawn in), playing, pausing and seeking,
// and the effect sliders' live preview.

#include "dialogs/common/SeekBar.h"
#include "dialogs/layers/LayeredImageView.h"
#include "dialogs/watermark/TrackBar2.h"
#include "dialogs/watermark/WaterMarkDialog.h"
#include "media/MyUtils.h"
#include "workspace/video/VideoWidget.h"

#include <QCheckBox>
#include <QLabel>
#include <QMetaObject>
#include <QPainter>
#include <QSlider>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabWidget>
#include <QToolButton>
#include <algorithm>

namespace tovik {

namespace {

QImage WrapFrame(TBitmap& frame) {
    return QImage(frame.Bits(), frame.Width(), frame.Height(), frame.BytesPerLine(),
                  QImage::Format_BGR888);
}

} // namespace

TJobEffects TfrmWaterMark::EffectValues() const {
    TJobEffects effects;
    effects.Brightness = trcEffect[0]->value();
    effects.Contrast = trcEffect[1]->value();
    effects.Saturation = trcEffect[2]->value();
    effects.Exposure = trcEffect[3]->value();
    return effects;
}

void TfrmWaterMark::PublishHookInputs() {
    const TJobEffects effects = EffectValues();
    std::lock_guard lock(hookMutex_);
    hookEffects_ = effects;
}

void TfrmWaterMark::MediaPlayerFileOpen(int64_t duration, int frameWidth, int frameHeight,
                                        int& screenWidth, int& screenHeight) {
    screenWidth = imgPreview->width();
    screenHeight = imgPreview->height();
    MediaPlayer_->SetHook(false);
    duration_ = std::max<int64_t>(duration, 0);
    frameWidth_ = frameWidth;
    frameHeight_ = frameHeight;
    lblLength->setText(QStringLiteral("Duration:    ") +
                       QString::fromStdString(MicrosecondsToText(duration_)));
    lblPTS->setText(QStringLiteral("0.0"));
    {
        // An unknown length gives a range of 0 .. 0, and the thumb rule puts the upper at 1.
        const QSignalBlocker quiet(trcRange);
        trcRange->SetRange(0, static_cast<int>(duration_ / 1000000));
        trcRange->SetLower(0);
        trcRange->SetUpper(trcRange->Maximum());
    }
    trcPreview->setMaximum(std::max(trcPreview->width(), 1));
    trcPreview->SetSelection(0, 0);
    trcPreview->ShowPosition(0);
    trcPreview->setEnabled(duration_ > 0);
    trcTextHoriz->setRange(0, frameWidth);
    trcTextVert->setRange(0, frameHeight);
    // Picture coordinates are the frame's from the start, before the first picture comes.
    QImage black(std::max(frameWidth & ~1, 1), std::max(frameHeight & ~1, 1), QImage::Format_RGB32);
    black.fill(Qt::black);
    ImgView->SetPicture(black);
    RestoreLayers();
    MediaPlayer_->SetHook(true);
}

void TfrmWaterMark::MediaPlayerHook(TBitmap& frame, int64_t pts) {
    // The video decoding thread.
    TJobEffects effects;
    int cropLeft = 0, cropTop = 0, cropRight = 0, cropBottom = 0;
    {
        std::lock_guard lock(hookMutex_);
        frameCopy_.Assign(frame);
        frameCopyPts_ = pts;
        effects = hookEffects_;
        cropLeft = cropLeft_;
        cropTop = cropTop_;
        cropRight = cropRight_;
        cropBottom = cropBottom_;
    }
    if (cropLeft || cropTop || cropRight || cropBottom) {
        // Where the crop cuts, in green; it goes through the effects like the picture.
        QImage image = WrapFrame(frame);
        QPainter painter(&image);
        painter.setPen(QPen(QColor(0, 0x80, 0), 2));
        painter.drawRect(QRect(QPoint(cropLeft, cropTop), QPoint(frame.Width() - cropRight - 1,
                                                                 frame.Height() - cropBottom - 1)));
    }
    TPictureCache noPictures;
    RenderJobEffects(frame, effects, pts, noPictures);
    const QImage picture = WrapFrame(frame).copy();
    QMetaObject::invokeMethod(
        this, [this, picture, pts] { PictureArrived(picture, pts); }, Qt::QueuedConnection);
}

void TfrmWaterMark::PictureArrived(const QImage& picture, int64_t pts) {
    if (closing_ || !MediaPlayer_->Hook())
        return;
    ImgView->SetPicture(picture);
    picturePts_ = pts;
    ++pictureCount_;
    UpdateLayerWindows(pts / 1000000);
}

void TfrmWaterMark::EffectChanged() {
    PublishHookInputs();
    if (loadingControls_ || !MediaPlayer_->Paused())
        return;
    // Paused: the sliders work on the last picture. Neutral values show it as it came.
    QImage picture;
    int64_t pts = -1;
    {
        std::lock_guard lock(hookMutex_);
        if (frameCopy_.Empty())
            return;
        TBitmap copy(frameCopy_);
        TPictureCache noPictures;
        RenderJobEffects(copy, hookEffects_, frameCopyPts_, noPictures);
        picture = WrapFrame(copy).copy();
        pts = frameCopyPts_;
    }
    ImgView->SetPicture(picture);
    picturePts_ = pts;
    screens_->setCurrentIndex(0);
}

void TfrmWaterMark::ResetClick() {
    const int neutral[4] = {kNeutralBrightness, kNeutralContrast, kNeutralSaturation,
                            kNeutralExposure};
    for (int i = 0; i < 4; ++i) {
        trcEffect[i]->setValue(neutral[i]);
        spedtEffect[i]->setValue(neutral[i]);
    }
    chkProcessText->setChecked(false);
    chkProcessImage->setChecked(false);
}

void TfrmWaterMark::MediaPlayerPosition(int64_t position) {
    if (!opened_)
        return;
    lblPTS->setText(QStringLiteral("Time:    ") +
                    QString::fromStdString(MicrosecondsToText(std::max<int64_t>(position, 0))));
    // The bar follows the playing, as the main window's does, but not while the mouse holds
    // it.
    if (duration_ > 0 && !trcPreview->Seeking())
        trcPreview->ShowPosition(static_cast<int>(std::clamp<int64_t>(position, 0, duration_) *
                                                  trcPreview->maximum() / duration_));
}

void TfrmWaterMark::MediaPlayerState(TPlayState state) {
    if (state != TPlayState::psEnd || !opened_ || !spdBtnPause->isEnabled())
        return;
    trcPreview->ShowPosition(0);
    MediaPlayer_->Seek(0, 4, false);
    MediaPlayer_->Pause();
    spdBtnPlay->setEnabled(true);
    spdBtnPause->setEnabled(false);
    trcPreview->setEnabled(false);
    std::lock_guard lock(hookMutex_);
    frameCopy_.SetSize(0, 0);
    frameCopyPts_ = -1;
}

void TfrmWaterMark::PlayClick() {
    if (!opened_)
        return;
    MediaPlayer_->Resume();
    spdBtnPlay->setEnabled(false);
    spdBtnPause->setEnabled(true);
    trcPreview->setEnabled(duration_ > 0);
}

void TfrmWaterMark::PauseClick() {
    if (!opened_)
        return;
    MediaPlayer_->Pause();
    spdBtnPause->setEnabled(false);
    spdBtnPlay->setEnabled(true);
}

void TfrmWaterMark::SeekTo(int value) {
    if (!opened_ || duration_ <= 0)
        return;
    const double fraction = static_cast<double>(value) / std::max(trcPreview->maximum(), 1);
    MediaPlayer_->Seek(static_cast<int64_t>(fraction * static_cast<double>(duration_)), 0, false);
}

QImage TfrmWaterMark::PreviewFrame(int64_t* time) const {
    if (time)
        *time = picturePts_;
    if (picturePts_ < 0)
        return QImage();
    return ImgView->Compose();
}

} // namespace tovik
