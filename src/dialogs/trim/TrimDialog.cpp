#include "dialogs/trim/TrimDialog.h"

#include "dialogs/common/SeekBar.h"
#include "media/FFmpegLoader.h"
#include "media/MyUtils.h"
#include "workspace/preview/PreviewIcons.h"
#include "workspace/video/VideoWidget.h"

#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <limits>

namespace tovik {

namespace {

// Position reports older than this after a seek may still show the time before it.
constexpr qint64 kSeekSettleMs = 300;

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

QString TimeText(int64_t microseconds) {
    return Text(MicrosecondsToText(std::max<int64_t>(microseconds, 0)));
}

// A player button that never takes the focus: the arrow keys step pictures.
QToolButton* SmallButton(QWidget* parent, const QString& name, const QString& hint,
                         const QIcon& icon) {
    QToolButton* button = SpeedButton(parent, name, hint, icon);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

QLineEdit* MarkBox(QWidget* parent, const QString& name, const QString& hint) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setReadOnly(true);
    box->setToolTip(hint);
    box->setFixedWidth(110);
    box->setAlignment(Qt::AlignCenter);
    // The arrow keys step pictures; a box with the focus would take them.
    box->setFocusPolicy(Qt::NoFocus);
    return box;
}

} // namespace

TfrmTrim::TfrmTrim(TJobList& jobs, TLibraryLoader loadLibraries, QWidget* parent)
    : QDialog(parent), jobs_(jobs), loadLibraries_(std::move(loadLibraries)),
      MediaPlayer_(std::make_unique<TMediaPlayer>()) {
    setObjectName(QStringLiteral("frmTrim"));
    setWindowTitle(QStringLiteral("Trim"));
    CreateControls();
    CreateShortcuts();
    MediaPlayer_->OnFileOpen = [this](TObject*, int64_t duration, int, int, int& screenWidth,
                                      int& screenHeight) {
        MediaPlayerFileOpen(duration, screenWidth, screenHeight);
    };
    MediaPlayer_->OnPosition = [this](TObject*, int64_t position) {
        MediaPlayerPosition(position);
    };
    MediaPlayer_->OnState = [this](TObject*, TPlayState state) { MediaPlayerState(state); };
}

TfrmTrim::~TfrmTrim() {
    // The player stops and clears its handlers while the controls still stand.
    MediaPlayer_.reset();
}

void TfrmTrim::CreateControls() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(17, 12, 17, 12);
    layout->setSpacing(8);

    imgPreview = new TVideoWidget(this);
    imgPreview->setObjectName(QStringLiteral("imgPreview"));
    imgPreview->setFixedSize(564, 275);
    layout->addWidget(imgPreview, 0, Qt::AlignHCenter);

    auto* bar = new QHBoxLayout;
    bar->setSpacing(1);
    imgbtnPlay = SmallButton(this, QStringLiteral("imgbtnPlay"), QStringLiteral("play"),
                             PreviewIcon(TPreviewGlyph::pgPlay));
    imgbtnpause = SmallButton(this, QStringLiteral("imgbtnpause"), QStringLiteral("pause"),
                              PreviewIcon(TPreviewGlyph::pgPause));
    btnPrevFrame =
        SmallButton(this, QStringLiteral("btnPrevFrame"),
                    QStringLiteral("previous picture (Left; Shift+Left: one second back)"),
                    style()->standardIcon(QStyle::SP_MediaSeekBackward));
    btnNextFrame = SmallButton(this, QStringLiteral("btnNextFrame"),
                               QStringLiteral("next picture (Right; Shift+Right: one second on)"),
                               style()->standardIcon(QStyle::SP_MediaSeekForward));
    trcPreview = new TSeekBar(this);
    trcPreview->setObjectName(QStringLiteral("trcPreview"));
    for (QToolButton* button : {imgbtnPlay, imgbtnpause, btnPrevFrame, btnNextFrame})
        bar->addWidget(button);
    bar->addSpacing(4);
    bar->addWidget(trcPreview, 1);
    layout->addLayout(bar);

