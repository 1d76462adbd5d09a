// The watermark dialog's controls, its showing and its closing commands.

#include "dialogs/watermark/WaterMarkDialog.h"

#include "dialogs/common/SeekBar.h"
#include "dialogs/layers/LayeredImageView.h"
#include "dialogs/watermark/LayerListDelegate.h"
#include "dialogs/watermark/TrackBar2.h"
#include "dialogs/watermark/WaterMarkHelp.h"
#include "media/FFmpegLoader.h"
#include "workspace/preview/PreviewIcons.h"
#include "workspace/video/VideoWidget.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace tovik {

namespace {

constexpr int kViewWidth = 440;
constexpr int kViewHeight = 330;

struct TEffectRange {
    const char* Name;
    const char* Caption;
    int Minimum;
    int Maximum;
    int Neutral;
};
constexpr TEffectRange kEffects[4] = {
    {"Brightness", "Brightness:", 0, 512, kNeutralBrightness},
    {"Contrast", "Contrast:", -100, 100, kNeutralContrast},
    {"Saturation", "Saturation:", 0, 512, kNeutralSaturation},
    {"Exposure", "Exposure:", -255, 512, kNeutralExposure},
};

QLineEdit* ValueBox(QWidget* parent, const QString& name, int width = 60) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setReadOnly(true);
    box->setFixedWidth(width);
    return box;
}

QSlider* Slider(QWidget* parent, const QString& name, int minimum, int maximum) {
    auto* slider = new QSlider(Qt::Horizontal, parent);
    slider->setObjectName(name);
    slider->setRange(minimum, maximum);
    return slider;
}

QToolButton* ArrowButton(QWidget* parent, const QString& name, Qt::ArrowType arrow,
                         const QString& hint) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setArrowType(arrow);
    button->setToolTip(hint);
    button->setFixedSize(18, 14);
    return button;
}

QComboBox* ColorBox(QWidget* parent, const QString& name) {
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    for (const TColorChoice& choice : ColorChoices()) {
        QPixmap swatch(12, 12);
        swatch.fill(QColor::fromRgb(ColorRefToRgb(choice.Color)));
        box->addItem(QIcon(swatch), QString::fromLatin1(choice.Name),
                     QVariant::fromValue<uint>(choice.Color));
    }
    return box;
}

} // namespace

TfrmWaterMark::TfrmWaterMark(TJobList& jobs, TWaterMarkServices services, QWidget* parent)
    : QDialog(parent), jobs_(jobs), services_(std::move(services)),
      MediaPlayer_(std::make_unique<TMediaPlayer>()) {
    setObjectName(QStringLiteral("frmWaterMark"));
    setWindowTitle(QStringLiteral("Water Mark"));
    CreateControls();
    MediaPlayer_->OnFileOpen = [this](TObject*, int64_t duration, int frameWidth, int frameHeight,
                                      int& screenWidth, int& screenHeight) {
        MediaPlayerFileOpen(duration, frameWidth, frameHeight, screenWidth, screenHeight);
    };
    MediaPlayer_->OnHook = [this](TObject*, TBitmap& frame, int64_t pts) {
        MediaPlayerHook(frame, pts);
    };
    MediaPlayer_->OnPosition = [this](TObject*, int64_t position) {
        MediaPlayerPosition(position);
    };
    MediaPlayer_->OnState = [this](TObject*, TPlayState state) { MediaPlayerState(state); };
}

TfrmWaterMark::~TfrmWaterMark() {
    // The player stops while the view and the controls still stand. Stopping serves pending
    // events, pictures from the hook among them: those are dropped from here on.
    closing_ = true;
    MediaPlayer_->SetHook(false);
    MediaPlayer_->Stop(true);
    MediaPlayer_.reset();
}

