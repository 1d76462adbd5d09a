#include "dialogs/crop/CropDialog.h"

#include "dialogs/common/SeekBar.h"
#include "dialogs/crop/RectTracker.h"
#include "media/BlackBorders.h"
#include "media/FFmpegLoader.h"
#include "media/MyUtils.h"
#include "workspace/core/TaskOptionsBuilder.h"
#include "workspace/preview/PreviewIcons.h"
#include "workspace/video/VideoWidget.h"

#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

namespace tovik {

namespace {

// The preview's colour before the first picture (RGB 166, 202, 240).
constexpr uint32_t kPreviewColour = 0xA6CAF0;

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

// A margin box that steps by its arrows and keys but takes no typing.
class TMarginSpinBox : public QSpinBox {
public:
    explicit TMarginSpinBox(QWidget* parent) : QSpinBox(parent) {
        lineEdit()->setReadOnly(true);
        setRange(-1, 9999);
        setFixedWidth(70);
    }
};

} // namespace

TfrmCrop::TfrmCrop(TJobList& jobs, TLibraryLoader loadLibraries, QWidget* parent)
    : QDialog(parent), jobs_(jobs), loadLibraries_(std::move(loadLibraries)),
      MediaPlayer_(std::make_unique<TMediaPlayer>()) {
    setObjectName(QStringLiteral("frmCrop"));
    setWindowTitle(QStringLiteral("Crop"));
    CreateControls();
    MediaPlayer_->OnFileOpen = [this](TObject*, int64_t duration, int, int, int& screenWidth,
                                      int& screenHeight) {
        MediaPlayerFileOpen(duration, screenWidth, screenHeight);
    };
    MediaPlayer_->OnPosition = [this](TObject*, int64_t position) {
        MediaPlayerPosition(position);
    };
    MediaPlayer_->OnState = [this](TObject*, TPlayState state) { MediaPlayerState(state); };
}

TfrmCrop::~TfrmCrop() {
    // The player stops and clears its handlers while the controls still stand.
    MediaPlayer_.reset();
}

void TfrmCrop::CreateControls() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    auto* body = new QHBoxLayout;
    layout->addLayout(body, 1);

    auto* left = new QVBoxLayout;
    body->addLayout(left);
    imgPreview = new TVideoWidget(this);
    imgPreview->setObjectName(QStringLiteral("imgPreview"));
    imgPreview->setFixedSize(kPreviewWidth, kPreviewHeight);
    left->addWidget(imgPreview);
    RectTracker = new TRectTracker(imgPreview);
    RectTracker->hide();
    connect(RectTracker, &TRectTracker::MouseMoved, this, &TfrmCrop::RectTrackerMouseMove);

    auto* bar = new QHBoxLayout;
    bar->setSpacing(1);
    imgbtnPlay = SpeedButton(this, QStringLiteral("imgbtnPlay"), QStringLiteral("play"),
                             PreviewIcon(TPreviewGlyph::pgPlay));
    imgbtnpause = SpeedButton(this, QStringLiteral("imgbtnpause"), QStringLiteral("pause"),
                              PreviewIcon(TPreviewGlyph::pgPause));
    trcPreview = new TSeekBar(this);
    trcPreview->setObjectName(QStringLiteral("trcPreview"));
    bar->addWidget(imgbtnPlay);
    bar->addWidget(imgbtnpause);
    bar->addSpacing(4);
    bar->addWidget(trcPreview, 1);
    left->addLayout(bar);

    auto* facts = new QGridLayout;
    const auto addFact = [this, facts](int line, const QString& caption, const QString& name) {
        facts->addWidget(new QLabel(caption, this), line, 0);
        auto* label = new QLabel(this);
        label->setObjectName(name);
        // A long name is cut at the preview's width rather than widening the dialog.
        label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        facts->addWidget(label, line, 1);
        return label;
    };
    lblSourceName = addFact(0, QStringLiteral("Source File:"), QStringLiteral("lblSourceName"));
    lblPTS = addFact(1, QStringLiteral("Time:"), QStringLiteral("lblPTS"));
    lblLength = addFact(2, QStringLiteral("Length:"), QStringLiteral("lblLength"));
    facts->setColumnStretch(1, 1);
    left->addLayout(facts);
    left->addStretch(1);

