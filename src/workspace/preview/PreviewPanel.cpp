#include "workspace/preview/PreviewPanel.h"

#include "media/FFmpegLoader.h"
#include "media/MyUtils.h"
#include "media/TextFormat.h"
#include "settings/IniFile.h"
#include "settings/SettingsKeys.h"
#include "workspace/picture/SnapshotFiles.h"
#include "workspace/preview/PreviewIcons.h"
#include "workspace/video/VideoWidget.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace tovik {

namespace {

constexpr const char* kZeroTime = "00:00:00";

// A picture whose height follows its width (4:3), so a wider panel shows a larger picture.
class TPanelScreen : public TVideoWidget {
public:
    using TVideoWidget::TVideoWidget;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override { return width * 3 / 4; }
    QSize sizeHint() const override { return {220, heightForWidth(220)}; }
    QSize minimumSizeHint() const override { return {160, 120}; }
};

// The frame stretched over width x height pixels (no aspect fitting), as the small snapshot.
TBitmap Stretched(const TBitmap& frame, int width, int height) {
    TBitmap small(std::max(width, 1), std::max(height, 1));
    const QImage source(frame.Bits(), frame.Width(), frame.Height(), frame.BytesPerLine(),
                        QImage::Format_BGR888);
    const QImage scaled = source.scaled(small.Width(), small.Height(), Qt::IgnoreAspectRatio,
                                        Qt::SmoothTransformation);
    const size_t rowBytes = static_cast<size_t>(small.Width()) * 3;
    for (int y = 0; y < small.Height(); ++y)
        std::memcpy(small.ScanLine(y), scaled.constScanLine(y), rowBytes);
    return small;
}

} // namespace

