#include "effects/OverlayRenderer.h"

#include <QFont>
#include <QFontMetrics>
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

QImage ReadPictureImage(const std::string& fileName) {
    return QImage(QString::fromStdString(fileName)); // null when the file does not read
}

TLayerPicture MakeLayerPicture(const QImage& image, int width, int height) {
    QImage sized = image;
    if (width > 0 && height > 0 && (width != image.width() || height != image.height()))
        sized = image.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    TLayerPicture picture;
    picture.Pixels.SetSize(sized.width(), sized.height());
    if (sized.hasAlphaChannel()) {
        // Straight (not premultiplied) colour and alpha: the blend weighs the colour itself.
        const QImage argb = sized.convertToFormat(QImage::Format_ARGB32);
        picture.Alpha.resize(static_cast<size_t>(argb.width()) * argb.height());
        for (int y = 0; y < argb.height(); ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
            uint8_t* pixel = picture.Pixels.ScanLine(y);
            uint8_t* alpha = picture.Alpha.data() + static_cast<size_t>(y) * argb.width();
            for (int x = 0; x < argb.width(); ++x, pixel += 3) {
                pixel[0] = static_cast<uint8_t>(qBlue(line[x]));
                pixel[1] = static_cast<uint8_t>(qGreen(line[x]));
                pixel[2] = static_cast<uint8_t>(qRed(line[x]));
                alpha[x] = static_cast<uint8_t>(qAlpha(line[x]));
            }
        }
        return picture;
    }
    const QImage bgr = sized.convertToFormat(QImage::Format_BGR888);
    for (int y = 0; y < bgr.height(); ++y)
        std::memcpy(picture.Pixels.ScanLine(y), bgr.constScanLine(y),
                    static_cast<size_t>(bgr.width()) * 3);
    return picture;
}

QImage LayerPictureImage(const TLayerPicture& picture) {
    const int width = picture.Pixels.Width();
    QImage image(width, picture.Pixels.Height(), QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        const uint8_t* pixel = picture.Pixels.ScanLine(y);
        for (int x = 0; x < width; ++x, pixel += 3) {
            const int alpha =
                picture.HasAlpha() ? picture.Alpha[static_cast<size_t>(y) * width + x] : 255;
            line[x] = qRgba(pixel[2], pixel[1], pixel[0], alpha);
        }
    }
    return image;
}

void BlendPicture(TBitmap& frame, const TLayerPicture& picture, int x, int y, int opacity) {
    if (picture.HasAlpha())
        BlendBitmapAlpha(frame, picture.Pixels, picture.Alpha.data(), picture.Pixels.Width(), x, y,
                         opacity);
    else
        BlendBitmap(frame, picture.Pixels, x, y, opacity);
}

const TLayerPicture& TPictureCache::Get(const std::string& fileName, int width, int height) {
    if (width <= 0 || height <= 0)
        width = height = 0;
    std::lock_guard lock(mutex_);
    const auto key = std::make_tuple(fileName, width, height);
    auto found = pictures_.find(key);
    if (found != pictures_.end())
        return found->second;
    const QImage image = ReadPictureImage(fileName);
    if (image.isNull())
        throw std::runtime_error("Cannot load picture file \"" + fileName + "\"");
    return pictures_[key] = MakeLayerPicture(image, width, height);
}

void TPictureCache::Clear() {
    std::lock_guard lock(mutex_);
    pictures_.clear();
}

QFont LayerFont(const TFontSpec& spec) {
    return ToQFont(spec);
}

QSize TextExtent(const TFontSpec& spec, const std::string& text) {
    // Measured on an image, the kind of device the text is drawn on.
    QImage device(1, 1, QImage::Format_BGR888);
    QPainter painter(&device);
    painter.setFont(ToQFont(spec));
    const QFontMetrics metrics = painter.fontMetrics();
    return QSize(metrics.horizontalAdvance(QString::fromStdString(text)), metrics.height());
}

namespace {

void DrawLayerText(QImage& image, const TWmRec& layer) {
    QPainter painter(&image);
    painter.setBackgroundMode(layer.BackFilled ? Qt::OpaqueMode : Qt::TransparentMode);
    painter.setBackground(ToQColor(layer.BackColor));
    painter.setFont(ToQFont(layer.Font));
    painter.setPen(ToQColor(layer.Font.Color));
    painter.drawText(QRect(0, 0, layer.TextWidth, layer.TextHeight),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                     QString::fromStdString(layer.Text));
}

} // namespace

QImage TextLayerImage(const TWmRec& layer) {
    if (layer.TextWidth <= 0 || layer.TextHeight <= 0)
        return QImage();
    QImage image(layer.TextWidth, layer.TextHeight, QImage::Format_ARGB32_Premultiplied);
    image.fill(layer.BackFilled ? ToQColor(layer.BackColor) : QColor(Qt::transparent));
    DrawLayerText(image, layer);
    return image;
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
    DrawLayerText(image, layer);
    BlendBitmap(frame, box, layer.TextLeft, layer.TextTop, layer.TextOpacity);
}

void RenderJobEffects(TBitmap& frame, const TJobEffects& job, int64_t frameTime,
                      TPictureCache& pictures) {
    std::lock_guard canvas(frame.CanvasLock());
    ApplyJobColors(frame, job);
    const int64_t second = frameTime / 1000000;
    for (const auto& layer : job.Overlays) {
        if (!layer || !layer->ShownAt(second))
            continue;
        if (layer->Kind == TWmRec::kText && !layer->Text.empty())
            DrawTextLayer(frame, *layer);
        else if (layer->Kind == TWmRec::kPicture && !layer->PictureFile.empty())
            BlendPicture(
                frame, pictures.Get(layer->PictureFile, layer->PictureWidth, layer->PictureHeight),
                layer->PictureLeft, layer->PictureTop, layer->PictureOpacity);
    }
}

} // namespace tovik
