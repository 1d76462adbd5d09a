#pragma once
// The video effect and watermark dialog (TfrmWaterMark). The selected job's source plays in
// the dialog's own player; its pictures appear in a layered image view where text and
// picture layers are added, moved, resized, ordered, timed and made more or less opaque.
// The "Effect" page holds the brightness, contrast, saturation and exposure sliders, shown
// live. OK writes the layers and effects into the job record; Cancel leaves it alone.
//
// Threads: the player's hook runs on its video decoding thread. It touches only the frame
// it is given and, under hookMutex_, the dialog's frame copy and the hook's own inputs (the
// effect values, the crop outline); the picture it makes goes to the view on the main
// thread, which alone touches widgets and layers.

#include "dialogs/watermark/WaterMarkRules.h"
#include "effects/OverlayRenderer.h"
#include "player/MediaPlayer.h"
#include "workspace/core/JobList.h"

#include <QDialog>
#include <QImage>
#include <QUrl>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QFontComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QSlider;
class QSpinBox;
class QStackedWidget;
class QTabWidget;
class QToolButton;

namespace tovik {

class TBitmapLayer;
class TLayeredImageView;
class TSeekBar;
class TTrackBar2;
class TVideoWidget;

// What the dialog asks of the world outside; tests put in their own.
struct TWaterMarkServices {
    // Loads the player's libraries unless loaded; false with the loader's text.
    std::function<bool(std::string& error)> LoadLibraries;
    // The picture file for "Add Image"; empty when cancelled.
    std::function<QString(QWidget* parent)> ChooseImageFile;
    // Opens the help page; false on failure.
    std::function<bool(const QUrl& url)> OpenUrl;
    // A modal error message.
    std::function<void(QWidget* parent, const QString& caption, const QString& text)> ShowError;
    // The help page's file; empty: the one installed with the program.
    std::string HelpFile;
};

class TfrmWaterMark : public QDialog {
    Q_OBJECT
public:
    static constexpr int kWidth = 786;
    static constexpr int kHeight = 605;

    TfrmWaterMark(TJobList& jobs, TWaterMarkServices services, QWidget* parent = nullptr);
    ~TfrmWaterMark() override;

    // Shows the dialog modally for the job at row.
    int Execute(int row);
    // The showing without the modal loop; false when the source does not play.
    bool Prepare(int row);

    // The commands.
    void AddTextClick();
    void AddImageClick();
    void DeleteClick();
    void UpClick();
    void DownClick();
    void ResetClick();
    void OkClick();
    void CancelClick();
    void HelpClick();
    void PlayClick();
    void PauseClick();
    // Selects a row of the layer list (-1: none) and loads it into the controls.
    void SelectRow(int row);
    // The in-place editor on a text row (a double click); edits rebuild the layer.
    void EditRowText(int row);
    void SetPage(int page);

    // What the tests look at.
    int RowCount() const;
    int SelectedRow() const;
    QString RowText(int row) const;
    const TWmItemRec& Row(int row) const { return *rows_.at(static_cast<size_t>(row)); }
    TLayeredImageView* View() const { return ImgView; }
    QListWidget* LayerList() const { return lsbox; }
    TVideoWidget* Screen() const { return imgPreview; }
    TTrackBar2* Range() const { return trcRange; }
    QLineEdit* TextEditor() const { return edt1; }
    QSlider* HorizontalSlider() const { return trcTextHoriz; }
    QSlider* VerticalSlider() const { return trcTextVert; }
    QSlider* OpacitySlider() const { return trcTextTran; }
    QSlider* EffectSlider(int index) const; // brightness, contrast, saturation, exposure
    QSpinBox* EffectSpin(int index) const;
    QLineEdit* StartBox() const { return edtStart; }
    QLineEdit* EndBox() const { return edtEnd; }
    QRadioButton* FilledButton() const { return rb1; }
    QRadioButton* TransparentButton() const { return rb2; }
    QComboBox* FontSizeBox() const { return fontSizeCmb; }
    QComboBox* TextColorBox() const { return colorBoxText; }
    QComboBox* BackColorBox() const { return colorBoxBackground; }
    QCheckBox* BoldBox() const { return chkBold; }
    TMediaPlayer& MediaPlayer() { return *MediaPlayer_; }
    bool Opened() const { return opened_; }
    int64_t SourceDuration() const { return duration_; }
    // The view's picture with its visible layers at the frame's own size (what conversion
    // makes of that picture), and the picture's time; null before the first picture.
    QImage PreviewFrame(int64_t* time = nullptr) const;
    // How many pictures the view has been given.
    int PictureCount() const { return pictureCount_; }

    void done(int result) override;

protected:
    // Enter and Esc in the layer's text editor end the editing, not the dialog.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    QWidget* CreateWaterMarkPage();
    QWidget* CreateEffectPage();
    bool LoadLibraries();
    void OpenFailed(const QString& reason);