void TfrmWaterMark::CreateControls() {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);

    // Left: the picture, the playing controls and the dialog's buttons.
    auto* left = new QVBoxLayout;
    screens_ = new QStackedWidget(this);
    screens_->setFixedSize(kViewWidth, kViewHeight);
    ImgView = new TLayeredImageView(screens_);
    ImgView->setObjectName(QStringLiteral("ImgView"));
    imgPreview = new TVideoWidget(screens_);
    imgPreview->setObjectName(QStringLiteral("imgPreview"));
    screens_->addWidget(ImgView);
    screens_->addWidget(imgPreview);
    left->addWidget(screens_);

    auto* bar = new QHBoxLayout;
    spdBtnPlay = new QToolButton(this);
    spdBtnPlay->setObjectName(QStringLiteral("spdBtnPlay"));
    spdBtnPlay->setToolTip(QStringLiteral("play"));
    spdBtnPlay->setIcon(PreviewIcon(TPreviewGlyph::pgPlay));
    spdBtnPause = new QToolButton(this);
    spdBtnPause->setObjectName(QStringLiteral("spdBtnPause"));
    spdBtnPause->setToolTip(QStringLiteral("pause"));
    spdBtnPause->setIcon(PreviewIcon(TPreviewGlyph::pgPause));
    trcPreview = new TSeekBar(this);
    trcPreview->setObjectName(QStringLiteral("trcPreview"));
    bar->addWidget(spdBtnPlay);
    bar->addWidget(spdBtnPause);
    bar->addWidget(trcPreview, 1);
    left->addLayout(bar);
    auto* times = new QHBoxLayout;
    lblPTS = new QLabel(this);
    lblPTS->setObjectName(QStringLiteral("lblPTS"));
    lblLength = new QLabel(this);
    lblLength->setObjectName(QStringLiteral("lblLength"));
    times->addWidget(lblPTS);
    times->addStretch(1);
    times->addWidget(lblLength);
    left->addLayout(times);
    left->addStretch(1);
    auto* buttons = new QHBoxLayout;
    btnHelp = new QPushButton(QStringLiteral("&Help"), this);
    btnHelp->setObjectName(QStringLiteral("btnHelp"));
    btnOk = new QPushButton(QStringLiteral("&Ok"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    buttons->addWidget(btnHelp);
    buttons->addStretch(1);
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    left->addLayout(buttons);
    layout->addLayout(left);

    // Right: the two pages.
    pageControl1 = new QTabWidget(this);
    pageControl1->setObjectName(QStringLiteral("pageControl1"));
    pageControl1->addTab(CreateWaterMarkPage(), QStringLiteral("Watermark"));
    pageControl1->addTab(CreateEffectPage(), QStringLiteral("Effect"));
    layout->addWidget(pageControl1, 1);

    for (QPushButton* button :
         {btnHelp, btnCancel, btnAddText, btnAddImage, btnDelete, btnUp, btnDown, btnReset})
        button->setAutoDefault(false);
    btnOk->setDefault(true);

    connect(btnOk, &QPushButton::clicked, this, &TfrmWaterMark::OkClick);
    connect(btnCancel, &QPushButton::clicked, this, &TfrmWaterMark::CancelClick);
    connect(btnHelp, &QPushButton::clicked, this, &TfrmWaterMark::HelpClick);
    connect(spdBtnPlay, &QToolButton::clicked, this, &TfrmWaterMark::PlayClick);
    connect(spdBtnPause, &QToolButton::clicked, this, &TfrmWaterMark::PauseClick);
    connect(trcPreview, &TSeekBar::SeekRequested, this, &TfrmWaterMark::SeekTo);
    connect(pageControl1, &QTabWidget::currentChanged, this, &TfrmWaterMark::SetPage);
    connect(ImgView, &TLayeredImageView::LayerMouseDown, this, &TfrmWaterMark::LayerMouseDown);
    connect(ImgView, &TLayeredImageView::LayerChanged, this, [this] { LayerMoved(); });
    connect(ImgView, &TLayeredImageView::MouseMoved, this, [this] {
        if (pageControl1->currentIndex() == 0 && ImgView->Selected())
            LayerMoved();
    });
}

QWidget* TfrmWaterMark::CreateWaterMarkPage() {
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);

    auto* listRow = new QHBoxLayout;
    lsbox = new QListWidget(page);
    lsbox->setObjectName(QStringLiteral("lsbox"));
    lsbox->setItemDelegate(new TLayerListDelegate(lsbox));
    lsbox->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lsbox->setFixedHeight(110);
    listRow->addWidget(lsbox, 1);
    auto* listButtons = new QVBoxLayout;
    btnAddText = new QPushButton(QStringLiteral("Add Text"), page);
    btnAddText->setObjectName(QStringLiteral("btnAddText"));
    btnAddImage = new QPushButton(QStringLiteral("Add Image"), page);
    btnAddImage->setObjectName(QStringLiteral("btnAddImage"));
    btnDelete = new QPushButton(QStringLiteral("Delete"), page);
    btnDelete->setObjectName(QStringLiteral("btnDelete"));
    btnUp = new QPushButton(QStringLiteral("Up"), page);
    btnUp->setObjectName(QStringLiteral("btnUp"));
    btnDown = new QPushButton(QStringLiteral("Down"), page);
    btnDown->setObjectName(QStringLiteral("btnDown"));
    for (QPushButton* button : {btnAddText, btnAddImage, btnDelete, btnUp, btnDown})
        listButtons->addWidget(button);
    listRow->addLayout(listButtons);
    layout->addLayout(listRow);
    // The in-place editor lies over the list's row.
    edt1 = new QLineEdit(lsbox->viewport());
    edt1->setObjectName(QStringLiteral("edt1"));
    edt1->hide();
    edt1->installEventFilter(this);

    auto* place = new QGridLayout;
    trcTextHoriz = Slider(page, QStringLiteral("trcTextHoriz"), 0, 100);
    edtTextHoriz = ValueBox(page, QStringLiteral("edtTextHoriz"));
    trcTextVert = Slider(page, QStringLiteral("trcTextVert"), 0, 100);
    edtTextVert = ValueBox(page, QStringLiteral("edtTextVert"));
    trcTextTran = Slider(page, QStringLiteral("trcTextTran"), 0, 255);
    edtTextTran = ValueBox(page, QStringLiteral("edtTextTran"));
    place->addWidget(new QLabel(QStringLiteral("Horizontal Position:"), page), 0, 0);
    place->addWidget(trcTextHoriz, 0, 1);
    place->addWidget(edtTextHoriz, 0, 2);
    place->addWidget(new QLabel(QStringLiteral("Vertical Position:"), page), 1, 0);
    place->addWidget(trcTextVert, 1, 1);
    place->addWidget(edtTextVert, 1, 2);
    place->addWidget(new QLabel(QStringLiteral("Transparency:"), page), 2, 0);
    place->addWidget(trcTextTran, 2, 1);
    place->addWidget(edtTextTran, 2, 2);
    layout->addLayout(place);

    trcRange = new TTrackBar2(page);
    trcRange->setObjectName(QStringLiteral("trcRange"));
    layout->addWidget(trcRange);
    auto* window = new QGridLayout;
    edtStart = ValueBox(page, QStringLiteral("edtStart"), 80);
    edtEnd = ValueBox(page, QStringLiteral("edtEnd"), 80);
    btnStartUp1 = ArrowButton(page, QStringLiteral("btnStartUp1"), Qt::UpArrow,
                              QStringLiteral("one second later"));
    btnStartUpStartDown = ArrowButton(page, QStringLiteral("btnStartUpStartDown"), Qt::DownArrow,
                                      QStringLiteral("one second earlier"));
    btnStartUpEndUp = ArrowButton(page, QStringLiteral("btnStartUpEndUp"), Qt::UpArrow,
                                  QStringLiteral("one second later"));
    btnStartUpEndDown = ArrowButton(page, QStringLiteral("btnStartUpEndDown"), Qt::DownArrow,
                                    QStringLiteral("one second earlier"));
    auto* startArrows = new QVBoxLayout;
    startArrows->setSpacing(0);
    startArrows->addWidget(btnStartUp1);
    startArrows->addWidget(btnStartUpStartDown);
    auto* endArrows = new QVBoxLayout;
    endArrows->setSpacing(0);
    endArrows->addWidget(btnStartUpEndUp);
    endArrows->addWidget(btnStartUpEndDown);
    window->addWidget(new QLabel(QStringLiteral("Start time:"), page), 0, 0);
    window->addWidget(edtStart, 0, 1);
    window->addLayout(startArrows, 0, 2);
    window->addWidget(new QLabel(QStringLiteral("End Time:"), page), 0, 3);
    window->addWidget(edtEnd, 0, 4);
    window->addLayout(endArrows, 0, 5);
    layout->addLayout(window);

    auto* background = new QGroupBox(QStringLiteral("Font background color"), page);
    auto* backgroundLayout = new QHBoxLayout(background);
    rb1 = new QRadioButton(QStringLiteral("Background color"), background);
    rb1->setObjectName(QStringLiteral("rb1"));
    rb2 = new QRadioButton(QStringLiteral("Transparent"), background);
    rb2->setObjectName(QStringLiteral("rb2"));
    colorBoxBackground = ColorBox(background, QStringLiteral("colorBoxBackground"));
    backgroundLayout->addWidget(rb1);
    backgroundLayout->addWidget(colorBoxBackground);
    backgroundLayout->addWidget(rb2);
    layout->addWidget(background);

    auto* font = new QFormLayout;
    colorBoxText = ColorBox(page, QStringLiteral("colorBoxText"));
    fontCmb = new QFontComboBox(page);
    fontCmb->setObjectName(QStringLiteral("fontCmb"));
    fontSizeCmb = new QComboBox(page);
    fontSizeCmb->setObjectName(QStringLiteral("fontSizeCmb"));
    font->addRow(QStringLiteral("Font Color:"), colorBoxText);
    font->addRow(QStringLiteral("Font:"), fontCmb);
    font->addRow(QStringLiteral("Font Size:"), fontSizeCmb);
    layout->addLayout(font);
    auto* styles = new QHBoxLayout;
    chkBold = new QCheckBox(QStringLiteral("Bold"), page);
    chkBold->setObjectName(QStringLiteral("chkBold"));
    chkItalic = new QCheckBox(QStringLiteral("Italic"), page);
    chkItalic->setObjectName(QStringLiteral("chkItalic"));
    chkUnderline = new QCheckBox(QStringLiteral("Underline"), page);
    chkUnderline->setObjectName(QStringLiteral("chkUnderline"));
    chkStrikeOut = new QCheckBox(QStringLiteral("Strikeout"), page);
    chkStrikeOut->setObjectName(QStringLiteral("chkStrikeOut"));
    for (QCheckBox* box : {chkBold, chkItalic, chkUnderline, chkStrikeOut})
        styles->addWidget(box);
    layout->addLayout(styles);
    layout->addStretch(1);

    connect(btnAddText, &QPushButton::clicked, this, &TfrmWaterMark::AddTextClick);
    connect(btnAddImage, &QPushButton::clicked, this, &TfrmWaterMark::AddImageClick);
    connect(btnDelete, &QPushButton::clicked, this, &TfrmWaterMark::DeleteClick);
    connect(btnUp, &QPushButton::clicked, this, &TfrmWaterMark::UpClick);
    connect(btnDown, &QPushButton::clicked, this, &TfrmWaterMark::DownClick);
    connect(lsbox, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!loadingControls_)
            SelectRow(row);
    });
    connect(lsbox, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { EditRowText(lsbox->row(item)); });
    connect(edt1, &QLineEdit::textEdited, this, [this] { StoreTextProperty(); });
    connect(edt1, &QLineEdit::editingFinished, this, [this] { ShowEditor(false); });
    connect(trcTextHoriz, &QSlider::valueChanged, this,
            [this](int value) { PositionSliderMoved(true, value); });
    connect(trcTextVert, &QSlider::valueChanged, this,
            [this](int value) { PositionSliderMoved(false, value); });
    connect(trcTextTran, &QSlider::valueChanged, this, [this](int value) {
        edtTextTran->setText(QString::number(value));
        if (!loadingControls_ && ImgView->Selected())
            ImgView->Selected()->SetMasterAlpha(value);
    });
    connect(trcRange, &TTrackBar2::Changed, this, &TfrmWaterMark::RangeChanged);
    connect(btnStartUp1, &QToolButton::clicked, this, [this] { StepRange(false, 1); });
    connect(btnStartUpStartDown, &QToolButton::clicked, this, [this] { StepRange(false, -1); });
    connect(btnStartUpEndUp, &QToolButton::clicked, this, [this] { StepRange(true, 1); });
    connect(btnStartUpEndDown, &QToolButton::clicked, this, [this] { StepRange(true, -1); });
    for (QRadioButton* button : {rb1, rb2})
        connect(button, &QRadioButton::toggled, this, [this](bool on) {
            colorBoxBackground->setEnabled(rb1->isChecked() && rb1->isEnabled());
            if (on)
                StoreTextProperty();
        });
    for (QComboBox* box :
         {colorBoxBackground, colorBoxText, fontSizeCmb, static_cast<QComboBox*>(fontCmb)})
        connect(box, &QComboBox::currentIndexChanged, this, [this] { StoreTextProperty(); });
    for (QCheckBox* box : {chkBold, chkItalic, chkUnderline, chkStrikeOut})
        connect(box, &QCheckBox::toggled, this, [this] { StoreTextProperty(); });
    return page;
}

