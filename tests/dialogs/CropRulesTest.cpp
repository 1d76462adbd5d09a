// The crop dialog's geometry: the picture rectangle in the preview, the rectangle dragged
// and the spin boxes stepped against it, what OK stores, and the rectangle's handles.

#include "dialogs/crop/CropRules.h"
#include "dialogs/crop/TrackerRules.h"

#include <gtest/gtest.h>

namespace tovik {
namespace {

constexpr int kPreviewWidth = 370;
constexpr int kPreviewHeight = 253;

TCropBox Preview640x480() {
    return PictureRectangle(640, 480, kPreviewWidth, kPreviewHeight);
}

TEST(CropGeometry, APictureIsFittedAndShrunkByOnePixel) {
    // 640 x 480 fits as 338 x 253 from 16 pixels on the left.
    EXPECT_EQ(Preview640x480(), (TCropBox{17, 1, 336, 251}));
    // A wide picture spans the width.
    EXPECT_EQ(PictureRectangle(640, 360, kPreviewWidth, kPreviewHeight),
              (TCropBox{1, 23, 368, 207}));
    // No picture, or one too thin for the smallest rectangle: no picture rectangle.
    EXPECT_TRUE(PictureRectangle(0, 0, kPreviewWidth, kPreviewHeight).Empty());
    EXPECT_TRUE(PictureRectangle(640, 0, kPreviewWidth, kPreviewHeight).Empty());
    EXPECT_TRUE(PictureRectangle(4000, 40, kPreviewWidth, kPreviewHeight).Empty());
}

TEST(CropGeometry, OkScalesToEvenSourcePixels) {
    const TCropBox picture = Preview640x480();
    // 10 of 251 rows of a 480-line source are 19.12 rows: 19, made even 18.
    EXPECT_EQ(SourceCropOf({10, 0, 0, 0}, picture, 640, 480), (TSourceCrop{18, 0, 0, 0}));
    // 21 of 336 columns of 640 are exactly 40; 7 rows are 13.39: 13, made even 12.
    EXPECT_EQ(SourceCropOf({0, 7, 21, 0}, picture, 640, 480), (TSourceCrop{0, 12, 40, 0}));
    // Halves round to even before the odd unit goes: 2.5 -> 2, 6.5 -> 6, 5.5 -> 6.
    const TCropBox box{0, 0, 100, 100};
    EXPECT_EQ(SourceCropOf({1, 5, 11, 0}, box, 550, 250), (TSourceCrop{2, 12, 60, 0}));
    EXPECT_EQ(SourceCropOf({0, 0, 0, 0}, picture, 640, 480), (TSourceCrop{}));
    // Equal sizes are taken as they are (odd ones made even).
    EXPECT_EQ(SourceCropOf({3, 4, 5, 6}, {0, 0, 336, 251}, 336, 251), (TSourceCrop{2, 4, 4, 6}));
    // A picture never shown, or a source without a size: nothing is cut.
    EXPECT_EQ(SourceCropOf({10, 10, 10, 10}, {}, 640, 480), (TSourceCrop{}));
    EXPECT_EQ(SourceCropOf({10, 10, 10, 10}, picture, 0, 0), (TSourceCrop{}));
}

TEST(CropGeometry, DetectedBarsBecomeMarginsThatCutNoPicture) {
    const TCropBox wide = PictureRectangle(640, 360, kPreviewWidth, kPreviewHeight);
    const TCropMargins pillar = PreviewMarginsOf({0, 0, 80, 80}, wide, 640, 360);
    EXPECT_EQ(pillar, (TCropMargins{0, 0, 46, 46}));
    EXPECT_EQ(SourceCropOf(pillar, wide, 640, 360), (TSourceCrop{0, 0, 80, 80}));
    // 47 rows of 360 are 27.04 preview rows: 27, which stores 46 (not more than the bar).
    const TCropMargins letter = PreviewMarginsOf({47, 45, 0, 0}, wide, 640, 360);
    EXPECT_EQ(letter, (TCropMargins{27, 25, 0, 0}));
    const TSourceCrop stored = SourceCropOf(letter, wide, 640, 360);
    EXPECT_LE(stored.Top, 47);
    EXPECT_LE(stored.Bottom, 45);
    EXPECT_GE(stored.Top, 44);
}

TEST(CropEditor, AJobsMarginsPlaceTheRectangle) {
    TCropEditor editor;
    editor.Start(Preview640x480(), {});
    EXPECT_EQ(editor.Rectangle(), Preview640x480()) << "no margins: the whole picture";
    EXPECT_EQ(editor.SourceCrop(640, 480), (TSourceCrop{}));

    editor.Start(Preview640x480(), {10, 20, 30, 40});
    EXPECT_EQ(editor.Rectangle(), (TCropBox{47, 11, 266, 221}));
    EXPECT_EQ(editor.Margins(), (TCropMargins{10, 20, 30, 40}));
    // Margins that leave less than the smallest rectangle are cut down.
    editor.Start(Preview640x480(), {200, 200, -5, 400});
    EXPECT_EQ(editor.Margins(), (TCropMargins{200, 41, 0, 326}));
    EXPECT_EQ(editor.Rectangle().Height, kTrackerMinimum);
    EXPECT_EQ(editor.Rectangle().Width, kTrackerMinimum);

    editor.Reset();
    EXPECT_EQ(editor.Rectangle(), Preview640x480());
    EXPECT_EQ(editor.Margins(), (TCropMargins{}));
}

TEST(CropEditor, SpinStepsStopAtTheSmallestRectangle) {
    TCropEditor editor;
    const TCropBox picture = Preview640x480();
    editor.Start(picture, {120, 120, 0, 0});
    EXPECT_EQ(editor.Rectangle().Height, 11);
    EXPECT_EQ(editor.SpinChanged(TCropSide::csUp, 121), 121);
    EXPECT_EQ(editor.Rectangle().Height, 10);
    EXPECT_EQ(editor.Rectangle().Top, picture.Top + 121);
    // 10 rows high: a further step of Up or Down is refused.
    EXPECT_EQ(editor.SpinChanged(TCropSide::csUp, 122), 121);
    EXPECT_EQ(editor.SpinChanged(TCropSide::csDown, 121), 120);
    EXPECT_EQ(editor.Rectangle().Height, 10);
    // A smaller one is taken.
    EXPECT_EQ(editor.SpinChanged(TCropSide::csDown, 119), 119);
    EXPECT_EQ(editor.Rectangle().Height, 11);
    // A jump past the smallest rectangle (a page step) stops at it; below 0 is 0.
    EXPECT_EQ(editor.SpinChanged(TCropSide::csDown, 200), 120);
    EXPECT_EQ(editor.SpinChanged(TCropSide::csLeft, -3), 0);
    EXPECT_EQ(editor.SpinChanged(TCropSide::csRight, 50), 50);
    EXPECT_EQ(editor.Rectangle(), (TCropBox{17, 122, 286, 10}));
    EXPECT_EQ(editor.SourceCrop(640, 480), (TSourceCrop{230, 228, 0, 94}));
}

TEST(CropEditor, DraggingPastTheEdgesKeepsTheRectangleOnThePicture) {
    const TCropBox picture = Preview640x480(); // 17, 1, 336 x 251
    TCropEditor editor;
    editor.Start(picture, {20, 20, 30, 30});
    const TCropBox start = editor.Rectangle(); // 47, 21, 276 x 211

    // Moved inside the picture: the margins follow.
    editor.Dragged({start.Left - 10, start.Top + 5, start.Width, start.Height}, true);
    EXPECT_EQ(editor.Margins(), (TCropMargins{25, 15, 20, 40}));

    // Moved past the top and the left edges, however far in one step: it stops on them
    // with its size.
    editor.Dragged({start.Left - 45, start.Top - 60, start.Width, start.Height}, true);
    EXPECT_EQ(editor.Rectangle(), (TCropBox{17, 1, 276, 211}));
    EXPECT_EQ(editor.Margins(), (TCropMargins{0, 40, 0, 60}));
    // Past the bottom right likewise.
    editor.Dragged({300, 200, 276, 211}, true);
    EXPECT_EQ(editor.Rectangle(), (TCropBox{77, 41, 276, 211}));
    EXPECT_EQ(editor.Margins(), (TCropMargins{40, 0, 60, 0}));

    // The top edge dragged above the picture: the top on the picture's top, the bottom
    // where it was.
    editor.Start(picture, {20, 20, 30, 30});
    editor.Dragged({start.Left, picture.Top - 6, start.Width, start.Height + 26}, false);
    EXPECT_EQ(editor.Margins(), (TCropMargins{0, 20, 30, 30}));
    // The left edge dragged past the picture's left: onto it, the right edge stays.
    editor.Dragged({picture.Left - 8, 1, start.Width + 38, 231}, false);
    EXPECT_EQ(editor.Margins(), (TCropMargins{0, 20, 0, 30}));
    // The bottom right corner pulled past the picture's corner: onto it.
    editor.Dragged({17, 1, 400, 400}, false);
    EXPECT_EQ(editor.Rectangle(), picture);

    // Whatever comes, the margins are never negative and the rectangle never below 10.
    for (const bool moving : {true, false}) {
        editor.Dragged({-500, -500, 2, 2}, moving);
        EXPECT_GE(editor.Margins().Up, 0);
        EXPECT_GE(editor.Margins().Left, 0);
        EXPECT_EQ(editor.Rectangle().Width, kTrackerMinimum);
        EXPECT_EQ(editor.Rectangle().Height, kTrackerMinimum);
        editor.Dragged({900, 900, 5000, 5000}, moving);
        EXPECT_GE(editor.Margins().Down, 0);
        EXPECT_GE(editor.Margins().Right, 0);
    }
}

TEST(CropEditor, WithoutAPictureEverythingStaysZero) {
    TCropEditor editor;
    editor.Start({}, {10, 10, 10, 10});
    EXPECT_FALSE(editor.HasPicture());
    EXPECT_EQ(editor.Margins(), (TCropMargins{}));
    EXPECT_EQ(editor.SpinChanged(TCropSide::csUp, 5), 0);
    editor.Dragged({0, 0, 100, 100}, true);
    editor.Propose({5, 5, 5, 5});
    EXPECT_EQ(editor.Margins(), (TCropMargins{}));
    EXPECT_EQ(editor.SourceCrop(640, 480), (TSourceCrop{}));
}

TEST(TrackerRules, HandlesAndZonesInTheirOrder) {
    // 65 x 65: edge handles start at ceil(65 / 2) - 3 = 30.
    EXPECT_EQ(HandleBox(TTrackerZone::tzTop, 65, 65), (TCropBox{30, 0, 5, 5}));
    EXPECT_EQ(HandleBox(TTrackerZone::tzRight, 65, 64), (TCropBox{60, 29, 5, 5}));
    EXPECT_EQ(HitZone(65, 65, 0, 0), TTrackerZone::tzTopLeft);
    EXPECT_EQ(HitZone(65, 65, 64, 64), TTrackerZone::tzBottomRight);
    EXPECT_EQ(HitZone(65, 65, 2, 62), TTrackerZone::tzBottomLeft);
    EXPECT_EQ(HitZone(65, 65, 62, 2), TTrackerZone::tzTopRight);
    EXPECT_EQ(HitZone(65, 65, 1, 32), TTrackerZone::tzLeft);
    EXPECT_EQ(HitZone(65, 65, 63, 32), TTrackerZone::tzRight);
    EXPECT_EQ(HitZone(65, 65, 32, 1), TTrackerZone::tzTop);
    EXPECT_EQ(HitZone(65, 65, 32, 63), TTrackerZone::tzBottom);
    EXPECT_EQ(HitZone(65, 65, 20, 20), TTrackerZone::tzMove);
    EXPECT_EQ(HitZone(65, 65, 20, 1), TTrackerZone::tzNone) << "on the edge between handles";
    EXPECT_EQ(HitZone(65, 65, 70, 20), TTrackerZone::tzNone);
    // At the smallest size the corners come first.
    EXPECT_EQ(HitZone(10, 10, 4, 4), TTrackerZone::tzTopLeft);
    EXPECT_EQ(HitZone(10, 10, 5, 5), TTrackerZone::tzBottomRight);
}

TEST(TrackerRules, DragsMoveEdgesAndKeepTheSmallestSize) {
    const TTrackerDrag from{{100, 50, 65, 65}, 3, 30};
    // The left edge follows the pointer; the right edge stays.
    TTrackerDrag left = DragTracker(TTrackerZone::tzLeft, from, -7, 30);
    EXPECT_EQ(left.Bounds, (TCropBox{90, 50, 75, 65}));
    EXPECT_EQ(left.PressX, 3) << "the rectangle moved under the pointer";
    // Not narrower than 10, and a rectangle that narrow takes no inward move.
    left = DragTracker(TTrackerZone::tzLeft, from, 100, 30);
    EXPECT_EQ(left.Bounds, (TCropBox{155, 50, 10, 65}));
    EXPECT_EQ(DragTracker(TTrackerZone::tzLeft, left, 110, 30).Bounds, left.Bounds);

    // The right edge grows with the pointer, which becomes the press point.
    const TTrackerDrag rightFrom{{100, 50, 65, 65}, 62, 30};
    const TTrackerDrag right = DragTracker(TTrackerZone::tzRight, rightFrom, 70, 31);
    EXPECT_EQ(right.Bounds, (TCropBox{100, 50, 73, 65}));
    EXPECT_EQ(right.PressX, 70);
    EXPECT_EQ(DragTracker(TTrackerZone::tzRight, rightFrom, -100, 30).Bounds.Width,
              kTrackerMinimum);

    // Corners do both edges; moving shifts the whole.
    EXPECT_EQ(DragTracker(TTrackerZone::tzTopLeft, {{100, 50, 65, 65}, 2, 2}, -3, 7).Bounds,
              (TCropBox{95, 55, 70, 60}));
    const TTrackerDrag corner =
        DragTracker(TTrackerZone::tzBottomRight, {{100, 50, 65, 65}, 62, 62}, 64, 58);
    EXPECT_EQ(corner.Bounds, (TCropBox{100, 50, 67, 61}));
    EXPECT_EQ(DragTracker(TTrackerZone::tzMove, {{100, 50, 65, 65}, 30, 30}, 20, 45).Bounds,
              (TCropBox{90, 65, 65, 65}));
}

TEST(CropTexts, SourceNameAndLength) {
    const std::string fifty(50, 'x');
    EXPECT_EQ(CropSourceName(fifty), fifty);
    const std::string path = "/home/someone/videos/" + std::string(40, 'n') + ".mkv";
    EXPECT_EQ(CropSourceName(path), path.substr(0, 44) + "...mkv  ");
    EXPECT_EQ(CropSourceName(fifty + "y"), fifty.substr(0, 44) + "..  ");
    EXPECT_EQ(CropLengthText(6'000'000), "6.000 Second");
    EXPECT_EQ(CropLengthText(83'456'789), "83.456 Second");
    EXPECT_EQ(CropLengthText(-1), "unknown");
}

} // namespace
} // namespace tovik
