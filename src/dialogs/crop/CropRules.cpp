#include "dialogs/crop/CropRules.h"

#include "platform/PathText.h"
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
}

void TCropEditor::StartWithoutPicture() {
    picture_ = {};
    rectangle_ = {};
    margins_ = {};
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

void TCropEditor::Accept(TCropBox bounds) {
    const TCropBox& p = picture_;
    bounds.Width = std::clamp(bounds.Width, kTrackerMinimum, p.Width);
    bounds.Height = std::clamp(bounds.Height, kTrackerMinimum, p.Height);
    bounds.Left = std::clamp(bounds.Left, p.Left, p.Right() - bounds.Width);
    bounds.Top = std::clamp(bounds.Top, p.Top, p.Bottom() - bounds.Height);
    rectangle_ = bounds;
    margins_ = MarginsBetween(bounds, p);
}

void TCropEditor::Dragged(TCropBox b, bool moving) {
    if (!HasPicture())
        return;
    const TCropBox& p = picture_;
    if (moving) {
        b.Width = std::min(b.Width, p.Width);
        b.Height = std::min(b.Height, p.Height);
    } else {
        // An edge past the picture's edge goes onto it; the opposite edge stays.
        if (b.Left < p.Left) {
            b.Width -= p.Left - b.Left;
            b.Left = p.Left;
        }
        if (b.Top < p.Top) {
            b.Height -= p.Top - b.Top;
            b.Top = p.Top;
        }
        b.Width = std::min(b.Width, p.Right() - b.Left);
        b.Height = std::min(b.Height, p.Bottom() - b.Top);
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
    return Side(margins_, side);
}

void TCropEditor::Propose(const TCropMargins& margins) {
    if (!HasPicture())
        return;
    margins_ = Fitted(margins);
    rectangle_ = RectangleFor(margins_, picture_);
}

void TCropEditor::Reset() {
    Propose({});
}

std::string CropSourceName(const std::string& sourceFile) {
    if (sourceFile.size() < 51)
        return sourceFile;
    return sourceFile.substr(0, 44) + ".." + platform::FileExtension(sourceFile) + "  ";
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
