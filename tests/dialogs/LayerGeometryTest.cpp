// The layered image view's geometry: fitting, point conversion, the checkers and dragging
// the selection frame.

#include "dialogs/layers/LayerGeometry.h"

#include <gtest/gtest.h>

namespace tovik::layers {
namespace {

TEST(LayerGeometryTest, APictureIsFittedAndCentredLargerOrSmaller) {
    // 640 x 480 into 440 x 330: the same shape, scaled down, no margins.
    TFit fit = FitPicture(440, 330, 640, 480);
    EXPECT_DOUBLE_EQ(fit.Scale, 440.0 / 640);
    EXPECT_DOUBLE_EQ(fit.OffsetX, 0);
    EXPECT_DOUBLE_EQ(fit.OffsetY, 0);
    // A wide picture: bands above and below.
    fit = FitPicture(440, 330, 1280, 720);
    EXPECT_DOUBLE_EQ(fit.Scale, 440.0 / 1280);
    EXPECT_DOUBLE_EQ(fit.OffsetY, (330 - 720 * fit.Scale) / 2);
    // A small tall picture is enlarged, with bands left and right.
    fit = FitPicture(440, 330, 100, 200);
    EXPECT_DOUBLE_EQ(fit.Scale, 1.65);
    EXPECT_DOUBLE_EQ(fit.OffsetX, (440 - 165) / 2.0);
    EXPECT_DOUBLE_EQ(fit.OffsetY, 0);
    // Nothing to fit.
    fit = FitPicture(440, 330, 0, 0);
    EXPECT_DOUBLE_EQ(fit.Scale, 1);
}

TEST(LayerGeometryTest, PointsConvertBothWays) {
    const TFit fit = FitPicture(440, 330, 1280, 720);
    const TPointF corner = fit.ToView(TPointF{0, 0});
    EXPECT_DOUBLE_EQ(corner.X, 0);
    EXPECT_DOUBLE_EQ(corner.Y, fit.OffsetY);
    const TPointF centre = fit.ToPicture(TPointF{220, 165});
    EXPECT_NEAR(centre.X, 640, 1e-9);
    EXPECT_NEAR(centre.Y, 360, 1e-9);
    // Outside the picture: negative picture coordinates.
    const TPointF above = fit.ToPicture(TPointF{0, 0});
    EXPECT_LT(above.Y, 0);
    const TRectF view = fit.ToView(TRectF{-10, 20, 110, 80});
    const TPointF back = fit.ToPicture(TPointF{view.Left, view.Bottom});
    EXPECT_NEAR(back.X, -10, 1e-9);
    EXPECT_NEAR(back.Y, 80, 1e-9);
}

TEST(LayerGeometryTest, CheckersAreThirteenPixelSquaresGreyOnEqualParity) {
    EXPECT_EQ(CheckerColor(0, 0), kCheckerGrey);
    EXPECT_EQ(CheckerColor(12, 12), kCheckerGrey);
    EXPECT_EQ(CheckerColor(13, 0), kCheckerWhite);
    EXPECT_EQ(CheckerColor(0, 13), kCheckerWhite);
    EXPECT_EQ(CheckerColor(13, 13), kCheckerGrey);
    EXPECT_EQ(CheckerColor(26, 13), kCheckerWhite);
    EXPECT_EQ(kCheckerGrey, 0xFFB0B0B0u);
}

TEST(LayerGeometryTest, HandlesAreFoundOnCornersAndEdgeMiddles) {
    const TRectF r{100, 100, 200, 160};
    EXPECT_EQ(HitHandle(r, {100, 100}), THandle::hTopLeft);
    EXPECT_EQ(HitHandle(r, {204, 164}), THandle::hBottomRight);
    EXPECT_EQ(HitHandle(r, {96, 130}), THandle::hLeft);
    EXPECT_EQ(HitHandle(r, {150, 160}), THandle::hBottom);
    EXPECT_EQ(HitHandle(r, {150, 99}), THandle::hTop);
    EXPECT_EQ(HitHandle(r, {201, 126}), THandle::hRight);
    EXPECT_EQ(HitHandle(r, {130, 120}), THandle::hInside);
    // On an edge away from its middle: the layer's body, or nothing outside it.
    EXPECT_EQ(HitHandle(r, {120, 100}), THandle::hInside);
    EXPECT_EQ(HitHandle(r, {120, 98}), THandle::hNone);
    EXPECT_EQ(HitHandle(r, {300, 300}), THandle::hNone);
}

TEST(LayerGeometryTest, DraggingMovesOrResizesAndKeepsTheCentreWithCtrl) {
    const TRectF start{10, 20, 50, 40}; // 40 x 20, centre (30, 30)
    // The body moves the whole rectangle, also out of the picture.
    EXPECT_EQ(DragRect(start, THandle::hInside, -25.5, -30, false), (TRectF{-15.5, -10, 24.5, 10}));
    // The right edge and the top-left corner move their edges only.
    EXPECT_EQ(DragRect(start, THandle::hRight, 15, 99, false), (TRectF{10, 20, 65, 40}));
    EXPECT_EQ(DragRect(start, THandle::hTopLeft, -5, 5, false), (TRectF{5, 25, 50, 40}));
    // An edge dragged over the opposite one stops at the minimum size.
    EXPECT_EQ(DragRect(start, THandle::hLeft, 100, 0, false), (TRectF{49, 20, 50, 40}));
    EXPECT_EQ(DragRect(start, THandle::hBottom, 0, -100, false), (TRectF{10, 20, 50, 21}));
    // Ctrl: the right edge 10 further out makes the half width 30 on both sides.
    EXPECT_EQ(DragRect(start, THandle::hRight, 10, 0, true), (TRectF{0, 20, 60, 40}));
    // A corner: both halves from the dragged corner's distance to the centre.
    EXPECT_EQ(DragRect(start, THandle::hBottomRight, 5, 10, true), (TRectF{5, 10, 55, 50}));
    // Dragged past the centre: each half at least 2.
    EXPECT_EQ(DragRect(start, THandle::hTopLeft, 100, 100, true), (TRectF{28, 28, 32, 32}));
}

} // namespace
} // namespace tovik::layers
