// The video effect and watermark dialog with its real player and test clips under offscreen
// Qt: adding, editing, deleting and ordering layers, the time window, the effects, and what
// OK and Cancel leave in the job record.

#include "EditDialogTestSupport.h"

#include "dialogs/layers/LayeredImageView.h"
#include "dialogs/watermark/TrackBar2.h"
#include "dialogs/watermark/WaterMarkDialog.h"
#include "workspace/video/VideoWidget.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>
#include <cstring>
#include <filesystem>

namespace tovik::test {
namespace {

namespace fs = std::filesystem;
using layers::TPointF;
using layers::TRectF;

class WaterMarkDialogTest : public EditDialogTest {
protected:
    TWaterMarkServices Services() {
        TWaterMarkServices services;
        services.LoadLibraries = &EditDialogTest::LoadLibraries;
        services.ChooseImageFile = [this](QWidget*) { return chosenImage_; };
        services.OpenUrl = [this](const QUrl& url) {
            openedUrls_.push_back(url);
            return true;
        };
        services.ShowError = [this](QWidget*, const QString& caption, const QString& text) {
            errors_.push_back(caption + ": " + text);
        };
        return services;
    }

    // The dialog shown on the clip, its first picture in the view.
    std::unique_ptr<TfrmWaterMark> Open(const std::string& clip, int64_t duration = 6'000'000) {
        const int row = AddJob(MediaFile(clip), duration);
        auto dialog = std::make_unique<TfrmWaterMark>(jobs_, Services());
        EXPECT_TRUE(dialog->Prepare(row));
        EXPECT_TRUE(PumpUntil([&] { return dialog->PictureCount() > 0; }));
        return dialog;
    }

    static void Retype(QLineEdit* editor, const QString& text) {
        editor->selectAll();
        QTest::keyClick(editor, Qt::Key_Backspace);
        if (!text.isEmpty())
            QTest::keyClicks(editor, text);
    }

    // A PNG with an opaque red left half and a transparent right half.
    std::string Logo(int width = 40, int height = 20) {
        QImage logo(width, height, QImage::Format_ARGB32);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                logo.setPixel(x, y, x < width / 2 ? qRgba(255, 0, 0, 255) : qRgba(0, 0, 0, 0));
        const std::string file = temp_.File("logo.png");
        EXPECT_TRUE(logo.save(QString::fromStdString(file)));
        return file;
    }

    // The picture with brightness and exposure applied as the conversion applies them.
    static QImage Processed(const QImage& picture, int brightness, int exposure) {
        const QImage bgr = picture.convertToFormat(QImage::Format_BGR888);
        TBitmap frame(bgr.width(), bgr.height());
        for (int y = 0; y < bgr.height(); ++y)
            std::memcpy(frame.ScanLine(y), bgr.constScanLine(y), bgr.width() * 3);
        ApplyColorAndExposure(frame, brightness, 0, 255, static_cast<float>(exposure));
        QImage out(bgr.width(), bgr.height(), QImage::Format_BGR888);
        for (int y = 0; y < bgr.height(); ++y)
            std::memcpy(out.scanLine(y), frame.ScanLine(y), bgr.width() * 3);
        return out;
    }

