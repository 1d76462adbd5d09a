#include "dialogs/layers/LayeredImageView.h"

#include <QGraphicsScene>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

namespace tovik {

using layers::THandle;
using layers::TPointF;
using layers::TRectF;

namespace {

QRectF ToQRect(const TRectF& r) {
    return QRectF(r.Left, r.Top, r.Width(), r.Height());
}

} // namespace

TBitmapLayer::TBitmapLayer(const QImage& image, const TRectF& location, int masterAlpha, int tag)
    : image_(image), location_(location), masterAlpha_(std::clamp(masterAlpha, 0, 255)), tag_(tag) {
}

void TBitmapLayer::SetImage(const QImage& image) {
    image_ = image;
    update();
}

void TBitmapLayer::SetLocation(const TRectF& location) {
    prepareGeometryChange();
    location_ = location;
}

void TBitmapLayer::SetMasterAlpha(int alpha) {
    masterAlpha_ = std::clamp(alpha, 0, 255);
    update();
}

QRectF TBitmapLayer::boundingRect() const {
    return ToQRect(location_);
}

void TBitmapLayer::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) {
    if (image_.isNull())
        return;
    painter->save();
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    painter->setOpacity(masterAlpha_ / 255.0);
    painter->drawImage(ToQRect(location_), image_);
    painter->restore();
}

TLayeredImageView::TLayeredImageView(QWidget* parent)
    : QGraphicsView(parent), scene_(new QGraphicsScene(this)) {
    setScene(scene_);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFrameShape(QFrame::NoFrame);
    setViewportUpdateMode(QGraphicsView::FullViewportUpdate);
    setTransformationAnchor(QGraphicsView::NoAnchor);
    setResizeAnchor(QGraphicsView::NoAnchor);
    setMouseTracking(true);
    // One tile of four squares: the brush repeats it from the view's top-left corner.
    const int size = layers::kCheckerSize;
    checkerTile_ = QImage(2 * size, 2 * size, QImage::Format_ARGB32);
    for (int y = 0; y < 2 * size; ++y)
        for (int x = 0; x < 2 * size; ++x)
            checkerTile_.setPixel(x, y, layers::CheckerColor(x, y));
}

TLayeredImageView::~TLayeredImageView() {
    // The scene deletes the items; forget them first.
    selected_ = nullptr;
    layers_.clear();
}

void TLayeredImageView::SetPicture(const QImage& picture) {
    const bool resized = picture.size() != picture_.size();
    picture_ = picture;
    if (resized)
        Refit();
    viewport()->update();
}

void TLayeredImageView::Refit() {
    const QSize size = picture_.isNull() ? QSize(1, 1) : picture_.size();
    fit_ =
        layers::FitPicture(viewport()->width(), viewport()->height(), size.width(), size.height());
    scene_->setSceneRect(0, 0, size.width(), size.height());
    // The view shows exactly the viewport's worth of scene, the picture's corner at the
    // fitted offset: nothing to scroll.
    setSceneRect(QRectF(-fit_.OffsetX / fit_.Scale, -fit_.OffsetY / fit_.Scale,
                        viewport()->width() / fit_.Scale, viewport()->height() / fit_.Scale));
    setTransform(QTransform::fromScale(fit_.Scale, fit_.Scale));
    horizontalScrollBar()->setValue(horizontalScrollBar()->minimum());
    verticalScrollBar()->setValue(verticalScrollBar()->minimum());
    viewport()->update();
}

void TLayeredImageView::resizeEvent(QResizeEvent* event) {
    QGraphicsView::resizeEvent(event);
    Refit();
}

TBitmapLayer* TLayeredImageView::AddLayer(const QImage& image, const TRectF& location,
                                          int masterAlpha, int tag) {
    auto* layer = new TBitmapLayer(image, location, masterAlpha, tag);
    scene_->addItem(layer);
    layers_.push_back(layer);
    Restack();
    return layer;
}

void TLayeredImageView::RemoveLayer(TBitmapLayer* layer) {
    const auto found = std::find(layers_.begin(), layers_.end(), layer);
    if (found == layers_.end())
        return;
    if (selected_ == layer)
        Select(nullptr);
    layers_.erase(found);
    scene_->removeItem(layer);
    delete layer;
    Restack();
}

void TLayeredImageView::ClearLayers() {
    Select(nullptr);
    while (!layers_.empty())
        RemoveLayer(layers_.back());
}

int TLayeredImageView::LayerIndex(const TBitmapLayer* layer) const {
    const auto found = std::find(layers_.begin(), layers_.end(), layer);
    return found == layers_.end() ? -1 : static_cast<int>(found - layers_.begin());
}

void TLayeredImageView::SetLayerIndex(TBitmapLayer* layer, int index) {
    const int from = LayerIndex(layer);
    if (from < 0)
        return;
    index = std::clamp(index, 0, static_cast<int>(layers_.size()) - 1);
    layers_.erase(layers_.begin() + from);
    layers_.insert(layers_.begin() + index, layer);
    Restack();
}

