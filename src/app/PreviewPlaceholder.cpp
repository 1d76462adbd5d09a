#include "app/PreviewPlaceholder.h"

#include "app/Artwork.h"

#include <QLabel>
#include <QVBoxLayout>

namespace tovik {

namespace {
// A label whose height follows its width (4:3), as a picture's would.
class TScreenLabel : public QLabel {
public:
    using QLabel::QLabel;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override { return width * 3 / 4; }
    QSize sizeHint() const override { return {160, heightForWidth(160)}; }
    QSize minimumSizeHint() const override { return {160, 120}; }
};
} // namespace

TPreviewPlaceholder::TPreviewPlaceholder(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("pnlPreview"));
    setMinimumWidth(kFirstWidth);
    setFrameShape(QFrame::StyledPanel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    auto* caption = new QLabel(QStringLiteral("Preview"), this);
    caption->setObjectName(QStringLiteral("PanelCaption"));
    auto* screen = new TScreenLabel(this);
    screen->setObjectName(QStringLiteral("pnlScreen"));
    QSizePolicy policy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    screen->setSizePolicy(policy);
    screen->setAlignment(Qt::AlignCenter);
    screen->setPixmap(ProgramPixmap(64));
    screen->setStyleSheet(QStringLiteral("background: #101418; border: 1px solid #000000;"));
    screen_ = screen;
    layout->addWidget(caption);
    layout->addWidget(screen);
    layout->addStretch(1);
}

} // namespace tovik