TPreviewPanel::TPreviewPanel(const TJobList& jobs, TPreviewHost host, QWidget* parent)
    : QFrame(parent), jobs_(jobs), host_(std::move(host)),
      MediaPlayer_(std::make_unique<TMediaPlayer>()) {
    setObjectName(QStringLiteral("pnlPreview"));
    setMinimumWidth(kFirstWidth);
    setFrameShape(QFrame::StyledPanel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(4);
    auto* caption = new QLabel(QStringLiteral("Preview"), this);
    caption->setObjectName(QStringLiteral("PanelCaption"));
    pan1 = new TPanelScreen(this);
    pan1->setObjectName(QStringLiteral("pan1"));
    QSizePolicy policy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    pan1->setSizePolicy(policy);
    layout->addWidget(caption);
    layout->addWidget(pan1);
    layout->addWidget(CreateControls());
    layout->addStretch(1);

    MediaPlayer_->OnFileOpen = [this](TObject*, int64_t duration, int frameWidth, int frameHeight,
                                      int& screenWidth, int& screenHeight) {
        MediaPlayerFileOpen(duration, frameWidth, frameHeight, screenWidth, screenHeight);
    };
    MediaPlayer_->OnPosition = [this](TObject*, int64_t position) {
        MediaPlayerPosition(position);
    };
    MediaPlayer_->OnState = [this](TObject*, TPlayState state) { MediaPlayerState(state); };
    SetButtons(TPreviewState::psIdle);
}

TPreviewPanel::~TPreviewPanel() {
    // The player stops and clears its handlers while the controls still stand.
    MediaPlayer_.reset();
}

QWidget* TPreviewPanel::CreateControls() {
    auto* box = new QWidget(this);
    auto* rows = new QVBoxLayout(box);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(2);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(1);
    imgbtnPlay = SpeedButton(box, QStringLiteral("imgbtnPlay"), QStringLiteral("play"),
                             PreviewIcon(TPreviewGlyph::pgPlay));
    imgbtnPAuse = SpeedButton(box, QStringLiteral("imgbtnPAuse"), QStringLiteral("pause"),
                              PreviewIcon(TPreviewGlyph::pgPause));
    imgbtnStop = SpeedButton(box, QStringLiteral("imgbtnStop"), QStringLiteral("stop"),
                             PreviewIcon(TPreviewGlyph::pgStop));
    imgbtnSnap = SpeedButton(box, QStringLiteral("imgbtnSnap"), QStringLiteral("capture image"),
                             PreviewIcon(TPreviewGlyph::pgCapture));
    trcPreview = new QSlider(Qt::Horizontal, box);
    trcPreview->setObjectName(QStringLiteral("trcPreview"));
    trcPreview->setTickInterval(1);
    trcPreview->setEnabled(false);
    trcPreview->installEventFilter(this);
    for (QToolButton* button : {imgbtnPlay, imgbtnPAuse, imgbtnStop, imgbtnSnap})
        buttons->addWidget(button);
    buttons->addWidget(trcPreview, 1);
    rows->addLayout(buttons);

    auto* times = new QHBoxLayout;
    lblTime = new QLabel(QString::fromLatin1(kZeroTime), box);
    lblTime->setObjectName(QStringLiteral("lblTime"));
    lblPTS = new QLabel(QString::fromLatin1(kZeroTime), box);
    lblPTS->setObjectName(QStringLiteral("lblPTS"));
    times->addWidget(lblTime);
    times->addStretch(1);
    times->addWidget(new QLabel(QStringLiteral("/"), box));
    times->addWidget(lblPTS);
    rows->addLayout(times);

    auto* sound = new QHBoxLayout;
    sound->addWidget(new QLabel(QStringLiteral("Volume"), box));
    trcVolume = new QSlider(Qt::Horizontal, box);
    trcVolume->setObjectName(QStringLiteral("trcVolume"));
    trcVolume->setRange(0, kMaxAudioVolume);
    trcVolume->installEventFilter(this);
    chkMute = new QCheckBox(QStringLiteral("Mute"), box);
    chkMute->setObjectName(QStringLiteral("chkMute"));
    sound->addWidget(trcVolume, 1);
    sound->addWidget(chkMute);
    rows->addLayout(sound);

    connect(imgbtnPlay, &QToolButton::clicked, this, &TPreviewPanel::Play);
    connect(imgbtnPAuse, &QToolButton::clicked, this, &TPreviewPanel::Pause);
    connect(imgbtnStop, &QToolButton::clicked, this, &TPreviewPanel::Stop);
    connect(imgbtnSnap, &QToolButton::clicked, this, &TPreviewPanel::Capture);
    connect(trcVolume, &QSlider::valueChanged, this,
            [this](int value) { MediaPlayer_->SetAudioVolume(value); });
    connect(chkMute, &QCheckBox::clicked, this, &TPreviewPanel::MuteClick);
    return box;
}

void TPreviewPanel::SetButtons(TPreviewState state) {
    state_ = state;
    imgbtnPlay->setEnabled(state != TPreviewState::psPlaying);
    imgbtnPAuse->setEnabled(state == TPreviewState::psPlaying);
    imgbtnStop->setEnabled(state != TPreviewState::psIdle);
    imgbtnSnap->setEnabled(state != TPreviewState::psIdle);
}

void TPreviewPanel::ResetLabels() {
    lblPTS->setText(QString::fromLatin1(kZeroTime));
    lblTime->setText(QString::fromLatin1(kZeroTime));
}

void TPreviewPanel::ReadSettings() {
    const std::string file = host_.SettingsFile ? host_.SettingsFile() : std::string();
    if (file.empty())
        return;
    const TIniFile settings(file);
    int volume = settings.ReadInteger(kSettingsSection, kVolumeKey, kFallbackVolume);
    if (volume < 0 || volume > kMaxAudioVolume)
        volume = kFallbackVolume;
    trcVolume->setValue(volume);
    MediaPlayer_->SetAudioVolume(volume);
    const int mute = settings.ReadInteger(kSettingsSection, kMuteKey, 0);
    if (mute == 1 || mute == 0)
        chkMute->setChecked(mute == 1);
    MediaPlayer_->SetMute(chkMute->isChecked());
}

void TPreviewPanel::StoreVolume() {
    const std::string file = host_.SettingsFile ? host_.SettingsFile() : std::string();
    if (!file.empty())
        TIniFile(file).WriteInteger(kSettingsSection, kVolumeKey, trcVolume->value());
}

void TPreviewPanel::MuteClick() {
    MediaPlayer_->SetMute(chkMute->isChecked());
    const std::string file = host_.SettingsFile ? host_.SettingsFile() : std::string();
    if (!file.empty())
        TIniFile(file).WriteInteger(kSettingsSection, kMuteKey, chkMute->isChecked() ? 1 : 0);
}

bool TPreviewPanel::LoadLibraries() {
    if (MediaPlayer_->AVLibLoaded())
        return true;
    std::string error;
    const bool loaded = host_.LoadLibraries ? host_.LoadLibraries(error)
                                            : MediaPlayer_->LoadAVLib(DefaultLibraryFolder());
    if (!loaded && host_.Log)
        host_.Log(QString::fromStdString(error.empty() ? MediaPlayer_->LastErrMsg() : error));
    return loaded;
}

void TPreviewPanel::Play() {
    if (paused_) {
        paused_ = false;
        stopped_ = false;
        SetButtons(TPreviewState::psPlaying);
        MediaPlayer_->Resume();
        return;
    }
    if (!LoadLibraries())
        return;
    if (jobs_.Empty()) {
        playWhenAdded_ = true;
        if (host_.AddFiles)
            host_.AddFiles();
        return;
    }
    int row = host_.SelectedRow ? host_.SelectedRow() : -1;
    if (!jobs_.Valid(row)) {
        row = 0;
        if (host_.SelectRow)
            host_.SelectRow(row);
    }
    pan1->SetMessage(QString());
    // The source comes from the job, never from what a list cell shows.
    if (!MediaPlayer_->Open(jobs_.Job(row).SourceFile, pan1, false)) {
        OpenFailed(MediaPlayer_->LastErrMsg());
        return;
    }
    stopped_ = false;
    paused_ = false;
    trcPreview->setEnabled(duration_ > 0);
    SetButtons(TPreviewState::psPlaying);
}

void TPreviewPanel::OpenFailed(const std::string& reason) {
    // A file that does not open leaves nothing playing: the panel says why and is idle.
    const QString text = QString::fromStdString(reason.empty() ? "Cannot play this file" : reason);
    if (host_.Log)
        host_.Log(text);
    stopped_ = true;
    paused_ = false;
    duration_ = 0;
    trcPreview->setValue(0);
    trcPreview->setEnabled(false);
    ResetLabels();
    SetButtons(TPreviewState::psIdle);
    pan1->ClearPicture();
    pan1->SetMessage(text);
}

void TPreviewPanel::Stop() {
    // After the end of a file the panel is idle but the player still holds it, paused at
    // its start: that is closed too.
    if (stopped_ && !MediaPlayer_->Playing())
        return;
    MediaPlayer_->Stop(true);
    trcPreview->setValue(0);
    trcPreview->setEnabled(false);
    stopped_ = true;
    paused_ = false;
    SetButtons(TPreviewState::psIdle);
    ResetLabels();
    pan1->ClearPicture();
}

void TPreviewPanel::Pause() {
    if (paused_)
        return;
    MediaPlayer_->Pause();
    paused_ = true;
    stopped_ = false;
    SetButtons(TPreviewState::psPaused);
}

void TPreviewPanel::FilesAdded() {
    // An add that brought no row (cancelled, nothing readable) keeps the wish for the next.
    if (!playWhenAdded_ || jobs_.Empty())
        return;
    playWhenAdded_ = false;
    Play();
}

void TPreviewPanel::Capture() {
    const TBitmap& frame = MediaPlayer_->CurrentFrame();
    if (frame.Width() <= 0 || frame.Height() <= 0)
        return;
    const std::string file = host_.SettingsFile ? host_.SettingsFile() : std::string();
    if (file.empty())
        return;
    const TBitmap full(frame);
    const TBitmap small = Stretched(full, pan1->width(), pan1->height());
    TSnapshotContext context;
    context.SettingsFile = file;
    context.ShowWarning = host_.ShowWarning;
    try {
        const std::string directory = SaveSnapshot(full, small, context);
        if (host_.OpenFolder)
            host_.OpenFolder(directory);
    } catch (...) {
        // The files written before the failing one stay.
        if (host_.ReportError)
            host_.ReportError(std::current_exception());
    }
}

void TPreviewPanel::PositionBarReleased() {
    if (stopped_ || trcPreview->maximum() <= 0)
        return;
    const double fraction = static_cast<double>(trcPreview->value()) / trcPreview->maximum();
    MediaPlayer_->Seek(static_cast<int64_t>(fraction * static_cast<double>(duration_)), 0, false);
}

bool TPreviewPanel::eventFilter(QObject* watched, QEvent* event) {
    const bool release = event->type() == QEvent::MouseButtonRelease &&
                         static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
    if (watched == trcPreview && event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        positionBarHeld_ = true;
        // A press beside the handle puts the handle there, ready for the release to seek.
        QStyleOptionSlider option;
        option.initFrom(trcPreview);
        option.orientation = Qt::Horizontal;
        option.minimum = trcPreview->minimum();
        option.maximum = trcPreview->maximum();
        option.sliderPosition = trcPreview->value();
        const QRect handle = trcPreview->style()->subControlRect(
            QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, trcPreview);
        const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
        if (!handle.contains(at)) {
            trcPreview->setValue(QStyle::sliderValueFromPosition(
                trcPreview->minimum(), trcPreview->maximum(), at.x() - handle.width() / 2,
                trcPreview->width() - handle.width()));
            return true;
        }
    }
    if (release && watched == trcPreview) {
        positionBarHeld_ = false;
        PositionBarReleased();
    }
    if (release && watched == trcVolume)
        StoreVolume();
    return QFrame::eventFilter(watched, event);
}

void TPreviewPanel::MediaPlayerFileOpen(int64_t duration, int frameWidth, int frameHeight,
                                        int& screenWidth, int& screenHeight) {
    if (host_.Log) {
        host_.Log(QString::fromStdString(MediaPlayer_->Probe().FileInfoText()));
        host_.Log(QString::fromStdString(FormatText("duration: %f, frame size: %dx%d",
                                                    static_cast<double>(duration) / 1000000.0,
                                                    frameWidth, frameHeight)));
    }
    // The picture fills the panel.
    screenWidth = pan1->width();
    screenHeight = pan1->height();
    duration_ = duration;
    lblPTS->setText(QString::fromStdString(
        SecondsToText(static_cast<int32_t>(std::llround(static_cast<double>(duration) / 1e6)))));
    trcPreview->setMaximum(std::max(trcPreview->width(), 1));
    trcPreview->setValue(0);
    // Nothing to seek in without a duration.
    trcPreview->setEnabled(duration > 0);
}

void TPreviewPanel::MediaPlayerPosition(int64_t position) {
    // Idle (after the end or a stop) the labels read zero, whatever the player still says.
    if (stopped_)
        return;
    lblTime->setText(QString::fromStdString(MicrosecondsToText(position)));
    // The bar follows the playback, except while the user holds it to choose a place.
    if (!paused_ && !positionBarHeld_ && duration_ > 0) {
        const double fraction =
            std::clamp(static_cast<double>(position) / static_cast<double>(duration_), 0.0, 1.0);
        trcPreview->setValue(static_cast<int>(std::lround(fraction * trcPreview->maximum())));
    }
}

void TPreviewPanel::MediaPlayerState(TPlayState state) {
    if (state != TPlayState::psEnd)
        return;
    trcPreview->setValue(0);
    // The player keeps the file, paused on its first picture. Paused first: a seek made while
    // paused shows the picture it lands on, one made while playing leaves it queued.
    MediaPlayer_->Pause();
    MediaPlayer_->Seek(0, 4, false);
    paused_ = false;
    stopped_ = true;
    SetButtons(TPreviewState::psIdle);
    trcPreview->setEnabled(false);
    ResetLabels();
}

} // namespace tovik