void TLayeredImageView::Restack() {
    for (size_t i = 0; i < layers_.size(); ++i)
        layers_[i]->setZValue(static_cast<double>(i));
    viewport()->update();
}

void TLayeredImageView::Select(TBitmapLayer* layer) {
    selected_ = layer;
    dragHandle_ = THandle::hNone;
    viewport()->update();
}

TPointF TLayeredImageView::ViewToPicture(const QPointF& view) const {
    const QPointF scene = viewportTransform().inverted().map(view);
    return {scene.x(), scene.y()};
}

QPointF TLayeredImageView::PictureToView(const TPointF& picture) const {
    return viewportTransform().map(QPointF(picture.X, picture.Y));
}

TPointF TLayeredImageView::CentreInPicture() const {
    return ViewToPicture(QPointF(viewport()->width() / 2.0, viewport()->height() / 2.0));
}

TRectF TLayeredImageView::ViewRect(const TRectF& picture) const {
    const QPointF topLeft = PictureToView({picture.Left, picture.Top});
    const QPointF bottomRight = PictureToView({picture.Right, picture.Bottom});
    return {topLeft.x(), topLeft.y(), bottomRight.x(), bottomRight.y()};
}

TBitmapLayer* TLayeredImageView::LayerAt(const TPointF& picture) const {
    for (auto layer = layers_.rbegin(); layer != layers_.rend(); ++layer)
        if ((*layer)->isVisible() && (*layer)->Location().Contains(picture))
            return *layer;
    return nullptr;
}

QImage TLayeredImageView::Compose() const {
    QImage composed = picture_.convertToFormat(QImage::Format_RGB32);
    QPainter painter(&composed);
    for (TBitmapLayer* layer : layers_)
        if (layer->isVisible())
            layer->paint(&painter, nullptr, nullptr);
    return composed;
}

void TLayeredImageView::drawBackground(QPainter* painter, const QRectF&) {
    painter->save();
    painter->resetTransform();
    painter->fillRect(viewport()->rect(), QBrush(checkerTile_));
    painter->restore();
    if (!picture_.isNull()) {
        painter->save();
        painter->setRenderHint(QPainter::SmoothPixmapTransform);
        painter->drawImage(QRectF(0, 0, picture_.width(), picture_.height()), picture_);
        painter->restore();
    }
}

void TLayeredImageView::drawForeground(QPainter* painter, const QRectF&) {
    if (!selected_)
        return;
    const TRectF r = ViewRect(selected_->Location());
    painter->save();
    painter->resetTransform();
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setPen(QPen(Qt::black, 1, Qt::DashLine));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(QRectF(r.Left, r.Top, r.Width(), r.Height()));
    const double half = layers::kHandleSize / 2;
    const double midX = (r.Left + r.Right) / 2;
    const double midY = (r.Top + r.Bottom) / 2;
    painter->setPen(QPen(Qt::black, 1));
    painter->setBrush(Qt::white);
    for (const QPointF& centre :
         {QPointF(r.Left, r.Top), QPointF(midX, r.Top), QPointF(r.Right, r.Top),
          QPointF(r.Left, midY), QPointF(r.Right, midY), QPointF(r.Left, r.Bottom),
          QPointF(midX, r.Bottom), QPointF(r.Right, r.Bottom)})
        painter->drawRect(QRectF(centre.x() - half, centre.y() - half, layers::kHandleSize - 1,
                                 layers::kHandleSize - 1));
    painter->restore();
}

void TLayeredImageView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QGraphicsView::mousePressEvent(event);
        return;
    }
    const QPointF position = event->position();
    const TPointF picture = ViewToPicture(position);
    THandle handle = THandle::hNone;
    if (selected_)
        handle = layers::HitHandle(ViewRect(selected_->Location()), {position.x(), position.y()});
    if (handle == THandle::hNone || handle == THandle::hInside) {
        TBitmapLayer* layer = LayerAt(picture);
        Select(layer);
        emit LayerMouseDown(layer);
        handle = layer ? THandle::hInside : THandle::hNone;
    }
    if (selected_ && handle != THandle::hNone) {
        dragHandle_ = handle;
        dragStart_ = picture;
        dragRect_ = selected_->Location();
    }
}

void TLayeredImageView::mouseMoveEvent(QMouseEvent* event) {
    if (selected_ && dragHandle_ != THandle::hNone && (event->buttons() & Qt::LeftButton)) {
        const TPointF picture = ViewToPicture(event->position());
        TRectF proposed =
            layers::DragRect(dragRect_, dragHandle_, picture.X - dragStart_.X,
                             picture.Y - dragStart_.Y, event->modifiers() & Qt::ControlModifier);
        if (dragHandle_ != THandle::hInside && OnResizing)
            OnResizing(selected_, proposed);
        selected_->SetLocation(proposed);
        viewport()->update();
        emit LayerChanged(selected_);
    }
    emit MouseMoved();
}

void TLayeredImageView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        dragHandle_ = THandle::hNone;
    QGraphicsView::mouseReleaseEvent(event);
}

} // namespace tovik
