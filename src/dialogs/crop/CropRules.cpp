#include "dialogs/crop/CropRules.h"

#include "workspace/picture/FittedRect.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tovik {

namespace {

// Rounded to nearest, halves to even.
int64_t RoundHalfEven(long double value) {
    const long double floor = std::floor(value);
    const long double rest = value - floor;
    auto result = static_cast<int64_t>(floor);
    if (rest > 0.5L || (rest == 0.5L && result % 2 != 0))
        ++result;
    return result;
}

int EvenScaled(int margin, int sourceSize, int pictureSize) {
    const long double scaled =
        static_cast<long double>(margin) * sourceSize / static_cast<long double>(pictureSize);
    // Division toward zero, as the margins' own sign says.
    return static_cast<int>(RoundHalfEven(scaled) / 2 * 2);
}

int& Side(TCropMargins& margins, TCropSide side) {
    switch (side) {
    case TCropSide::csUp:
        return margins.Up;
    case TCropSide::csDown:
        return margins.Down;
    case TCropSide::csLeft:
        return margins.Left;
    case TCropSide::csRight:
        break;
    }
    return margins.Right;
}

} // namespace

TCropBox PictureRectangle(int pictureWidth, int pictureHeight, int previewWidth,
                          int previewHeight) {
    const TRect fitted = FittedRect(pictureWidth, pictureHeight, previewWidth, previewHeight);
    const TCropBox box{fitted.Left + 1, fitted.Top + 1, fitted.Width() - 2, fitted.Height() - 2};
    if (box.Width < kTrackerMinimum || box.Height < kTrackerMinimum)
        return {};
    return box;
}

TCropMargins MarginsBetween(const TCropBox& rectangle, const TCropBox& picture) {
    return {rectangle.Top - picture.Top, picture.Bottom() - rectangle.Bottom(),
            rectangle.Left - picture.Left, picture.Right() - rectangle.Right()};
}

TCropBox RectangleFor(const TCropMargins& margins, const TCropBox& picture) {
    return {picture.Left + margins.Left, picture.Top + margins.Up,
            picture.Width - margins.Right - margins.Left,
            picture.Height - margins.Down - margins.Up};
}

TSourceCrop SourceCropOf(const TCropMargins& margins, const TCropBox& picture, int sourceWidth,
                         int sourceHeight) {
    // A picture that was never shown has no size to scale by: nothing is cut.
    if (picture.Empty() || sourceWidth <= 0 || sourceHeight <= 0)
        return {};
    return {EvenScaled(margins.Up, sourceHeight, picture.Height),
            EvenScaled(margins.Down, sourceHeight, picture.Height),
            EvenScaled(margins.Left, sourceWidth, picture.Width),
            EvenScaled(margins.Right, sourceWidth, picture.Width)};
}

TCropMargins PreviewMarginsOf(const TBorderMargins& bars, const TCropBox& picture, int sourceWidth,
                              int sourceHeight) {
    if (picture.Empty() || sourceWidth <= 0 || sourceHeight <= 0)
        return {};
    const auto scale = [](int bar, int pictureSize, int sourceSize) {
        return static_cast<int>(static_cast<int64_t>(std::max(bar, 0)) * pictureSize / sourceSize);
    };
    return {scale(bars.Top, picture.Height, sourceHeight),
            scale(bars.Bottom, picture.Height, sourceHeight),
            scale(bars.Left, picture.Width, sourceWidth),
            scale(bars.Right, picture.Width, sourceWidth)};
}

void TCropEditor::Start(const TCropBox& picture, const TCropMargins& margins) {
    picture_ = picture;
    if (!HasPicture()) {
        StartWithoutPicture();
        return;
    }
    margins_ = Fitted(margins);
    rectangle_ = RectangleFor(margins_, picture_);
    Pressed();
}

void TCropEditor::StartWithoutPicture() {
    picture_ = {};
    rectangle_ = {};
    margins_ = {};
    rememberedLeft_ = rememberedTop_ = 0;
}

TCropMargins TCropEditor::Fitted(TCropMargins margins) const {
    for (TCropSide side :
         {TCropSide::csUp, TCropSide::csDown, TCropSide::csLeft, TCropSide::csRight})
        Side(margins, side) = std::max(Side(margins, side), 0);
    // What leaves less than the smallest rectangle is taken off the bottom and right first.
    const int rows = picture_.Height - kTrackerMinimum;
    margins.Up = std::min(margins.Up, rows);
    margins.Down = std::min(margins.Down, rows - margins.Up);
    const int columns = picture_.Width - kTrackerMinimum;
    margins.Left = std::min(margins.Left, columns);
    margins.Right = std::min(margins.Right, columns - margins.Left);
    return margins;
}

