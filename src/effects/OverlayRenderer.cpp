#include "effects/OverlayRenderer.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <cstring>
#include <stdexcept>

namespace tovik {

namespace {

QImage WrapBitmap(TBitmap& bitmap) {
    return QImage(bitmap.Bits(), bitmap.Width(), bitmap.Height(), bitmap.BytesPerLine(),
                  QImage::Format_BGR888);
}

QColor ToQColor(TColorRef color) {
    return QColor::fromRgb(ColorRefToRgb(color));
}

QFont ToQFont(const TFontSpec& spec) {
    QFont font(QString::fromStdString(spec.Name));
    font.setPointSize(spec.Size > 0 ? spec.Size : 1);
    font.setBold(spec.Bold);
    font.setItalic(spec.Italic);
    font.setUnderline(spec.Underline);
    font.setStrikeOut(spec.StrikeOut);
    return font;
}

// Copies the part of frame under the box at (left, top) into box.
void CopyFromFrame(const TBitmap& frame, TBitmap& box, int left, int top) {
    for (int row = 0; row < box.Height(); ++row) {
        const int frameRow = top + row;
        if (frameRow < 0 || frameRow >= frame.Height())
            continue;
        const int firstColumn = std::max(0, -left);
        const int lastColumn = std::min(box.Width(), frame.Width() - left);
        if (lastColumn <= firstColumn)
            return;
        std::memcpy(box.ScanLine(row) + firstColumn * 3,
                    frame.ScanLine(frameRow) + (left + firstColumn) * 3,
                    static_cast<size_t>(lastColumn - firstColumn) * 3);
    }
}

} // namespace

const TBitmap& TPictureCache::Get(const std::string& fileName) {
    std::lock_guard lock(mutex_);
    auto found = pictures_.find(fileName);
    if (found != pictures_.end())
        return found->second;
    QImage image;
    if (!image.load(QString::fromStdString(fileName)) || image.isNull())
        throw std::runtime_error("Cannot load picture file \"" + fileName + "\"");
    image = image.convertToFormat(QImage::Format_BGR888);
    TBitmap& picture = pictures_[fileName];
    picture.SetSize(image.width(), image.height());
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(picture.ScanLine(y), image.constScanLine(y),
                    static_cast<size_t>(image.width()) * 3);
    return picture;
}

void TPictureCache::Clear() {
    std::lock_guard lock(mutex_);
    pictures_.clear();
}

void DrawTextLayer(TBitmap& frame, const TWmRec& layer) {
    if (layer.TextWidth <= 0 || layer.TextHeight <= 0)
        return;
    TBitmap box(layer.TextWidth, layer.TextHeight);
    const QColor back = ToQColor(layer.BackColor);
    if (layer.BackFilled) {
        for (int y = 0; y < box.Height(); ++y)
            for (int x = 0; x < box.Width(); ++x) {
                uint8_t* pixel = box.ScanLine(y) + 3 * x;
                pixel[0] = static_cast<uint8_t>(back.blue());
                pixel[1] = static_cast<uint8_t>(back.green());
                pixel[2] = static_cast<uint8_t>(back.red());
            }
    } else {
        // Transparent background: the glyphs go onto a copy of the frame, so blending the
        // box back changes nothing but the glyph pixels.
        CopyFromFrame(frame, box, layer.TextLeft, layer.TextTop);
    }
    QImage image = WrapBitmap(box);
    {
        QPainter painter(&image);
        painter.setBackgroundMode(layer.BackFilled ? Qt::OpaqueMode : Qt::TransparentMode);
        painter.setBackground(back);
        painter.setFont(ToQFont(layer.Font));
        painter.setPen(ToQColor(layer.Font.Color));
        painter.drawText(QRect(0, 0, layer.TextWidth, layer.TextHeight),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                         QString::fromStdString(layer.Text));
    }
    BlendBitmap(frame, box, layer.TextLeft, layer.TextTop, layer.TextOpacity);
}

void RenderJobEffects(TBitmap& frame, const TJobEffects& job, int64_t frameTime,
                      TPictureCache& pictures) {
    std::lock_guard canvas(frame.CanvasLock());
    if (job.HasColorAdjust())
        ApplyColorAndExposure(frame, job.Brightness, job.Contrast, job.Saturation,
                              static_cast<float>(job.Exposure));
    else if (job.Exposure != kNeutralExposure)
        ApplyExposure(frame, static_cast<float>(job.Exposure));
    const int64_t second = frameTime / 1000000;
    for (const auto& layer : job.Overlays) {
        if (!layer || !layer->ShownAt(second))
            continue;
        if (layer->Kind == TWmRec::kText && !layer->Text.empty())
            DrawTextLayer(frame, *layer);
        else if (layer->Kind == TWmRec::kPicture && !layer->PictureFile.empty())
            BlendBitmap(frame, pictures.Get(layer->PictureFile), layer->PictureLeft,
                        layer->PictureTop, layer->PictureOpacity);
    }
}

} // namespace tovik
