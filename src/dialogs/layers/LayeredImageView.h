#pragma once
// The layered image view: one picture scaled to fit the view and centred over a checkered
// background, with bitmap layers on top of it. Layers live in picture coordinates (frame
// pixels, floating point) and scale with the picture; each has a master alpha, a tag and
// visibility, and they stack in an order the owner can change. A click selects the topmost
// layer under the mouse and puts the selection frame around it; the frame's body moves the
// layer and its eight handles resize it (with Ctrl: about its centre).
//
// Main thread only.

#include "dialogs/layers/LayerGeometry.h"

#include <QGraphicsItem>
#include <QGraphicsView>
#include <QImage>
#include <functional>
#include <vector>

class QGraphicsScene;

namespace tovik {

class TBitmapLayer : public QGraphicsItem {
public:
    TBitmapLayer(const QImage& image, const layers::TRectF& location, int masterAlpha, int tag);

    const QImage& Image() const { return image_; }
    void SetImage(const QImage& image);
    // Where the layer lies, in picture pixels; the image is scaled to fill it.
    const layers::TRectF& Location() const { return location_; }
    void SetLocation(const layers::TRectF& location);
    // 0 (invisible) .. 255 (opaque).
    int MasterAlpha() const { return masterAlpha_; }
    void SetMasterAlpha(int alpha);
    // 0 for a text layer, 1 for a picture layer: what the owner says it is.
    int Tag() const { return tag_; }

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    QImage image_;
    layers::TRectF location_;
    int masterAlpha_;
    int tag_;
};

class TLayeredImageView : public QGraphicsView {
    Q_OBJECT
public:
    explicit TLayeredImageView(QWidget* parent = nullptr);
    ~TLayeredImageView() override;

    // The picture under the layers; its size is the picture coordinate space.
    void SetPicture(const QImage& picture);
    const QImage& Picture() const { return picture_; }
    QSize PictureSize() const { return picture_.size(); }

    // Layers, bottom first. The view owns them; RemoveLayer deletes one.
    TBitmapLayer* AddLayer(const QImage& image, const layers::TRectF& location, int masterAlpha,
                           int tag);
    void RemoveLayer(TBitmapLayer* layer);
    void ClearLayers();
    const std::vector<TBitmapLayer*>& Layers() const { return layers_; }
    int LayerIndex(const TBitmapLayer* layer) const;
    // Moves the layer to index in the stack (clamped).
    void SetLayerIndex(TBitmapLayer* layer, int index);

    // The selection frame: attached to one layer, or to none (hidden).
    void Select(TBitmapLayer* layer);
    TBitmapLayer* Selected() const { return selected_; }

    // Point conversion between the view's pixels and the picture's.
    layers::TPointF ViewToPicture(const QPointF& view) const;
    QPointF PictureToView(const layers::TPointF& picture) const;
    // The view's centre in picture pixels.
    layers::TPointF CentreInPicture() const;
    double Scale() const { return fit_.Scale; }

    // The picture with its visible layers on top, at the picture's own size, drawn as the
    // view draws them (without the selection frame).
    QImage Compose() const;

    // Called while a handle is dragged with the proposed rectangle, which it may change.
    std::function<void(TBitmapLayer* layer, layers::TRectF& proposed)> OnResizing;

signals:
    // A mouse press on a layer (null: on no layer); the layer is selected already.
    void LayerMouseDown(TBitmapLayer* layer);
    // The selected layer was moved or resized with the mouse.
    void LayerChanged(TBitmapLayer* layer);
    // The mouse moved over the view.
    void MouseMoved();

protected:
    void drawBackground(QPainter* painter, const QRectF& rect) override;
    void drawForeground(QPainter* painter, const QRectF& rect) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void Refit();
    void Restack();
    layers::TRectF ViewRect(const layers::TRectF& picture) const;
    TBitmapLayer* LayerAt(const layers::TPointF& picture) const;

    QGraphicsScene* scene_;
    QImage picture_;
    QImage checkerTile_;
    layers::TFit fit_;
    std::vector<TBitmapLayer*> layers_;
    TBitmapLayer* selected_ = nullptr;
    // The drag in progress: what it moves, from where, and the layer's rectangle then.
    layers::THandle dragHandle_ = layers::THandle::hNone;
    layers::TPointF dragStart_;
    layers::TRectF dragRect_;
};

} // namespace tovik
