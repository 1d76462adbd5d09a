// The watermark dialog's layers: the layer list and its view layers, adding, deleting and
// ordering them, and the controls that show and change the selected one.

#include "dialogs/layers/LayeredImageView.h"
#include "dialogs/watermark/LayerListDelegate.h"
#include "dialogs/watermark/TrackBar2.h"
#include "dialogs/watermark/WaterMarkDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QSlider>
#include <algorithm>
#include <cmath>

namespace tovik {

using layers::TRectF;

namespace {

// Holds a flag up for a scope: the controls are being loaded, not changed by the user.
class TLoading {
public:
    explicit TLoading(bool& flag) : flag_(flag), saved_(flag) { flag_ = true; }
    ~TLoading() { flag_ = saved_; }
    TLoading(const TLoading&) = delete;
    TLoading& operator=(const TLoading&) = delete;

private:
    bool& flag_;
    bool saved_;
};

TColorRef BoxColor(const QComboBox* box) {
    return box->currentData().toUInt();
}

void SetBoxColor(QComboBox* box, TColorRef color) {
    const int index = box->findData(QVariant::fromValue<uint>(color));
    if (index >= 0)
        box->setCurrentIndex(index);
}

TRectF Centred(const layers::TPointF& centre, double width, double height) {
    return {centre.X - width / 2, centre.Y - height / 2, centre.X + width / 2,
            centre.Y + height / 2};
}

} // namespace

int TfrmWaterMark::RowCount() const {
    return static_cast<int>(rows_.size());
}

int TfrmWaterMark::SelectedRow() const {
    const int row = lsbox->currentRow();
    return row >= 0 && row < RowCount() ? row : -1;
}

QString TfrmWaterMark::RowText(int row) const {
    const QListWidgetItem* item = lsbox->item(row);
    return item ? item->text() : QString();
}

int TfrmWaterMark::RowOf(const TBitmapLayer* layer) const {
    for (int row = 0; row < RowCount(); ++row)
        if (rows_[static_cast<size_t>(row)]->Layer == layer)
            return row;
    return -1;
}

int TfrmWaterMark::AppendRow(const QString& text, std::unique_ptr<TWmItemRec> item) {
    auto* listItem = new QListWidgetItem(text);
    listItem->setData(kLayerKindRole, item->Rec.Kind);
    rows_.push_back(std::move(item));
    pictures_.emplace_back();
    const TLoading loading(loadingControls_);
    lsbox->addItem(listItem);
    return RowCount() - 1;
}

void TfrmWaterMark::RemoveRow(int row) {
    const auto index = static_cast<size_t>(row);
    ImgView->RemoveLayer(rows_[index]->Layer);
    rows_.erase(rows_.begin() + row);
    pictures_.erase(pictures_.begin() + row);
    const TLoading loading(loadingControls_);
    delete lsbox->takeItem(row);
}

void TfrmWaterMark::MoveRow(int from, int to) {
    const TLoading loading(loadingControls_);
    QListWidgetItem* item = lsbox->takeItem(from);
    lsbox->insertItem(to, item);
    std::swap(rows_[static_cast<size_t>(from)], rows_[static_cast<size_t>(to)]);
    std::swap(pictures_[static_cast<size_t>(from)], pictures_[static_cast<size_t>(to)]);
}

TFontSpec TfrmWaterMark::FontFromControls() const {
    TFontSpec font;
    font.Name = fontCmb->currentFont().family().toStdString();
    font.Size = std::max(fontSizeCmb->currentText().toInt(), 1);
    font.Bold = chkBold->isChecked();
    font.Italic = chkItalic->isChecked();
    font.Underline = chkUnderline->isChecked();
    font.StrikeOut = chkStrikeOut->isChecked();
    font.Color = BoxColor(colorBoxText);
    return font;
}

TBitmapLayer* TfrmWaterMark::AddTextLayer(TWmRec& rec, const QString& text, const TRectF& place,
                                          int alpha) {
    rec.Text = text.toStdString();
    rec.TextWidth = RoundToInt(place.Width());
    rec.TextHeight = RoundToInt(place.Height());
    return ImgView->AddLayer(TextLayerImage(rec), place, alpha, TWmRec::kText);
}

void TfrmWaterMark::RefreshLayerImage(int row) {
    TWmItemRec& item = *rows_[static_cast<size_t>(row)];
    const TRectF place = item.Layer->Location();
    const int width = std::max(RoundToInt(place.Width()), 1);
    const int height = std::max(RoundToInt(place.Height()), 1);
    // The layer shows what the conversion will draw in its box: text at its natural size
    // from the corner, a picture scaled to the box.
    if (item.Rec.Kind == TWmRec::kText) {
        TWmRec rec = item.Rec;
        rec.Text = RowText(row).toStdString();
        rec.TextWidth = width;
        rec.TextHeight = height;
        item.Layer->SetImage(TextLayerImage(rec));
    } else {
        const QImage& picture = pictures_[static_cast<size_t>(row)];
        if (!picture.isNull() && item.Layer->Image().size() != QSize(width, height))
            item.Layer->SetImage(LayerPictureImage(MakeLayerPicture(picture, width, height)));
    }
}

void TfrmWaterMark::AddTextClick() {
    ShowEditor(false);
    auto item = std::make_unique<TWmItemRec>();
    TWmRec& rec = item->Rec;
    rec.Kind = TWmRec::kText;
    rec.Font = FontFromControls();
    rec.BackColor = BoxColor(colorBoxBackground);
    rec.BackFilled = false;
    rec.StartSecond = 0;
    rec.EndSecond = NewLayerEnd(duration_);
    const QString text = QStringLiteral("Add Text");
    const QSize extent = TextExtent(rec.Font, text.toStdString());
    item->Layer = AddTextLayer(rec, text,
                               Centred(ImgView->CentreInPicture(), extent.width(), extent.height()),
                               trcTextTran->value());
    const int row = AppendRow(text, std::move(item));
    trcTextHoriz->setEnabled(true);
    trcTextVert->setEnabled(true);
    SelectRow(row);
    EditRowText(row);
}

void TfrmWaterMark::AddImageClick() {
    ShowEditor(false);
    const QString file = services_.ChooseImageFile ? services_.ChooseImageFile(this) : QString();
    if (file.isEmpty())
        return;
    // Read first: a file that is no picture leaves no row behind.
    const QImage picture = ReadPictureImage(file.toStdString());
    if (picture.isNull()) {
        if (services_.ShowError)
            services_.ShowError(this, QStringLiteral("Warning"),
                                QStringLiteral("Cannot read the picture file ") + file);
        return;
    }
    auto item = std::make_unique<TWmItemRec>();
    TWmRec& rec = item->Rec;
    rec.Kind = TWmRec::kPicture;
    rec.PictureFile = file.toStdString();
    const TRectF place = Centred(ImgView->CentreInPicture(), picture.width(), picture.height());
    rec.PictureLeft = RoundToInt(place.Left);
    rec.PictureTop = RoundToInt(place.Top);
    rec.PictureWidth = picture.width();
    rec.PictureHeight = picture.height();
    rec.PictureOpacity = trcTextTran->value();
    rec.StartSecond = 0;
    rec.EndSecond = NewLayerEnd(duration_);
    item->Layer = ImgView->AddLayer(LayerPictureImage(MakeLayerPicture(picture, 0, 0)), place,
                                    rec.PictureOpacity, TWmRec::kPicture);
    const int row = AppendRow(file, std::move(item));
    pictures_[static_cast<size_t>(row)] = picture;
    SelectRow(row);
}

void TfrmWaterMark::RestoreLayers() {
    for (const auto& overlay : jobs_.Job(jobRow_).Effects.Overlays) {
        if (!overlay)
            continue;
        auto item = std::make_unique<TWmItemRec>();
        item->Rec = *overlay;
        TWmRec& rec = item->Rec;
        QImage picture;
        QString text;
        if (rec.Kind == TWmRec::kText) {
            // Blank text too gets its row and a layer of its box, so every row has both; the
            // conversion skips it as before unless the user writes a text.
            text = QString::fromStdString(rec.Text);
            const TRectF place{static_cast<double>(rec.TextLeft), static_cast<double>(rec.TextTop),
                               static_cast<double>(rec.TextLeft + std::max(rec.TextWidth, 1)),
                               static_cast<double>(rec.TextTop + std::max(rec.TextHeight, 1))};
            item->Layer = AddTextLayer(rec, text, place, rec.TextOpacity);
        } else {
            // A picture that cannot be read any more keeps its row and place (OK writes it
            // back as it was); its layer shows nothing.
            text = QString::fromStdString(rec.PictureFile);
            picture = ReadPictureImage(rec.PictureFile);
            const int width = rec.PictureWidth > 0 ? rec.PictureWidth : picture.width();
            const int height = rec.PictureHeight > 0 ? rec.PictureHeight : picture.height();
            const TRectF place{static_cast<double>(rec.PictureLeft),
                               static_cast<double>(rec.PictureTop),
                               static_cast<double>(rec.PictureLeft + std::max(width, 1)),
                               static_cast<double>(rec.PictureTop + std::max(height, 1))};
            const QImage image = picture.isNull()
                                     ? QImage()
                                     : LayerPictureImage(MakeLayerPicture(picture, width, height));
            item->Layer = ImgView->AddLayer(image, place, rec.PictureOpacity, TWmRec::kPicture);
        }
        const int row = AppendRow(text, std::move(item));
        pictures_[static_cast<size_t>(row)] = picture;
    }
    if (RowCount() > 0)
        SelectRow(RowCount() - 1);
}

void TfrmWaterMark::DeleteClick() {
    ShowEditor(false);
    const int row = SelectedRow();
    if (row < 0)
        return;
    RemoveRow(row);
    if (RowCount() == 0)
        SelectRow(-1);
    else
        SelectRow(row == 0 ? 0 : row - 1);
}

void TfrmWaterMark::UpClick() {
    ShowEditor(false);
    const int row = SelectedRow();
    if (row <= 0 || !ImgView->Selected())
        return;
    TBitmapLayer* layer = rows_[static_cast<size_t>(row)]->Layer;
    MoveRow(row, row - 1);
    ImgView->SetLayerIndex(layer, ImgView->LayerIndex(layer) - 1);
    SelectRow(row - 1);
}

void TfrmWaterMark::DownClick() {
    ShowEditor(false);
    const int row = SelectedRow();
    if (row < 0 || row + 1 >= RowCount() || !ImgView->Selected())
        return;
    TBitmapLayer* layer = rows_[static_cast<size_t>(row)]->Layer;
    MoveRow(row, row + 1);
    ImgView->SetLayerIndex(layer, ImgView->LayerIndex(layer) + 1);
    SelectRow(row + 1);
}

void TfrmWaterMark::SelectRow(int row) {
    const TLoading loading(loadingControls_);
    if (row < 0 || row >= RowCount()) {
        lsbox->setCurrentRow(-1);
        ImgView->Select(nullptr);
        return;
    }
    lsbox->setCurrentRow(row);
    const TWmItemRec& item = *rows_[static_cast<size_t>(row)];
    ImgView->Select(item.Layer);
    const TRectF place = item.Layer->Location();
    trcTextHoriz->setValue(RoundToInt(place.Left));
    edtTextHoriz->setText(QString::number(RoundToInt(place.Left)));
    trcTextVert->setValue(RoundToInt(place.Top));
    edtTextVert->setText(QString::number(RoundToInt(place.Top)));
    trcTextTran->setValue(item.Layer->MasterAlpha());
    edtTextTran->setText(QString::number(item.Layer->MasterAlpha()));
    ShowRange(item);
    const bool text = item.Rec.Kind == TWmRec::kText;
    if (text) {
        SetBoxColor(colorBoxBackground, item.Rec.BackColor);
        SetBoxColor(colorBoxText, item.Rec.Font.Color);
        const int size = fontSizeCmb->findText(QString::number(item.Rec.Font.Size));
        if (size >= 0)
            fontSizeCmb->setCurrentIndex(size);
        fontCmb->setCurrentFont(QFont(QString::fromStdString(item.Rec.Font.Name)));
        chkBold->setChecked(item.Rec.Font.Bold);
        chkItalic->setChecked(item.Rec.Font.Italic);
        chkUnderline->setChecked(item.Rec.Font.Underline);
        chkStrikeOut->setChecked(item.Rec.Font.StrikeOut);
        (item.Rec.BackFilled ? rb1 : rb2)->setChecked(true);
    }
    for (QWidget* control :
         std::initializer_list<QWidget*>{rb1, rb2, colorBoxText, fontCmb, fontSizeCmb, chkBold,
                                         chkItalic, chkUnderline, chkStrikeOut})
        control->setEnabled(text);
    colorBoxBackground->setEnabled(text && item.Rec.BackFilled);
}

void TfrmWaterMark::ShowRange(const TWmItemRec& item) {
    // Thumbs in an order the thumb rules leave alone, then the row's own values in the boxes.
    if (item.Rec.StartSecond < trcRange->Upper()) {
        trcRange->SetLower(item.Rec.StartSecond);
        trcRange->SetUpper(item.Rec.EndSecond);
    } else {
        trcRange->SetUpper(item.Rec.EndSecond);
        trcRange->SetLower(item.Rec.StartSecond);
    }
    edtStart->setText(QString::fromStdString(WindowText(item.Rec.StartSecond)));
    edtEnd->setText(QString::fromStdString(WindowText(item.Rec.EndSecond)));
}

void TfrmWaterMark::RangeChanged() {
    if (loadingControls_)
        return;
    const int row = SelectedRow();
    if (row < 0)
        return;
    TWmRec& rec = rows_[static_cast<size_t>(row)]->Rec;
    rec.StartSecond = trcRange->Lower();
    rec.EndSecond = trcRange->Upper();
    edtStart->setText(QString::fromStdString(WindowText(rec.StartSecond)));
    edtEnd->setText(QString::fromStdString(WindowText(rec.EndSecond)));
    if (picturePts_ >= 0)
        UpdateLayerWindows(picturePts_ / 1000000);
}

void TfrmWaterMark::StepRange(bool upper, int step) {
    if (upper)
        trcRange->SetUpper(trcRange->Upper() + step);
    else
        trcRange->SetLower(trcRange->Lower() + step);
}

void TfrmWaterMark::StoreTextProperty() {
    if (loadingControls_)
        return;
    const int row = SelectedRow();
    if (row < 0 || rows_[static_cast<size_t>(row)]->Rec.Kind != TWmRec::kText)
        return;
    TWmRec& rec = rows_[static_cast<size_t>(row)]->Rec;
    rec.Font = FontFromControls();
    rec.BackColor = BoxColor(colorBoxBackground);
    rec.BackFilled = rb1->isChecked();
    if (editedRow_ == row && edt1->isVisible())
        lsbox->item(row)->setText(edt1->text());
    RebuildTextLayer();
}

void TfrmWaterMark::RebuildTextLayer() {
    const int row = SelectedRow();
    if (row < 0)
        return;
    TWmItemRec& item = *rows_[static_cast<size_t>(row)];
    const QString text = RowText(row);
    // Blank text: the layer keeps its look.
    if (text.trimmed().isEmpty())
        return;
    // The layer takes the text's natural size again, at the same corner, in the same place
    // of the stack (the conversion draws in list order).
    const QSize extent = TextExtent(item.Rec.Font, text.toStdString());
    const TRectF old = item.Layer->Location();
    item.Layer->SetLocation(
        {old.Left, old.Top, old.Left + extent.width(), old.Top + extent.height()});
    RefreshLayerImage(row);
    ImgView->Select(item.Layer);
}

void TfrmWaterMark::LayerMouseDown(TBitmapLayer* layer) {
    if (pageControl1->currentIndex() != 0)
        return;
    ShowEditor(false);
    SelectRow(RowOf(layer));
}

void TfrmWaterMark::LayerMoved() {
    TBitmapLayer* layer = ImgView->Selected();
    const int row = RowOf(layer);
    if (row < 0)
        return;
    {
        const TLoading loading(loadingControls_);
        const TRectF place = layer->Location();
        trcTextHoriz->setValue(RoundToInt(place.Left));
        edtTextHoriz->setText(QString::number(RoundToInt(place.Left)));
        trcTextVert->setValue(RoundToInt(place.Top));
        edtTextVert->setText(QString::number(RoundToInt(place.Top)));
    }
    const QSize box(RoundToInt(layer->Location().Width()), RoundToInt(layer->Location().Height()));
    if (layer->Image().size() != box)
        RefreshLayerImage(row);
}

void TfrmWaterMark::PositionSliderMoved(bool horizontal, int value) {
    (horizontal ? edtTextHoriz : edtTextVert)->setText(QString::number(value));
    TBitmapLayer* layer = ImgView->Selected();
    if (loadingControls_ || !layer)
        return;
    const QSlider* slider = horizontal ? trcTextHoriz : trcTextVert;
    TRectF place = layer->Location();
    // A layer dragged beyond the slider's range stays where it is.
    const int edge = RoundToInt(horizontal ? place.Left : place.Top);
    if (edge < slider->minimum() || edge > slider->maximum())
        return;
    if (horizontal) {
        place.Right += value - place.Left;
        place.Left = value;
    } else {
        place.Bottom += value - place.Top;
        place.Top = value;
    }
    layer->SetLocation(place);
    ImgView->viewport()->update();
}

void TfrmWaterMark::UpdateLayerWindows(int64_t second) {
    for (const auto& item : rows_)
        item->Layer->setVisible(item->Rec.ShownAt(second));
}

void TfrmWaterMark::EditRowText(int row) {
    if (row < 0 || row >= RowCount() || rows_[static_cast<size_t>(row)]->Rec.Kind != TWmRec::kText)
        return;
    SelectRow(row);
    const QRect rect = lsbox->visualItemRect(lsbox->item(row));
    QFont font = edt1->font();
    font.setPointSize(11);
    edt1->setFont(font);
    edt1->setGeometry(21, rect.top() + 2, lsbox->viewport()->width() - 25, 20);
    edt1->setText(RowText(row));
    // Typing replaces the text, as when renaming anything else.
    edt1->selectAll();
    editedRow_ = row;
    edt1->show();
    edt1->setFocus();
}

void TfrmWaterMark::ShowEditor(bool show) {
    if (!show) {
        edt1->hide();
        editedRow_ = -1;
    }
}

} // namespace tovik