QWidget* TfrmWaterMark::CreateEffectPage() {
    auto* page = new QWidget(this);
    auto* layout = new QGridLayout(page);
    for (int i = 0; i < 4; ++i) {
        const TEffectRange& range = kEffects[i];
        const QString name = QString::fromLatin1(range.Name);
        trcEffect[i] = Slider(page, QStringLiteral("trc") + name, range.Minimum, range.Maximum);
        trcEffect[i]->setValue(range.Neutral);
        spedtEffect[i] = new QSpinBox(page);
        spedtEffect[i]->setObjectName(QStringLiteral("spedt") + name);
        spedtEffect[i]->setRange(range.Minimum, range.Maximum);
        spedtEffect[i]->setValue(range.Neutral);
        // Only the arrows change it.
        if (auto* typing = spedtEffect[i]->findChild<QLineEdit*>())
            typing->setReadOnly(true);
        layout->addWidget(new QLabel(QString::fromLatin1(range.Caption), page), i, 0);
        layout->addWidget(trcEffect[i], i, 1);
        layout->addWidget(spedtEffect[i], i, 2);
        connect(trcEffect[i], &QSlider::valueChanged, this, [this, i](int value) {
            spedtEffect[i]->setValue(value);
            EffectChanged();
        });
        connect(spedtEffect[i], &QSpinBox::valueChanged, trcEffect[i], &QSlider::setValue);
    }
    btnReset = new QPushButton(QStringLiteral("Reset"), page);
    btnReset->setObjectName(QStringLiteral("btnReset"));
    layout->addWidget(btnReset, 4, 2);
    chkProcessText = new QCheckBox(QStringLiteral("Process  Added Text"), page);
    chkProcessText->setObjectName(QStringLiteral("chkProcessText"));
    chkProcessText->hide();
    chkProcessImage = new QCheckBox(QStringLiteral("Process  Added Image"), page);
    chkProcessImage->setObjectName(QStringLiteral("chkProcessImage"));
    chkProcessImage->hide();
    layout->setRowStretch(5, 1);
    connect(btnReset, &QPushButton::clicked, this, &TfrmWaterMark::ResetClick);
    return page;
}

