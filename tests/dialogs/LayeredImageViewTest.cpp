// The layered image view under offscreen Qt: the picture fitted over the checkers, layers
// composed with their master alpha in stacking order, and selecting, moving and resizing
// layers with the mouse.

#include "dialogs/layers/LayeredImageView.h"

#include <QApplication>
#include <QMouseEvent>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace tovik {
namespace {

using layers::TPointF;
using layers::TRectF;

QImage Solid(int width, int height, QColor colour) {
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(colour);
    return image;
}

class LayeredImageViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        view_.resize(440, 330);
        view_.SetPicture(Solid(640, 360, Qt::red)); // scale 0.6875, bands of 41.25 rows
        view_.show();
        QApplication::processEvents();
    }

    void Mouse(QEvent::Type type, QPointF at, Qt::MouseButtons buttons,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, at, view_.viewport()->mapToGlobal(at), button, buttons, modifiers);
        QApplication::sendEvent(view_.viewport(), &event);
    }
    // Presses at a picture point, moves by (dx, dy) view pixels and releases.
    void Drag(TPointF from, double dx, double dy,
              Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        const QPointF start = view_.PictureToView(from);
        Mouse(QEvent::MouseButtonPress, start, Qt::LeftButton, modifiers);
        Mouse(QEvent::MouseMove, start + QPointF(dx / 2, dy / 2), Qt::LeftButton, modifiers);
        Mouse(QEvent::MouseMove, start + QPointF(dx, dy), Qt::LeftButton, modifiers);
        Mouse(QEvent::MouseButtonRelease, start + QPointF(dx, dy), Qt::NoButton, modifiers);
    }

    TLayeredImageView view_;
};

TEST_F(LayeredImageViewTest, ThePictureIsFittedAndCentredOverTheCheckers) {
    EXPECT_DOUBLE_EQ(view_.Scale(), 440.0 / 640);
    // Centred to the view's pixel (the view scrolls by whole pixels).
    const QPointF corner = view_.PictureToView({0, 0});
    EXPECT_NEAR(corner.x(), 0, 0.5);
    EXPECT_NEAR(corner.y(), (330 - 360 * 440.0 / 640) / 2, 0.5);
    const TPointF centre = view_.CentreInPicture();
    EXPECT_NEAR(centre.X, 320, 0.5 / view_.Scale());
    EXPECT_NEAR(centre.Y, 180, 0.5 / view_.Scale());
    const TPointF back = view_.ViewToPicture(view_.PictureToView({-20, 400}));
    EXPECT_NEAR(back.X, -20, 1e-6);
    EXPECT_NEAR(back.Y, 400, 1e-6);

    const QImage shown = view_.viewport()->grab().toImage();
    // The band above the picture shows the checkers: grey, white, grey on the first row.
    EXPECT_EQ(shown.pixel(5, 5), 0xFFB0B0B0u);
    EXPECT_EQ(shown.pixel(18, 5), 0xFFFFFFFFu);
    EXPECT_EQ(shown.pixel(18, 18), 0xFFB0B0B0u);
    EXPECT_EQ(QColor(shown.pixel(220, 165)), QColor(Qt::red));
    EXPECT_EQ(QColor(shown.pixel(220, 320)), QColor(0xB0, 0xB0, 0xB0)) << "the band below";
}

TEST_F(LayeredImageViewTest, LayersComposeWithTheirAlphaInStackingOrder) {
    TBitmapLayer* blue = view_.AddLayer(Solid(10, 10, Qt::blue), {100, 100, 200, 150}, 255, 0);
    TBitmapLayer* green = view_.AddLayer(Solid(10, 10, Qt::green), {150, 120, 250, 170}, 128, 1);
    EXPECT_EQ(green->Tag(), 1);
    EXPECT_EQ(view_.LayerIndex(blue), 0);
    EXPECT_EQ(view_.LayerIndex(green), 1);
    QImage composed = view_.Compose();
    ASSERT_EQ(composed.size(), QSize(640, 360));
    EXPECT_EQ(QColor(composed.pixel(120, 110)), QColor(Qt::blue)) << "scaled to its box";
    const QColor overlap(composed.pixel(170, 130)); // half green over blue
    EXPECT_NEAR(overlap.green(), 128, 2);
    EXPECT_NEAR(overlap.blue(), 127, 2);
    EXPECT_EQ(QColor(composed.pixel(300, 300)), QColor(Qt::red));

    // Blue on top now: it covers the overlap.
    view_.SetLayerIndex(blue, 1);
    EXPECT_EQ(view_.LayerIndex(blue), 1);
    EXPECT_EQ(view_.Layers().front(), green);
    EXPECT_EQ(QColor(view_.Compose().pixel(170, 130)), QColor(Qt::blue));
    // Hidden layers are neither drawn nor hit.
    blue->setVisible(false);
    EXPECT_NEAR(QColor(view_.Compose().pixel(170, 130)).red(), 127, 2);
    view_.RemoveLayer(green);
    EXPECT_EQ(view_.Layers().size(), 1u);
}