void TCropEditor::Pressed() {
    rememberedLeft_ = rectangle_.Left;
    rememberedTop_ = rectangle_.Top;
}

void TCropEditor::Accept(TCropBox bounds) {
    const TCropBox& p = picture_;
    bounds.Width = std::clamp(bounds.Width, kTrackerMinimum, p.Width);
    bounds.Height = std::clamp(bounds.Height, kTrackerMinimum, p.Height);
    bounds.Left = std::clamp(bounds.Left, p.Left, p.Right() - bounds.Width);
    bounds.Top = std::clamp(bounds.Top, p.Top, p.Bottom() - bounds.Height);
    rectangle_ = bounds;
    margins_ = MarginsBetween(bounds, p);
}

void TCropEditor::Dragged(TCropBox b, int x, int y) {
    if (!HasPicture())
        return;
    const TCropBox& p = picture_;
    // The dotted rectangle lies 2 pixels inside the bounds.
    const auto pastRight = [&] { return b.Right() - 2 - p.Left > p.Width; };
    const auto pastBottom = [&] { return b.Bottom() - 2 - p.Top > p.Height; };
    // Past the left edge the left stays at the margin it had; past the top edge the top
    // goes onto the edge.
    if (b.Left < p.Left)
        b.Left = p.Left + margins_.Left;
    if (b.Top + 2 < p.Top + 3)
        b.Top = p.Top;
    // The pointer past the right edge: the right margin stays.
    if (pastRight() && x >= p.Right() - b.Left)
        b.Width = p.Right() - b.Left - margins_.Right;
    if (b.Width > p.Width)
        b.Width = p.Width - (b.Left - p.Left);
    if (pastBottom() && y >= p.Bottom() - b.Top)
        b.Height = p.Height - (b.Top - p.Top);
    if (b.Height > p.Height)
        b.Height = p.Height - (b.Top - p.Top);
    // Moved out at the right or the bottom: back to where the press found it, reaching
    // the edge.
    if (pastRight() && pastBottom()) {
        b.Top = rememberedTop_;
        b.Left = rememberedLeft_;
        b.Width = p.Width - (b.Left - p.Left);
        b.Height = p.Height - (b.Top - p.Top);
    }
    if (pastRight()) {
        b.Left = rememberedLeft_;
        b.Width = p.Width - (b.Left - p.Left);
    }
    if (pastBottom()) {
        b.Top = rememberedTop_;
        b.Height = p.Height - (b.Top - p.Top);
    }
    Accept(b);
}

int TCropEditor::SpinChanged(TCropSide side, int value) {
    if (!HasPicture())
        return 0;
    const bool rows = side == TCropSide::csUp || side == TCropSide::csDown;
    const int accepted = Side(margins_, side);
    // A rectangle at its smallest takes no larger margin.
    if ((rows ? rectangle_.Height : rectangle_.Width) <= kTrackerMinimum && value >= accepted)
        return accepted;
    TCropMargins margins = margins_;
    const int opposite = rows ? (side == TCropSide::csUp ? margins.Down : margins.Up)
                              : (side == TCropSide::csLeft ? margins.Right : margins.Left);
    const int room = (rows ? picture_.Height : picture_.Width) - kTrackerMinimum - opposite;
    Side(margins, side) = std::clamp(value, 0, std::max(room, 0));
    margins_ = margins;
    rectangle_ = RectangleFor(margins_, picture_);
    Pressed();
    return Side(margins_, side);
}

void TCropEditor::Propose(const TCropMargins& margins) {
    if (!HasPicture())
        return;
    margins_ = Fitted(margins);
    rectangle_ = RectangleFor(margins_, picture_);
    Pressed();
}

void TCropEditor::Reset() {
    Propose({});
}

std::string CropSourceName(const std::string& sourceFile) {
    if (sourceFile.size() < 51)
        return sourceFile;
    const size_t dot = sourceFile.find_last_of('.');
    const size_t slash = sourceFile.find_last_of('/');
    const std::string extension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash)
            ? sourceFile.substr(dot)
            : std::string();
    return sourceFile.substr(0, 44) + ".." + extension + "  ";
}

std::string CropLengthText(int64_t duration) {
    if (duration < 0)
        return "unknown";
    char text[64];
    std::snprintf(text, sizeof text, "%lld.%.3lld Second",
                  static_cast<long long>(duration / 1000000),
                  static_cast<long long>(duration / 1000 % 1000));
    return text;
}

} // namespace tovik