QSlider* TfrmWaterMark::EffectSlider(int index) const {
    return trcEffect[index];
}

QSpinBox* TfrmWaterMark::EffectSpin(int index) const {
    return spedtEffect[index];
}

bool TfrmWaterMark::LoadLibraries() {
    if (MediaPlayer_->AVLibLoaded())
        return true;
    std::string error;
    const bool loaded = services_.LoadLibraries ? services_.LoadLibraries(error)
                                                : MediaPlayer_->LoadAVLib(DefaultLibraryFolder());
    if (!loaded)
        OpenFailed(QString::fromStdString(error.empty() ? MediaPlayer_->LastErrMsg() : error));
    return loaded;
}

int TfrmWaterMark::Execute(int row) {
    setModal(true);
    Prepare(row);
    return exec();
}

bool TfrmWaterMark::Prepare(int row) {
    resize(kWidth, kHeight);
    pageControl1->setCurrentIndex(0);
    SetPage(0);
    ShowEditor(false);
    while (RowCount() > 0)
        RemoveRow(RowCount() - 1);
    ImgView->ClearLayers();
    trcTextHoriz->setRange(0, 100);
    trcTextVert->setRange(0, 100);
    jobRow_ = jobs_.Valid(row) ? row : (jobs_.Empty() ? -1 : 0);
    loadingControls_ = true;
    fontSizeCmb->clear();
    for (int size = 7; size <= 70; ++size)
        fontSizeCmb->addItem(QString::number(size));
    if (jobRow_ >= 0) {
        const TlvFilesRecord& job = jobs_.Job(jobRow_);
        trcEffect[0]->setValue(job.Effects.Brightness);
        trcEffect[1]->setValue(job.Effects.Contrast);
        trcEffect[2]->setValue(job.Effects.Saturation);
        trcEffect[3]->setValue(job.Effects.Exposure);
        chkProcessText->setChecked(job.ProcessText);
        chkProcessImage->setChecked(job.ProcessImage);
        std::lock_guard lock(hookMutex_);
        cropLeft_ = job.CropLeft;
        cropTop_ = job.CropTop;
        cropRight_ = job.CropRight;
        cropBottom_ = job.CropBottom;
    }
    fontCmb->setCurrentIndex(0);
    fontSizeCmb->setCurrentIndex(19);
    colorBoxText->setCurrentIndex(12);
    colorBoxBackground->setCurrentIndex(2);
    trcTextTran->setValue(125);
    edtTextTran->setText(QStringLiteral("125"));
    rb1->setChecked(true);
    loadingControls_ = false;
    PublishHookInputs();
    show();
    if (jobRow_ < 0) {
        OpenFailed(QStringLiteral("No file to edit"));
        return false;
    }
    const TlvFilesRecord& job = jobs_.Job(jobRow_);
    // Until the player reports it: the length the list knows.
    duration_ = jobs_.Row(jobRow_).Duration;
    setWindowTitle(QString::fromStdString(WaterMarkCaption(job.SourceFile)));
    if (!LoadLibraries())
        return false;
    if (!MediaPlayer_->Open(job.SourceFile, imgPreview, false)) {
        OpenFailed(QString::fromStdString(MediaPlayer_->LastErrMsg()));
        return false;
    }
    opened_ = true;
    spdBtnPlay->setEnabled(false);
    spdBtnPause->setEnabled(true);
    return true;
}