    // Layers.
    int AppendRow(const QString& text, std::unique_ptr<TWmItemRec> item);
    void RemoveRow(int row);
    void MoveRow(int from, int to);
    TBitmapLayer* AddTextLayer(TWmRec& rec, const QString& text, const layers::TRectF& place,
                               int alpha);
    void RebuildTextLayer();
    void RefreshLayerImage(int row);
    void RestoreLayers();
    void StoreTextProperty();
    void ShowRange(const TWmItemRec& item);
    void LayerMouseDown(TBitmapLayer* layer);
    void LayerMoved();
    void PositionSliderMoved(bool horizontal, int value);
    void RangeChanged();
    void StepRange(bool upper, int step);
    TFontSpec FontFromControls() const;
    void UpdateLayerWindows(int64_t second);
    void ShowEditor(bool show);

    // Effects.
    void EffectChanged();
    TJobEffects EffectValues() const;
    void PublishHookInputs();

    // The player.
    void MediaPlayerFileOpen(int64_t duration, int frameWidth, int frameHeight, int& screenWidth,
                             int& screenHeight);
    void MediaPlayerHook(TBitmap& frame, int64_t pts);
    void MediaPlayerPosition(int64_t position);
    void MediaPlayerState(TPlayState state);
    void PictureArrived(const QImage& picture, int64_t pts);
    void SeekTo(int value);
    int RowOf(const TBitmapLayer* layer) const;

    TJobList& jobs_;
    TWaterMarkServices services_;
    int jobRow_ = -1;
    bool opened_ = false;
    int64_t duration_ = 0; // microseconds
    int frameWidth_ = 0;
    int frameHeight_ = 0;
    int editedRow_ = -1; // the row under the in-place editor
    bool loadingControls_ = false;
    bool closing_ = false; // the destructor runs: pictures still on their way are dropped
    int pictureCount_ = 0;
    int64_t picturePts_ = -1;
    // Per row: the picture read from a picture row's file (null for text rows).
    std::vector<std::unique_ptr<TWmItemRec>> rows_;
    std::vector<QImage> pictures_;

    // Shared with the hook; guarded by hookMutex_.
    mutable std::mutex hookMutex_;
    TBitmap frameCopy_; // the last unprocessed picture
    int64_t frameCopyPts_ = -1;
    TJobEffects hookEffects_; // the sliders' values (no layers)
    int cropLeft_ = 0, cropTop_ = 0, cropRight_ = 0, cropBottom_ = 0;
    TPictureCache noPictures_; // the effects draw no pictures

    QTabWidget* pageControl1 = nullptr;
    QListWidget* lsbox = nullptr;
    QPushButton* btnAddText = nullptr;
    QPushButton* btnAddImage = nullptr;
    QPushButton* btnDelete = nullptr;
    QPushButton* btnUp = nullptr;
    QPushButton* btnDown = nullptr;
    QLineEdit* edt1 = nullptr;
    QSlider* trcTextHoriz = nullptr;
    QLineEdit* edtTextHoriz = nullptr;
    QSlider* trcTextVert = nullptr;
    QLineEdit* edtTextVert = nullptr;
    QSlider* trcTextTran = nullptr;
    QLineEdit* edtTextTran = nullptr;
    TTrackBar2* trcRange = nullptr;
    QLineEdit* edtStart = nullptr;
    QLineEdit* edtEnd = nullptr;
    QToolButton* btnStartUp1 = nullptr;
    QToolButton* btnStartUpStartDown = nullptr;
    QToolButton* btnStartUpEndUp = nullptr;
    QToolButton* btnStartUpEndDown = nullptr;
    QRadioButton* rb1 = nullptr;
    QRadioButton* rb2 = nullptr;
    QComboBox* colorBoxBackground = nullptr;
    QComboBox* colorBoxText = nullptr;
    QFontComboBox* fontCmb = nullptr;
    QComboBox* fontSizeCmb = nullptr;
    QCheckBox* chkBold = nullptr;
    QCheckBox* chkItalic = nullptr;
    QCheckBox* chkUnderline = nullptr;
    QCheckBox* chkStrikeOut = nullptr;
    QSlider* trcEffect[4] = {};
    QSpinBox* spedtEffect[4] = {};
    QPushButton* btnReset = nullptr;
    QCheckBox* chkProcessText = nullptr;
    QCheckBox* chkProcessImage = nullptr;
    QStackedWidget* screens_ = nullptr;
    TLayeredImageView* ImgView = nullptr;
    TVideoWidget* imgPreview = nullptr;
    QToolButton* spdBtnPlay = nullptr;
    QToolButton* spdBtnPause = nullptr;
    TSeekBar* trcPreview = nullptr;
    QLabel* lblPTS = nullptr;
    QLabel* lblLength = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;
    QPushButton* btnHelp = nullptr;

    // Last member: the player goes first, while the screen and the view still stand.
    std::unique_ptr<TMediaPlayer> MediaPlayer_;
};

} // namespace tovik