    auto* times = new QHBoxLayout;
    lblPTS = new QLabel(this);
    lblPTS->setObjectName(QStringLiteral("lblPTS"));
    lblLength = new QLabel(this);
    lblLength->setObjectName(QStringLiteral("lblLength"));
    times->addWidget(lblPTS);
    times->addStretch(1);
    times->addWidget(lblLength);
    layout->addLayout(times);

    auto* marks = new QHBoxLayout;
    edtStart = MarkBox(this, QStringLiteral("edtStart"), QStringLiteral("where the part starts"));
    btnSetStart = new QPushButton(QStringLiteral("<- &Set Start"), this);
    btnSetStart->setObjectName(QStringLiteral("btnSetStart"));
    btnSetStart->setToolTip(QStringLiteral("the picture shown starts the part (I)"));
    btnSetEnd = new QPushButton(QStringLiteral("Set &End ->"), this);
    btnSetEnd->setObjectName(QStringLiteral("btnSetEnd"));
    btnSetEnd->setToolTip(QStringLiteral("the part ends before the picture shown (O)"));
    edtTrimLength =
        MarkBox(this, QStringLiteral("edtTrimLength"), QStringLiteral("where the part ends"));
    marks->addWidget(edtStart);
    marks->addWidget(btnSetStart);
    marks->addStretch(1);
    marks->addWidget(btnSetEnd);
    marks->addWidget(edtTrimLength);
    layout->addLayout(marks);
    layout->addStretch(1);