    QString chosenImage_;
    std::vector<QUrl> openedUrls_;
    std::vector<QString> errors_;
};

TEST_F(WaterMarkDialogTest, ShowingLoadsTheJobAndANewTextLayerOpensItsEditor) {
    auto dialog = Open("edit_convert.mkv");
    EXPECT_TRUE(dialog->Opened());
    EXPECT_EQ(dialog->windowTitle(),
              "Water Mark  " + QString::fromStdString(MediaFile("edit_convert.mkv")));
    EXPECT_EQ(dialog->Range()->Maximum(), 6);
    EXPECT_EQ(dialog->Range()->Upper(), 6);
    EXPECT_EQ(dialog->View()->PictureSize(), QSize(320, 240));
    EXPECT_EQ(dialog->FontSizeBox()->currentText(), "26");
    EXPECT_EQ(dialog->TextColorBox()->currentText(), "Blue");
    EXPECT_EQ(dialog->OpacitySlider()->value(), 125);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(dialog->EffectSpin(i)->value(), dialog->EffectSlider(i)->value());

    dialog->AddTextClick();
    ASSERT_EQ(dialog->RowCount(), 1);
    EXPECT_EQ(dialog->RowText(0), "Add Text");
    EXPECT_EQ(dialog->SelectedRow(), 0);
    EXPECT_TRUE(dialog->TextEditor()->isVisible());
    EXPECT_EQ(dialog->TextEditor()->text(), "Add Text");
    EXPECT_TRUE(dialog->TransparentButton()->isChecked());
    EXPECT_FALSE(dialog->Row(0).Rec.BackFilled);
    EXPECT_EQ(dialog->Row(0).Rec.EndSecond, 6);
    TBitmapLayer* layer = dialog->Row(0).Layer;
    ASSERT_NE(layer, nullptr);
    EXPECT_EQ(dialog->View()->Selected(), layer);
    EXPECT_EQ(layer->MasterAlpha(), 125);
    // At the view's centre, which is the picture's.
    const TRectF place = layer->Location();
    EXPECT_NEAR((place.Left + place.Right) / 2, 160, 1);
    EXPECT_NEAR((place.Top + place.Bottom) / 2, 120, 1);

    // Typing replaces the row's text and the layer takes the new text's size.
    Retype(dialog->TextEditor(), "Tovik watermark, a long line");
    EXPECT_EQ(dialog->RowText(0), "Tovik watermark, a long line");
    const TRectF longer = layer->Location();
    EXPECT_GT(longer.Width(), place.Width());
    EXPECT_DOUBLE_EQ(longer.Left, place.Left) << "the corner stays";
    EXPECT_EQ(layer->Image().width(), qRound(longer.Width()));
    // Emptying the text keeps the layer as it was.
    const QImage look = layer->Image();
    Retype(dialog->TextEditor(), "");
    EXPECT_EQ(dialog->RowText(0), "");
    EXPECT_EQ(dialog->RowCount(), 1);
    EXPECT_EQ(layer->Location(), longer);
    EXPECT_EQ(layer->Image(), look);
}

// What a person does with a new text: type over "Add Text" and press Enter, which ends the
// editing and leaves the dialog open (Enter on the editor once closed it through OK).
TEST_F(WaterMarkDialogTest, TypingReplacesTheNewTextAndEnterOrEscEndOnlyTheEditing) {
    auto dialog = Open("edit_convert.mkv");
    dialog->show();
    dialog->AddTextClick();
    ASSERT_TRUE(dialog->TextEditor()->isVisible());
    QTest::keyClicks(dialog->TextEditor(), "Holiday");
    EXPECT_EQ(dialog->RowText(0), "Holiday");
    QTest::keyClick(dialog->TextEditor(), Qt::Key_Return);
    EXPECT_FALSE(dialog->TextEditor()->isVisible());
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), 0);

    dialog->AddTextClick();
    ASSERT_TRUE(dialog->TextEditor()->isVisible());
    QTest::keyClick(dialog->TextEditor(), Qt::Key_Escape);
    EXPECT_FALSE(dialog->TextEditor()->isVisible());
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->RowCount(), 2);
}