TEST_F(LayeredImageViewTest, TheMouseSelectsMovesAndResizesLayers) {
    TBitmapLayer* layer = view_.AddLayer(Solid(10, 10, Qt::blue), {100, 100, 200, 150}, 255, 0);
    QSignalSpy downs(&view_, &TLayeredImageView::LayerMouseDown);
    QSignalSpy changes(&view_, &TLayeredImageView::LayerChanged);
    const double scale = view_.Scale(); // 0.6875: 11 view pixels are 16 picture pixels

    // A press inside selects it; dragging moves it, out of the picture too.
    Drag({150, 125}, -110, -88);
    ASSERT_EQ(downs.count(), 1);
    EXPECT_EQ(downs.front().front().value<TBitmapLayer*>(), layer);
    EXPECT_EQ(view_.Selected(), layer);
    EXPECT_GT(changes.count(), 0);
    TRectF moved = layer->Location();
    EXPECT_NEAR(moved.Left, 100 - 110 / scale, 1e-6);
    EXPECT_NEAR(moved.Top, 100 - 88 / scale, 1e-6);
    EXPECT_NEAR(moved.Width(), 100, 1e-6);

    // The bottom-right handle resizes.
    view_.Select(layer);
    layer->SetLocation({100, 100, 200, 150});
    Drag({200, 150}, 11, 22);
    EXPECT_NEAR(layer->Location().Right, 216, 1e-6);
    EXPECT_NEAR(layer->Location().Bottom, 182, 1e-6);
    EXPECT_NEAR(layer->Location().Left, 100, 1e-6);

    // With Ctrl the right handle keeps the centre (150): half width 50 + 16 on both sides.
    layer->SetLocation({100, 100, 200, 150});
    Drag({200, 125}, 11, 0, Qt::ControlModifier);
    EXPECT_NEAR(layer->Location().Left, 84, 1e-6);
    EXPECT_NEAR(layer->Location().Right, 216, 1e-6);

    // The resizing event may change the proposed rectangle.
    view_.OnResizing = [](TBitmapLayer*, TRectF& proposed) { proposed.Right = proposed.Left + 40; };
    layer->SetLocation({100, 100, 200, 150});
    Drag({200, 150}, 11, 11);
    EXPECT_NEAR(layer->Location().Width(), 40, 1e-6);
    view_.OnResizing = nullptr;

    // A press on no layer detaches the frame.
    downs.clear();
    Drag({600, 20}, 5, 5);
    ASSERT_EQ(downs.count(), 1);
    EXPECT_EQ(downs.front().front().value<TBitmapLayer*>(), nullptr);
    EXPECT_EQ(view_.Selected(), nullptr);
}

TEST_F(LayeredImageViewTest, ThePressTakesTheTopmostVisibleLayer) {
    TBitmapLayer* below = view_.AddLayer(Solid(4, 4, Qt::blue), {100, 100, 200, 150}, 255, 0);
    TBitmapLayer* above = view_.AddLayer(Solid(4, 4, Qt::green), {120, 110, 220, 160}, 255, 1);
    Drag({150, 125}, 0, 0);
    EXPECT_EQ(view_.Selected(), above);
    above->setVisible(false);
    Drag({150, 125}, 0, 0);
    EXPECT_EQ(view_.Selected(), below);
}

} // namespace
} // namespace tovik

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