void TfrmWaterMark::OpenFailed(const QString& reason) {
    opened_ = false;
    imgPreview->SetMessage(reason.isEmpty() ? QStringLiteral("Cannot play this file") : reason);
    spdBtnPlay->setEnabled(false);
    spdBtnPause->setEnabled(false);
    trcPreview->setEnabled(false);
}

void TfrmWaterMark::SetPage(int page) {
    // The effect page shows the player's own output, the watermark page the layered view.
    screens_->setCurrentIndex(page == 1 ? 1 : 0);
}

void TfrmWaterMark::OkClick() {
    if (jobRow_ < 0) {
        reject();
        return;
    }
    std::vector<std::shared_ptr<TWmRec>> overlays;
    for (int row = 0; row < RowCount(); ++row) {
        const TWmItemRec& item = *rows_[static_cast<size_t>(row)];
        overlays.push_back(std::make_shared<TWmRec>(
            LayerRecord(item.Rec, RowText(row).toStdString(), item.Layer->Location(),
                        item.Layer->MasterAlpha())));
    }
    const TJobEffects effects = EffectValues();
    const bool processText = chkProcessText->isChecked();
    const bool processImage = chkProcessImage->isChecked();
    jobs_.EditJob(jobRow_, [&](TlvFilesRecord& job) {
        job.Effects.Overlays = std::move(overlays);
        job.Effects.Brightness = effects.Brightness;
        job.Effects.Contrast = effects.Contrast;
        job.Effects.Saturation = effects.Saturation;
        job.Effects.Exposure = effects.Exposure;
        job.ProcessText = processText;
        job.ProcessImage = processImage;
    });
    MediaPlayer_->SetHook(false);
    MediaPlayer_->Stop(true);
    accept();
}