TEST_F(WaterMarkDialogTest, ResizedLayersShowWhatTheConversionWillDrawInTheirBoxes) {
    auto dialog = Open("edit_convert.mkv");
    dialog->AddTextClick();
    dialog->FilledButton()->setChecked(true);
    TBitmapLayer* text = dialog->Row(0).Layer;
    const QImage natural = text->Image();
    const TRectF start = text->Location();
    // Drag the bottom-right handle 40 x 20 picture pixels further out.
    TLayeredImageView* view = dialog->View();
    const QPointF from = view->PictureToView({start.Right, start.Bottom});
    const QPointF to = view->PictureToView({start.Right + 40, start.Bottom + 20});
    for (auto [type, at] :
         {std::pair{QEvent::MouseButtonPress, from}, std::pair{QEvent::MouseMove, to},
          std::pair{QEvent::MouseButtonRelease, to}}) {
        QMouseEvent event(type, at, view->viewport()->mapToGlobal(at),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(view->viewport(), &event);
    }
    const TRectF larger = text->Location();
    EXPECT_NEAR(larger.Width(), start.Width() + 40, 0.01);
    EXPECT_NEAR(larger.Height(), start.Height() + 20, 0.01);
    // The box grows; the text keeps its natural size in the corner, as the conversion draws
    // it, rather than being stretched.
    const QImage boxed = text->Image();
    ASSERT_EQ(boxed.size(), QSize(qRound(larger.Width()), qRound(larger.Height())));
    EXPECT_EQ(boxed.copy(0, 0, natural.width(), natural.height()), natural);
    EXPECT_EQ(boxed.pixel(boxed.width() - 2, boxed.height() - 2), QColor(0, 0x80, 0).rgba())
        << "the rest of the box is the background colour";

    // A picture is scaled to its box, as the conversion scales it.
    chosenImage_ = QString::fromStdString(Logo(40, 20));
    dialog->AddImageClick();
    TBitmapLayer* picture = dialog->Row(1).Layer;
    const TRectF place = picture->Location();
    picture->SetLocation({place.Left, place.Top, place.Left + 80, place.Top + 60});
    emit view->LayerChanged(picture);
    EXPECT_EQ(picture->Image().size(), QSize(80, 60));
    EXPECT_EQ(qAlpha(picture->Image().pixel(70, 30)), 0) << "the transparent half";
    EXPECT_EQ(picture->Image().pixel(10, 30), qRgba(255, 0, 0, 255));
}

TEST_F(WaterMarkDialogTest, DeleteSelectsTheRowAboveOrTheNewFirstRow) {
    auto dialog = Open("edit_convert.mkv");
    dialog->DeleteClick();
    EXPECT_EQ(dialog->RowCount(), 0) << "nothing to delete";
    for (int i = 0; i < 3; ++i)
        dialog->AddTextClick();
    Retype(dialog->TextEditor(), "third");
    TBitmapLayer* second = dialog->Row(1).Layer;
    dialog->SelectRow(0);
    dialog->DeleteClick();
    ASSERT_EQ(dialog->RowCount(), 2);
    EXPECT_EQ(dialog->SelectedRow(), 0) << "the new first row";
    EXPECT_EQ(dialog->Row(0).Layer, second);
    EXPECT_EQ(dialog->View()->Layers().size(), 2u);
    dialog->SelectRow(1);
    dialog->DeleteClick();
    EXPECT_EQ(dialog->SelectedRow(), 0) << "the row above";
    // No selection: nothing happens.
    dialog->SelectRow(-1);
    dialog->DeleteClick();
    EXPECT_EQ(dialog->RowCount(), 1);
    dialog->SelectRow(0);
    dialog->DeleteClick();
    EXPECT_EQ(dialog->RowCount(), 0);
    EXPECT_TRUE(dialog->View()->Layers().empty());
    EXPECT_EQ(dialog->View()->Selected(), nullptr);
}

TEST_F(WaterMarkDialogTest, TheLayerListDrawsTheFocusedRowAndTheKindIcons) {
    auto dialog = Open("edit_convert.mkv");
    dialog->AddTextClick();
    chosenImage_ = QString::fromStdString(Logo());
    dialog->AddImageClick();
    QListWidget* list = dialog->LayerList();
    ASSERT_EQ(dialog->SelectedRow(), 1);
    const QImage drawn = list->viewport()->grab().toImage();
    const QRect text = list->visualItemRect(list->item(0));
    const QRect picture = list->visualItemRect(list->item(1));
    EXPECT_EQ(text.height(), 24);
    const int right = text.right() - 3;
    EXPECT_EQ(QColor(drawn.pixel(right, text.center().y())), QColor(0xF6, 0xF7, 0xF8));
    EXPECT_EQ(QColor(drawn.pixel(right, picture.center().y())), QColor(0xB9, 0xCC, 0xEC));
    EXPECT_EQ(QColor(drawn.pixel(right, picture.top())), QColor(0x7A, 0xA0, 0xDA)) << "frame";
    // The two icons differ: a letter for text, a small landscape for a picture.
    EXPECT_NE(drawn.copy(2, text.top() + 5, 14, 14),
              drawn.copy(2, picture.top() + 5, 14, 14).convertToFormat(drawn.format()));
}

TEST_F(WaterMarkDialogTest, UpAndDownMoveTheRowAndItsLayerInTheStack) {
    auto dialog = Open("edit_convert.mkv");
    dialog->AddTextClick();
    chosenImage_ = QString::fromStdString(Logo());
    dialog->AddImageClick();
    ASSERT_EQ(dialog->RowCount(), 2);
    TBitmapLayer* picture = dialog->Row(1).Layer;
    EXPECT_EQ(dialog->View()->LayerIndex(picture), 1);
    dialog->UpClick();
    EXPECT_EQ(dialog->SelectedRow(), 0);
    EXPECT_EQ(dialog->Row(0).Layer, picture);
    EXPECT_EQ(dialog->RowText(0), chosenImage_);
    EXPECT_EQ(dialog->View()->LayerIndex(picture), 0);
    dialog->UpClick();
    EXPECT_EQ(dialog->View()->LayerIndex(picture), 0) << "already first";
    dialog->DownClick();
    EXPECT_EQ(dialog->Row(1).Layer, picture);
    EXPECT_EQ(dialog->View()->LayerIndex(picture), 1);
    EXPECT_EQ(dialog->SelectedRow(), 1);
}

TEST_F(WaterMarkDialogTest, PicturesOfAnyFormatAddAndUnreadableOnesLeaveNoRow) {
    auto dialog = Open("edit_convert.mkv");
    test::WriteTextFile(temp_.File("broken.png"), "not a picture");
    chosenImage_ = QString::fromStdString(temp_.File("broken.png"));
    dialog->AddImageClick();
    EXPECT_EQ(dialog->RowCount(), 0);
    EXPECT_TRUE(dialog->View()->Layers().empty());
    ASSERT_EQ(errors_.size(), 1u);
    EXPECT_TRUE(errors_[0].contains("broken.png"));
    chosenImage_.clear(); // cancelled
    dialog->AddImageClick();
    EXPECT_EQ(dialog->RowCount(), 0);

    QImage jpeg(30, 16, QImage::Format_RGB32);
    jpeg.fill(Qt::yellow);
    const std::string file = temp_.File("logo.jpg");
    ASSERT_TRUE(jpeg.save(QString::fromStdString(file)));
    chosenImage_ = QString::fromStdString(file);
    dialog->AddImageClick();
    ASSERT_EQ(dialog->RowCount(), 1);
    const TWmItemRec& row = dialog->Row(0);
    EXPECT_EQ(row.Rec.Kind, TWmRec::kPicture);
    EXPECT_EQ(row.Rec.PictureFile, file);
    EXPECT_NEAR(row.Layer->Location().Width(), 30, 1e-9);
    EXPECT_NEAR((row.Layer->Location().Left + row.Layer->Location().Right) / 2, 160, 1);
    EXPECT_FALSE(dialog->FilledButton()->isEnabled()) << "text controls are off for pictures";
}

TEST_F(WaterMarkDialogTest, OkWithoutChangesWritesTheLoadedValuesBack) {
    const int row = AddJob(MediaFile("edit_convert.mkv"), 6'000'000);
    auto text = std::make_shared<TWmRec>();
    text->Kind = TWmRec::kText;
    text->Text = "Kept";
    text->Font.Size = 18;
    text->Font.Color = 0x0000FF;
    text->TextLeft = -7;
    text->TextTop = 200;
    text->TextWidth = 90;
    text->TextHeight = 30;
    text->TextOpacity = 77;
    text->BackFilled = true;
    text->BackColor = 0x00FFFF;
    text->StartSecond = 1;
    text->EndSecond = 3;
    // A text emptied before an earlier OK: it still gets its row and layer.
    auto blank = std::make_shared<TWmRec>(*text);
    blank->Text = "";
    blank->TextLeft = 5;
    auto logo = std::make_shared<TWmRec>();
    logo->Kind = TWmRec::kPicture;
    logo->PictureFile = Logo();
    logo->PictureLeft = 250;
    logo->PictureTop = -4;
    logo->PictureWidth = 80;
    logo->PictureHeight = 40;
    logo->PictureOpacity = 200;
    logo->StartSecond = 0;
    logo->EndSecond = 6;
    jobs_.EditJob(row, [&](TlvFilesRecord& job) {
        job.Effects.Overlays = {text, blank, logo};
        job.Effects.Saturation = 300;
        job.ProcessImage = true;
    });
    const TlvFilesRecord before = jobs_.Job(row);

    TfrmWaterMark dialog(jobs_, Services());
    ASSERT_TRUE(dialog.Prepare(row));
    ASSERT_TRUE(PumpUntil([&] { return dialog.PictureCount() > 0; }));
    ASSERT_EQ(dialog.RowCount(), 3);
    EXPECT_EQ(dialog.RowText(1), "");
    EXPECT_NE(dialog.Row(1).Layer, nullptr);
    EXPECT_EQ(dialog.SelectedRow(), 2) << "the last row";
    EXPECT_EQ(dialog.EffectSlider(2)->value(), 300);
    dialog.OkClick();

    const TJobEffects& after = jobs_.Job(row).Effects;
    ASSERT_EQ(after.Overlays.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        const TWmRec& a = *before.Effects.Overlays[i];
        const TWmRec& b = *after.Overlays[i];
        EXPECT_EQ(b.Kind, a.Kind) << i;
        EXPECT_EQ(b.Text, a.Text) << i;
        EXPECT_EQ(b.TextLeft, a.TextLeft) << i;
        EXPECT_EQ(b.TextTop, a.TextTop) << i;
        EXPECT_EQ(b.TextWidth, a.TextWidth) << i;
        EXPECT_EQ(b.TextHeight, a.TextHeight) << i;
        EXPECT_EQ(b.TextOpacity, a.TextOpacity) << i;
        EXPECT_EQ(b.Font.Size, a.Font.Size) << i;
        EXPECT_EQ(b.Font.Color, a.Font.Color) << i;
        EXPECT_EQ(b.BackFilled, a.BackFilled) << i;
        EXPECT_EQ(b.BackColor, a.BackColor) << i;
        EXPECT_EQ(b.PictureFile, a.PictureFile) << i;
        EXPECT_EQ(b.PictureLeft, a.PictureLeft) << i;
        EXPECT_EQ(b.PictureTop, a.PictureTop) << i;
        EXPECT_EQ(b.PictureWidth, a.PictureWidth) << i;
        EXPECT_EQ(b.PictureHeight, a.PictureHeight) << i;
        EXPECT_EQ(b.PictureOpacity, a.PictureOpacity) << i;
        EXPECT_EQ(b.StartSecond, a.StartSecond) << i;
        EXPECT_EQ(b.EndSecond, a.EndSecond) << i;
    }
    EXPECT_EQ(after.Brightness, 255);
    EXPECT_EQ(after.Contrast, 0);
    EXPECT_EQ(after.Saturation, 300);
    EXPECT_EQ(after.Exposure, 0);
    EXPECT_TRUE(jobs_.Job(row).ProcessImage);
    EXPECT_FALSE(jobs_.Job(row).ProcessText);
}

TEST_F(WaterMarkDialogTest, ALayerDraggedOutOfTheFrameIsWrittenRoundedAndCancelKeepsTheJob) {
    auto dialog = Open("edit_convert.mkv");
    dialog->AddTextClick();
    TBitmapLayer* layer = dialog->Row(0).Layer;
    // Drag it up and left beyond the frame's corner with the mouse.
    TLayeredImageView* view = dialog->View();
    const TRectF start = layer->Location();
    const QPointF from = view->PictureToView({start.Left + 2, start.Top + 2});
    const QPointF to = view->PictureToView({-20.3, -10.6});
    for (auto [type, at, buttons] :
         {std::tuple{QEvent::MouseButtonPress, from, Qt::MouseButtons(Qt::LeftButton)},
          std::tuple{QEvent::MouseMove, to, Qt::MouseButtons(Qt::LeftButton)},
          std::tuple{QEvent::MouseButtonRelease, to, Qt::MouseButtons(Qt::NoButton)}}) {
        QMouseEvent event(type, at, view->viewport()->mapToGlobal(at),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                          Qt::NoModifier);
        QApplication::sendEvent(view->viewport(), &event);
    }
    const TRectF moved = layer->Location();
    EXPECT_NEAR(moved.Left, -22.3, 0.01);
    EXPECT_NEAR(moved.Top, -12.6, 0.01);
    EXPECT_EQ(dialog->HorizontalSlider()->value(), 0) << "the slider stops at its minimum";
    // A slider move does not take a layer that lies outside its range.
    dialog->HorizontalSlider()->setValue(30);
    EXPECT_DOUBLE_EQ(layer->Location().Left, moved.Left);
    dialog->OpacitySlider()->setValue(200);
    EXPECT_EQ(layer->MasterAlpha(), 200);

    const TlvFilesRecord before = jobs_.Job(0);
    dialog->EffectSlider(0)->setValue(400);
    dialog->CancelClick();
    EXPECT_TRUE(jobs_.Job(0).Effects.Overlays.empty());
    EXPECT_EQ(jobs_.Job(0).Effects.Brightness, 255);

    auto again = std::make_unique<TfrmWaterMark>(jobs_, Services());
    ASSERT_TRUE(again->Prepare(0));
    again->AddTextClick();
    TBitmapLayer* second = again->Row(0).Layer;
    second->SetLocation({-22.5, -12.5, 77.5, 27.5});
    again->OkClick();
    ASSERT_EQ(jobs_.Job(0).Effects.Overlays.size(), 1u);
    const TWmRec& written = *jobs_.Job(0).Effects.Overlays[0];
    EXPECT_EQ(written.TextLeft, -22);
    EXPECT_EQ(written.TextTop, -12);
    EXPECT_EQ(written.TextWidth, 100);
    EXPECT_EQ(written.TextHeight, 40);
    EXPECT_EQ(written.Text, "Add Text");
}

TEST_F(WaterMarkDialogTest, ASourceWithoutLengthGetsARangeOfZeroWithTheUpperThumbAtOne) {
    const int row = AddJob(MediaFile("wm_no_length.m4v"), 0);
    TfrmWaterMark dialog(jobs_, Services());
    ASSERT_TRUE(dialog.Prepare(row));
    ASSERT_TRUE(PumpUntil([&] { return dialog.PictureCount() > 0; }));
    EXPECT_EQ(dialog.SourceDuration(), 0);
    EXPECT_EQ(dialog.Range()->Maximum(), 0);
    EXPECT_EQ(dialog.Range()->Lower(), 0);
    EXPECT_EQ(dialog.Range()->Upper(), 1);
    // A new layer is shown to the end, whatever the length turns out to be.
    dialog.AddTextClick();
    EXPECT_EQ(dialog.Row(0).Rec.EndSecond, kUntilTheEnd);
    EXPECT_EQ(dialog.EndBox()->text(), "end");
    dialog.OkClick();
    EXPECT_TRUE(jobs_.Job(row).Effects.Overlays[0]->ShownAt(3600));
}

TEST_F(WaterMarkDialogTest, TheTimeWindowFollowsTheThumbsAndShowsTheLayerInItsSeconds) {
    auto dialog = Open("edit_convert.mkv");
    dialog->PauseClick();
    dialog->AddTextClick();
    TTrackBar2* range = dialog->Range();
    range->resize(216, 26); // 200 pixels of track: 6 seconds
    // Arrow buttons: start up 2, end down 1.
    const auto button = [&](const char* name) {
        auto* found = dialog->findChild<QToolButton*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    };
    button("btnStartUp1")->click();
    button("btnStartUp1")->click();
    button("btnStartUpEndDown")->click();
    button("btnStartUpEndUp")->click();
    button("btnStartUpEndDown")->click();
    button("btnStartUpStartDown")->click();
    button("btnStartUp1")->click();
    EXPECT_EQ(dialog->Row(0).Rec.StartSecond, 2);
    EXPECT_EQ(dialog->Row(0).Rec.EndSecond, 5);
    EXPECT_EQ(dialog->StartBox()->text(), "0:00:02");
    EXPECT_EQ(dialog->EndBox()->text(), "0:00:05");
    // A click on the track left of the lower thumb moves it there; with Shift one step.
    QTest::mouseClick(range, Qt::LeftButton, Qt::NoModifier, QPoint(range->ThumbX(0), 13));
    EXPECT_EQ(range->Lower(), 0);
    QTest::mouseClick(range, Qt::LeftButton, Qt::ShiftModifier, QPoint(range->ThumbX(6), 13));
    EXPECT_EQ(range->Upper(), 6) << "one step toward the click";
    QTest::mouseClick(range, Qt::LeftButton, Qt::NoModifier, QPoint(range->ThumbX(4), 13));
    EXPECT_EQ(range->Upper(), 4);
    // Keys: arrows step the lower thumb, with Shift the upper one; page keys by two.
    QTest::keyClick(range, Qt::Key_Right);
    EXPECT_EQ(range->Lower(), 1);
    QTest::keyClick(range, Qt::Key_PageUp, Qt::ShiftModifier);
    EXPECT_EQ(range->Upper(), 6);
    QTest::keyClick(range, Qt::Key_PageUp);
    QTest::keyClick(range, Qt::Key_PageUp);
    QTest::keyClick(range, Qt::Key_PageUp);
    EXPECT_EQ(range->Lower(), 5) << "stays below the upper thumb";
    EXPECT_EQ(dialog->Row(0).Rec.StartSecond, 5);
    EXPECT_EQ(dialog->Row(0).Rec.EndSecond, 6);

    // Shown from 5 s on: hidden on the paused picture, shown once playback gets there.
    TBitmapLayer* layer = dialog->Row(0).Layer;
    EXPECT_FALSE(layer->isVisible());
    dialog->MediaPlayer().Seek(5'200'000, 0, true);
    ASSERT_TRUE(PumpUntil([&] { return layer->isVisible(); }));
    int64_t time = -1;
    dialog->PreviewFrame(&time);
    EXPECT_GE(time, 5'000'000);
}

TEST_F(WaterMarkDialogTest, EffectSlidersPreviewThePausedPictureAndResetMakesThemNeutral) {
    auto dialog = Open("edit_convert.mkv");
    dialog->PauseClick();
    ASSERT_TRUE(PumpUntil([&] { return dialog->MediaPlayer().Paused(); }));
    PumpFor(std::chrono::milliseconds(200));
    const QImage plain = dialog->View()->Picture().copy();
    dialog->SetPage(1);
    dialog->EffectSpin(0)->stepBy(100); // the spin box sets its slider
    EXPECT_EQ(dialog->EffectSlider(0)->value(), 355);
    const QImage brighter = dialog->View()->Picture();
    ASSERT_EQ(brighter.size(), plain.size());
    // Exactly what the conversion's passes make of the paused picture.
    EXPECT_EQ(brighter.convertToFormat(QImage::Format_BGR888), Processed(plain, 355, 0));
    dialog->EffectSlider(3)->setValue(-200);
    EXPECT_EQ(dialog->View()->Picture().convertToFormat(QImage::Format_BGR888),
              Processed(plain, 355, -200));
    dialog->ResetClick();
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(dialog->EffectSpin(i)->value(), dialog->EffectSlider(i)->value());
    EXPECT_EQ(dialog->EffectSlider(0)->value(), 255);
    EXPECT_EQ(dialog->EffectSlider(1)->value(), 0);
    EXPECT_EQ(dialog->EffectSlider(2)->value(), 255);
    EXPECT_EQ(dialog->EffectSlider(3)->value(), 0);
    EXPECT_EQ(dialog->View()->Picture(), plain) << "neutral values show the picture as it came";
}

TEST_F(WaterMarkDialogTest, TheJobsCropShowsAsAGreenOutlineOnThePreview) {
    const int row = AddJob(MediaFile("edit_convert.mkv"), 6'000'000);
    jobs_.EditJob(row, [](TlvFilesRecord& job) {
        job.CropLeft = 20;
        job.CropTop = 10;
        job.CropRight = 40;
        job.CropBottom = 30;
    });
    TfrmWaterMark dialog(jobs_, Services());
    ASSERT_TRUE(dialog.Prepare(row));
    ASSERT_TRUE(PumpUntil([&] { return dialog.PictureCount() > 1; }));
    const QImage picture = dialog.View()->Picture();
    // The left edge runs through the red bar at the picture's left.
    const QColor edge(picture.pixel(20, 120));
    EXPECT_GT(edge.green(), 100);
    EXPECT_LT(edge.red(), 60);
    const QColor inside(picture.pixel(25, 120));
    EXPECT_GT(inside.red(), 150) << "the inside stays as it is";
    const QColor bottom(picture.pixel(100, 240 - 30 - 1));
    EXPECT_GT(bottom.green(), 100);
    EXPECT_LT(bottom.red() + bottom.blue(), 120);
}

TEST_F(WaterMarkDialogTest, HelpOpensTheLocalPage) {
    auto dialog = Open("edit_convert.mkv");
    TWaterMarkServices services = Services();
    const std::string page = std::string(TOVIK_DATA_DIR) + "/help/watermark.html";
    services.HelpFile = page;
    TfrmWaterMark withPage(jobs_, services);
    withPage.HelpClick();
    ASSERT_EQ(openedUrls_.size(), 1u);
    EXPECT_EQ(openedUrls_[0], QUrl::fromLocalFile(QString::fromStdString(page)));
    EXPECT_TRUE(fs::exists(page));
    EXPECT_TRUE(errors_.empty());
}

} // namespace
} // namespace tovik::test