    auto* pageEdit = new QTabWidget(this);
    pageEdit->setObjectName(QStringLiteral("pageEdit"));
    pageEdit->addTab(CreateCropPage(), QStringLiteral("Crop"));
    body->addWidget(pageEdit, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    btnOk = new QPushButton(QStringLiteral("Ok"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    layout->addLayout(buttons);
    // Enter is OK wherever the focus is; Esc cancels.
    for (QPushButton* button : {btnReset, btnDefault, btnDetect, btnCancel})
        button->setAutoDefault(false);
    btnOk->setDefault(true);

    connect(imgbtnPlay, &QToolButton::clicked, this, &TfrmCrop::PlayClick);
    connect(imgbtnpause, &QToolButton::clicked, this, &TfrmCrop::PauseClick);
    connect(trcPreview, &TSeekBar::SeekRequested, this, &TfrmCrop::SeekTo);
    connect(btnReset, &QPushButton::clicked, this, &TfrmCrop::ResetClick);
    connect(btnDefault, &QPushButton::clicked, this, &TfrmCrop::DefaultClick);
    connect(btnDetect, &QPushButton::clicked, this, &TfrmCrop::DetectClick);
    connect(btnOk, &QPushButton::clicked, this, &TfrmCrop::OkClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

QWidget* TfrmCrop::CreateCropPage() {
    auto* tabCrop = new QWidget(this);
    tabCrop->setObjectName(QStringLiteral("tabCrop"));
    auto* page = new QVBoxLayout(tabCrop);
    auto* grpbxCrop = new QGroupBox(QStringLiteral("Crop Size"), tabCrop);
    grpbxCrop->setObjectName(QStringLiteral("grpbxCrop"));
    auto* grid = new QGridLayout(grpbxCrop);
    const auto addSpin = [&](int line, int column, const QString& caption, const QString& name,
                             TCropSide side) {
        grid->addWidget(new QLabel(caption, grpbxCrop), line, column);
        auto* box = new TMarginSpinBox(grpbxCrop);
        box->setObjectName(name);
        grid->addWidget(box, line, column + 1);
        connect(box, &QSpinBox::valueChanged, this,
                [this, side, box](int value) { SpinChange(side, box, value); });
        return box;
    };
    spedUp = addSpin(0, 0, QStringLiteral("Up"), QStringLiteral("spedUp"), TCropSide::csUp);
    spedLeft = addSpin(1, 0, QStringLiteral("Left"), QStringLiteral("spedLeft"), TCropSide::csLeft);
    spedDown = addSpin(2, 0, QStringLiteral("Down"), QStringLiteral("spedDown"), TCropSide::csDown);
    spedRight =
        addSpin(3, 0, QStringLiteral("Right"), QStringLiteral("spedRight"), TCropSide::csRight);
    page->addWidget(grpbxCrop);

    auto* resets = new QHBoxLayout;
    btnReset = new QPushButton(QStringLiteral("Reset"), tabCrop);
    btnReset->setObjectName(QStringLiteral("btnReset"));
    btnDefault = new QPushButton(QStringLiteral("&Default"), tabCrop);
    btnDefault->setObjectName(QStringLiteral("btnDefault"));
    resets->addWidget(btnReset);
    resets->addWidget(btnDefault);
    page->addLayout(resets);

    btnDetect = new QPushButton(QStringLiteral("Detect"), tabCrop);
    btnDetect->setObjectName(QStringLiteral("btnDetect"));
    btnDetect->setToolTip(QStringLiteral("find black bars in pictures across the file and "
                                         "propose margins that cut them away"));
    lblDetect = new QLabel(tabCrop);
    lblDetect->setObjectName(QStringLiteral("lblDetect"));
    lblDetect->setWordWrap(true);
    page->addWidget(btnDetect);
    page->addWidget(lblDetect);
    page->addStretch(1);
    return tabCrop;
}

bool TfrmCrop::LoadLibraries() {
    if (MediaPlayer_->AVLibLoaded())
        return true;
    std::string error;
    const bool loaded =
        loadLibraries_ ? loadLibraries_(error) : MediaPlayer_->LoadAVLib(DefaultLibraryFolder());
    if (!loaded)
        OpenFailed(Text(error.empty() ? MediaPlayer_->LastErrMsg() : error));
    return loaded;
}

int TfrmCrop::Execute(int row) {
    setModal(true);
    Prepare(row);
    return exec();
}

bool TfrmCrop::Prepare(int row) {
    resize(kWidth, kHeight);
    lblSourceName->clear();
    lblPTS->clear();
    lblLength->clear();
    lblDetect->clear();
    paused_ = stopped_ = true;
    opened_ = false;
    sourceWidth_ = sourceHeight_ = 0;
    editor_.StartWithoutPicture();
    imgPreview->SetMessage(QString());
    row_ = jobs_.Valid(row) ? row : (jobs_.Empty() ? -1 : 0);
    show();
    imgPreview->Fill({0, 0, kPreviewWidth, kPreviewHeight}, kPreviewColour);
    if (row_ < 0) {
        OpenFailed(QStringLiteral("No file to crop"));
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
    paused_ = stopped_ = false;
    imgbtnPlay->setEnabled(false);
    imgbtnpause->setEnabled(true);
    btnOk->setEnabled(true);

    TMediaProbe& probe = MediaPlayer_->Probe();
    const int videoStreams = std::max(probe.VideoStreamCount(), 0);
    // The picture as the player shows it: turned upright, in its display shape.
    const TSourceFacts facts = SourceFactsOf(
        videoStreams, videoStreams > 0 ? probe.GetVideoStreamInfo(-1) : TVideoStreamInfo());
    sourceWidth_ = std::max(facts.Width, 0);
    sourceHeight_ = std::max(facts.Height, 0);
    const int shownWidth = facts.DisplayAspect > 0
                               ? static_cast<int>(std::lround(sourceHeight_ * facts.DisplayAspect))
                               : sourceWidth_;
    const TCropBox picture =
        PictureRectangle(shownWidth, sourceHeight_, kPreviewWidth, kPreviewHeight);
    if (picture.Empty()) {
        // No video, or a picture of no size: nothing to crop, and OK stores zeros.
        editor_.StartWithoutPicture();
    } else {
        editor_.Start(picture,
                      {job.CropUpInput, job.CropDownInput, job.CropLeftInput, job.CropRightInput});
    }
    SetPictureControls(editor_.HasPicture());
    ShowEditor();

    lblSourceName->setText(Text(CropSourceName(job.SourceFile)));
    lblLength->setText(Text(CropLengthText(probe.GetFileStreamInfo().Duration)));
    return true;
}

void TfrmCrop::OpenFailed(const QString& reason) {
    // Nothing plays: OK is off, so the job keeps its crop.
    opened_ = false;
    imgPreview->ClearPicture();
    imgPreview->SetMessage(reason.isEmpty() ? QStringLiteral("Cannot play this file") : reason);
    imgbtnPlay->setEnabled(false);
    imgbtnpause->setEnabled(false);
    trcPreview->setEnabled(false);
    btnOk->setEnabled(false);
    editor_.StartWithoutPicture();
    SetPictureControls(false);
    ShowEditor();
}

void TfrmCrop::SetPictureControls(bool enabled) {
    RectTracker->setVisible(enabled);
    RectTracker->setEnabled(enabled);
    for (QWidget* control : std::initializer_list<QWidget*>{spedUp, spedDown, spedLeft, spedRight,
                                                            btnReset, btnDefault, btnDetect})
        control->setEnabled(enabled);
}

void TfrmCrop::ShowEditor() {
    const TCropMargins& margins = editor_.Margins();
    adjusting_ = true;
    spedUp->setValue(margins.Up);
    spedDown->setValue(margins.Down);
    spedLeft->setValue(margins.Left);
    spedRight->setValue(margins.Right);
    adjusting_ = false;
    if (editor_.HasPicture())
        RectTracker->SetBounds(editor_.Rectangle());
}

void TfrmCrop::SpinChange(TCropSide side, QSpinBox* box, int value) {
    if (adjusting_)
        return;
    const int shown = editor_.SpinChanged(side, value);
    if (shown != value) {
        adjusting_ = true;
        box->setValue(shown);
        adjusting_ = false;
    }
    if (editor_.HasPicture())
        RectTracker->SetBounds(editor_.Rectangle());
}

void TfrmCrop::RectTrackerMouseMove(int /*x*/, int /*y*/) {
    adjusting_ = true;
    editor_.Dragged(RectTracker->Bounds(), RectTracker->DragZone() == TTrackerZone::tzMove);
    adjusting_ = false;
    ShowEditor();
}

void TfrmCrop::ResetClick() {
    editor_.Reset();
    ShowEditor();
    lblDetect->clear();
}

void TfrmCrop::DetectClick() {
    if (!opened_ || !editor_.HasPicture())
        return;
    TBorderMargins bars;
    std::string error;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool found = DetectBlackBorders(jobs_.Job(row_).SourceFile, bars, error);
    QApplication::restoreOverrideCursor();
    if (!found) {
        lblDetect->setText(Text(error));
        return;
    }
    editor_.Propose(PreviewMarginsOf(bars, editor_.Picture(), sourceWidth_, sourceHeight_));
    ShowEditor();
    lblDetect->setText(bars.Empty() ? QStringLiteral("No black borders found.")
                                    : QStringLiteral("Black borders (source pixels): top %1, "
                                                     "bottom %2, left %3, right %4.")
                                          .arg(bars.Top)
                                          .arg(bars.Bottom)
                                          .arg(bars.Left)
                                          .arg(bars.Right));
}

void TfrmCrop::OkClick() {
    if (!opened_) {
        reject();
        return;
    }
    const TCropMargins margins = editor_.Margins();
    const TSourceCrop crop = editor_.SourceCrop(sourceWidth_, sourceHeight_);
    jobs_.EditJob(row_, [&](TlvFilesRecord& job) {
        job.CropUpInput = margins.Up;
        job.CropLeftInput = margins.Left;
        job.CropDownInput = margins.Down;
        job.CropRightInput = margins.Right;
        job.CropTop = crop.Top;
        job.CropBottom = crop.Bottom;
        job.CropLeft = crop.Left;
        job.CropRight = crop.Right;
    });
    accept();
}

void TfrmCrop::done(int result) {
    // Every close closes the player: the main window's preview may play next.
    MediaPlayer_->Stop(true);
    stopped_ = true;
    QDialog::done(result);
}

void TfrmCrop::PlayClick() {
    if (paused_ && opened_) {
        MediaPlayer_->Resume();
    } else if (stopped_) {
        if (row_ < 0 || !MediaPlayer_->Open(jobs_.Job(row_).SourceFile, imgPreview, false)) {
            imgbtnPlay->setEnabled(false);
            imgbtnpause->setEnabled(false);
            return;
        }
    } else {
        return; // playing
    }
    paused_ = stopped_ = false;
    imgbtnPlay->setEnabled(false);
    imgbtnpause->setEnabled(true);
}

void TfrmCrop::PauseClick() {
    if (!opened_)
        return;
    paused_ = true;
    stopped_ = false;
    MediaPlayer_->Pause();
    imgbtnPlay->setEnabled(true);
    imgbtnpause->setEnabled(false);
}

void TfrmCrop::SeekTo(int value) {
    const int maximum = trcPreview->maximum();
    if (!opened_ || maximum <= 0 || duration_ <= 0)
        return;
    const auto position =
        static_cast<int64_t>(static_cast<double>(value) / maximum * static_cast<double>(duration_));
    if (position > 0)
        MediaPlayer_->Seek(position, 0, false);
}

void TfrmCrop::MediaPlayerFileOpen(int64_t duration, int& screenWidth, int& screenHeight) {
    screenWidth = imgPreview->width();
    screenHeight = imgPreview->height();
    duration_ = std::max<int64_t>(duration, 0);
    lblPTS->setText(QStringLiteral("0.0"));
    trcPreview->setMaximum(std::max(trcPreview->width(), 1));
    trcPreview->SetSelection(0, 0);
    trcPreview->ShowPosition(0);
    // Without a length there is nothing to seek in.
    trcPreview->setEnabled(duration_ > 0);
}

void TfrmCrop::MediaPlayerPosition(int64_t position) {
    lblPTS->setText(Text(SecondsToText(
        static_cast<int32_t>(std::lround(static_cast<double>(position) / 1000000.0)))));
    if (!trcPreview->Seeking() && duration_ > 0) {
        const int64_t clamped = std::clamp<int64_t>(position, 0, duration_);
        trcPreview->ShowPosition(
            static_cast<int>(static_cast<int64_t>(trcPreview->maximum()) * clamped / duration_));
    }
}

void TfrmCrop::MediaPlayerState(TPlayState state) {
    // A pause reported after the user already resumed is stale: the buttons follow the
    // player as it is now.
    if (state == TPlayState::psPause && MediaPlayer_->Paused()) {
        paused_ = true;
        stopped_ = false;
        imgbtnPlay->setEnabled(true);
        imgbtnpause->setEnabled(false);
    } else if (state == TPlayState::psEnd && opened_) {
        imgbtnPlay->setEnabled(true);
        imgbtnpause->setEnabled(false);
        stopped_ = true;
        MediaPlayer_->Seek(0, 0, false);
        MediaPlayer_->Pause();
    }
}

} // namespace tovik