    auto* buttons = new QHBoxLayout;
    btnDefault = new QPushButton(QStringLiteral("&Reset"), this);
    btnDefault->setObjectName(QStringLiteral("btnDefault"));
    btnOk = new QPushButton(QStringLiteral("Ok"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    buttons->addWidget(btnDefault);
    buttons->addStretch(1);
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    layout->addLayout(buttons);
    // Enter is OK wherever the focus is; Esc cancels (the dialog's own rule).
    for (QPushButton* button : {btnSetStart, btnSetEnd, btnDefault, btnCancel})
        button->setAutoDefault(false);
    btnOk->setDefault(true);

    connect(imgbtnPlay, &QToolButton::clicked, this, &TfrmTrim::PlayClick);
    connect(imgbtnpause, &QToolButton::clicked, this, &TfrmTrim::PauseClick);
    connect(btnPrevFrame, &QToolButton::clicked, this, [this] { StepPictures(-1); });
    connect(btnNextFrame, &QToolButton::clicked, this, [this] { StepPictures(1); });
    connect(btnSetStart, &QPushButton::clicked, this, &TfrmTrim::SetStartClick);
    connect(btnSetEnd, &QPushButton::clicked, this, &TfrmTrim::SetEndClick);
    connect(btnDefault, &QPushButton::clicked, this, &TfrmTrim::ResetClick);
    connect(btnOk, &QPushButton::clicked, this, &TfrmTrim::OkClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(trcPreview, &TSeekBar::SeekRequested, this,
            [this](int value) { SeekTo(marks_.BarPosition(value, trcPreview->maximum()), false); });
}

void TfrmTrim::CreateShortcuts() {
    const std::pair<QKeySequence, std::function<void()>> keys[] = {
        {QKeySequence(Qt::Key_Left), [this] { StepPictures(-1); }},
        {QKeySequence(Qt::Key_Right), [this] { StepPictures(1); }},
        {QKeySequence(Qt::SHIFT | Qt::Key_Left), [this] { SkipSeconds(-1); }},
        {QKeySequence(Qt::SHIFT | Qt::Key_Right), [this] { SkipSeconds(1); }},
        {QKeySequence(Qt::Key_I), [this] { SetStartClick(); }},
        {QKeySequence(Qt::Key_O), [this] { SetEndClick(); }},
        {QKeySequence(Qt::Key_Space),
         [this] {
             if (imgbtnPlay->isEnabled())
                 PlayClick();
             else
                 PauseClick();
         }},
    };
    for (const auto& [sequence, command] : keys) {
        auto* shortcut = new QShortcut(sequence, this);
        shortcut->setAutoRepeat(true);
        connect(shortcut, &QShortcut::activated, this, command);
    }
}

bool TfrmTrim::LoadLibraries() {
    if (MediaPlayer_->AVLibLoaded())
        return true;
    std::string error;
    const bool loaded =
        loadLibraries_ ? loadLibraries_(error) : MediaPlayer_->LoadAVLib(DefaultLibraryFolder());
    if (!loaded)
        OpenFailed(Text(error.empty() ? MediaPlayer_->LastErrMsg() : error));
    return loaded;
}

int TfrmTrim::Execute(int row) {
    setModal(true);
    Prepare(row);
    return exec();
}

bool TfrmTrim::Prepare(int row) {
    resize(kWidth, kHeight);
    setWindowTitle(QStringLiteral("Trim"));
    lblPTS->clear();
    lblLength->clear();
    opened_ = false;
    hasVideo_ = false;
    stepTarget_ = -1;
    frameDuration_ = FrameDuration(0, 0);
    marks_.Opened(0);
    imgPreview->ClearPicture();
    imgPreview->SetMessage(QString());
    row_ = jobs_.Valid(row) ? row : (jobs_.Empty() ? -1 : 0);
    show();
    if (row_ < 0) {
        OpenFailed(QStringLiteral("No file to trim"));
        return false;
    }
    if (!LoadLibraries())
        return false;
    const TlvFilesRecord& job = jobs_.Job(row_);
    if (!MediaPlayer_->Open(job.SourceFile, imgPreview, false)) {
        OpenFailed(Text(MediaPlayer_->LastErrMsg()));
        return false;
    }
    opened_ = true;
    setWindowTitle(Text(TrimCaption(job.SourceFile)));
    marks_.Load(job.TrimStart, job.TrimLength);
    TMediaProbe& probe = MediaPlayer_->Probe();
    hasVideo_ = probe.VideoStreamCount() > 0;
    if (hasVideo_) {
        const TVideoStreamInfo video = probe.GetVideoStreamInfo(-1);
        frameDuration_ = FrameDuration(video.FrameRateNum, video.FrameRateDen);
    }
    SetPlaying(true);
    ShowMarks();
    return true;
}

void TfrmTrim::OpenFailed(const QString& reason) {
    // Nothing plays: the marks of an earlier file must not reach this job, so OK is off.
    opened_ = false;
    marks_.Opened(0);
    imgPreview->ClearPicture();
    imgPreview->SetMessage(reason.isEmpty() ? QStringLiteral("Cannot play this file") : reason);
    trcPreview->ShowPosition(0);
    trcPreview->setEnabled(false);
    SetPlaying(false);
    ShowMarks();
}

void TfrmTrim::SetPlaying(bool playing) {
    imgbtnPlay->setEnabled(opened_ && !playing);
    imgbtnpause->setEnabled(opened_ && playing);
    btnPrevFrame->setEnabled(opened_ && hasVideo_);
    btnNextFrame->setEnabled(opened_ && hasVideo_);
}

void TfrmTrim::ShowMarks() {
    const bool marking = opened_ && marks_.HasDuration();
    edtStart->setText(opened_ ? TimeText(marks_.Start()) : QString());
    edtTrimLength->setText(opened_ ? TimeText(marks_.End()) : QString());
    const auto [first, last] = marks_.Selection(trcPreview->maximum());
    trcPreview->SetSelection(first, last);
    btnSetStart->setEnabled(marking);
    btnSetEnd->setEnabled(marking);
    btnDefault->setEnabled(marking);
    btnOk->setEnabled(opened_);
}

void TfrmTrim::ShowPosition(int64_t position) {
    lblPTS->setText(QStringLiteral("Time:    ") + TimeText(position));
    if (!trcPreview->Seeking())
        trcPreview->ShowPosition(marks_.BarValue(position, trcPreview->maximum()));
}

int64_t TfrmTrim::PictureTime() const {
    const TScreenPicture picture = imgPreview->Picture();
    const int64_t shown =
        picture.Picture && picture.PTS >= 0 ? picture.PTS : MediaPlayer_->Position();
    // A step whose picture has not reached the screen yet: its picture is the one the user
    // asked for. (What was on its way before the seek is on the screen once the seek is
    // done, so the next picture handed over is the step's.)
    if (stepTarget_ >= 0 && imgPreview->PictureCount() == stepShownCount_)
        return stepTarget_;
    return shown;
}

void TfrmTrim::SeekTo(int64_t position, bool wait) {
    if (!opened_)
        return;
    stepTarget_ = -1;
    sinceSeek_.restart();
    MediaPlayer_->Seek(position, 0, wait);
}

void TfrmTrim::StepPictures(int count) {
    if (!opened_ || stepping_ || !hasVideo_)
        return;
    if (!MediaPlayer_->Paused())
        PauseClick();
    const int64_t from = std::max<int64_t>(PictureTime(), 0);
    const int64_t last =
        marks_.HasDuration() ? marks_.Duration() : std::numeric_limits<int64_t>::max() / 2;
    const int64_t target = std::clamp<int64_t>(from + count * frameDuration_, 0, last);
    stepping_ = true;
    // An exact seek shows the first picture from half a picture before the target on: the
    // neighbour of the one shown.
    SeekTo(target, true);
    stepping_ = false;
    stepShownCount_ = imgPreview->PictureCount();
    stepTarget_ = target;
    ShowPosition(target);
}

void TfrmTrim::SkipSeconds(int count) {
    const int64_t pictures = 1000000 / std::max<int64_t>(frameDuration_, 1);
    StepPictures(static_cast<int>(count * std::max<int64_t>(pictures, 1)));
}

void TfrmTrim::PlayClick() {
    if (!opened_)
        return;
    stepTarget_ = -1;
    MediaPlayer_->Resume();
    trcPreview->setEnabled(marks_.HasDuration());
    SetPlaying(true);
}

void TfrmTrim::PauseClick() {
    if (!opened_)
        return;
    MediaPlayer_->Pause();
    SetPlaying(false);
}

void TfrmTrim::SetStartClick() {
    if (opened_ && marks_.HasDuration() && marks_.SetStart(PictureTime()))
        ShowMarks();
}

void TfrmTrim::SetEndClick() {
    if (opened_ && marks_.HasDuration() && marks_.SetEnd(PictureTime()))
        ShowMarks();
}

void TfrmTrim::ResetClick() {
    if (!opened_)
        return;
    marks_.Reset();
    ShowMarks();
}

void TfrmTrim::OkClick() {
    // Without a length the marks cannot be set or measured: the job keeps the trim it has
    // rather than losing it to "the whole file".
    if (!opened_ || !marks_.HasDuration()) {
        reject();
        return;
    }
    const TTrimResult result = marks_.Result();
    jobs_.EditJob(row_, [&result](TlvFilesRecord& job) {
        job.TrimStart = result.TrimStart;
        job.TrimLength = result.TrimLength;
    });
    accept();
}

void TfrmTrim::done(int result) {
    // Every close closes the player: the main window's preview may play next.
    MediaPlayer_->Stop(true);
    imgPreview->ClearPicture();
    QDialog::done(result);
}

void TfrmTrim::MediaPlayerFileOpen(int64_t duration, int& screenWidth, int& screenHeight) {
    screenWidth = imgPreview->width();
    screenHeight = imgPreview->height();
    marks_.Opened(duration);
    lblLength->setText(QStringLiteral("Duration:    ") +
                       (duration >= 0 ? TimeText(duration) : QStringLiteral("unknown")));
    lblPTS->setText(QStringLiteral("0.0"));
    trcPreview->setMaximum(std::max(trcPreview->width(), 1));
    trcPreview->SetSelection(0, 0);
    trcPreview->ShowPosition(0);
    // Without a length there is nothing to seek in or to mark against.
    trcPreview->setEnabled(duration > 0);
}

void TfrmTrim::MediaPlayerPosition(int64_t position) {
    if (!opened_ || stepping_)
        return;
    if (sinceSeek_.isValid() && sinceSeek_.elapsed() < kSeekSettleMs)
        return;
    ShowPosition(position);
}

void TfrmTrim::MediaPlayerState(TPlayState state) {
    // Stepping or paused near the end, the reader reaches the end too: only playing to the
    // end rewinds.
    if (state != TPlayState::psEnd || !opened_ || !imgbtnpause->isEnabled())
        return;
    trcPreview->ShowPosition(0);
    SeekTo(0, false);
    MediaPlayer_->Pause();
    SetPlaying(false);
    lblPTS->setText(QStringLiteral("00:00:00"));
}

} // namespace tovik