void TfrmWaterMark::CancelClick() {
    MediaPlayer_->SetHook(false);
    if (MediaPlayer_->Paused())
        MediaPlayer_->Resume();
    MediaPlayer_->Stop(true);
    reject();
}

void TfrmWaterMark::HelpClick() {
    const QString file = QString::fromStdString(services_.HelpFile.empty() ? WaterMarkHelpFile()
                                                                           : services_.HelpFile);
    if (file.isEmpty() || !services_.OpenUrl || !services_.OpenUrl(QUrl::fromLocalFile(file))) {
        if (services_.ShowError)
            services_.ShowError(this, QStringLiteral("Warning"),
                                QStringLiteral("Cannot open the help page ") + file);
    }
}

bool TfrmWaterMark::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edt1 && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
            ShowEditor(false);
            lsbox->setFocus();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmWaterMark::done(int result) {
    // Every close ends playback and lets go of the layers.
    MediaPlayer_->SetHook(false);
    MediaPlayer_->Stop(true);
    {
        std::lock_guard lock(hookMutex_);
        frameCopy_.SetSize(0, 0);
        frameCopyPts_ = -1;
    }
    ShowEditor(false);
    ImgView->Select(nullptr);
    while (RowCount() > 0)
        RemoveRow(RowCount() - 1);
    imgPreview->ClearPicture();
    opened_ = false;
    QDialog::done(result);
}

} // namespace tovik
