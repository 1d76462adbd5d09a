#include "app/AboutBox.h"

#include "app/Artwork.h"
#include "app/Desktop.h"
#include "settings/GlobalObject.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace tovik {

TfrmAbout::TfrmAbout(QWidget* owner, const TGlobalObject& global, TDesktop& desktop)
    : QDialog(owner), desktop_(desktop), name_(new QLabel(this)), linkLabel_(new QLabel(this)),
      btnOk(new QPushButton(QStringLiteral("&Ok"), this)) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About"));
    setFixedSize(330, 177);

    auto* icon = new QLabel(this);
    icon->setPixmap(ProgramPixmap(48));
    icon->setFixedSize(56, 56);
    icon->setAlignment(Qt::AlignCenter);

    name_->setText(QString::fromStdString(global.AppName() + global.VersionText()));
    QFont bold = name_->font();
    bold.setBold(true);
    name_->setFont(bold);
    name_->setWordWrap(true);

    link_ = QString::fromStdString(global.WebSiteURL());
    linkLabel_->setText(QStringLiteral("<a href=\"%1\">%1</a>").arg(link_.toHtmlEscaped()));
    linkLabel_->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    linkLabel_->setOpenExternalLinks(false);
    linkLabel_->setCursor(Qt::PointingHandCursor);
    connect(linkLabel_, &QLabel::linkActivated, this, [this] { LinkClick(); });

    btnOk->setDefault(true);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);

    auto* texts = new QVBoxLayout;
    texts->addWidget(name_);
    texts->addWidget(linkLabel_);
    texts->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addSpacing(8);
    top->addLayout(texts, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOk);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 12);
    layout->addLayout(top, 1);
    layout->addLayout(buttons);
}

void TfrmAbout::LinkClick() {
    // A page that cannot be opened is no error.
    desktop_.OpenUrl(QUrl(link_));
}

void TfrmAbout::showEvent(QShowEvent* event) {
    if (QWidget* owner = parentWidget())
        move(owner->geometry().center() - QPoint(width() / 2, height() / 2));
    QDialog::showEvent(event);
}

} // namespace tovik
