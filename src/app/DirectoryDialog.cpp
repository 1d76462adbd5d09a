#include "app/DirectoryDialog.h"

#include "app/Desktop.h"
#include "app/ErrorHandler.h"

#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>

namespace tovik {

TfmDirectory::TfmDirectory(QWidget* parent, TDesktop& desktop, TFileSystemTypeOf fileSystemTypeOf)
    : QDialog(parent), desktop_(desktop), fileSystemTypeOf_(std::move(fileSystemTypeOf)),
      model_(new QFileSystemModel(this)), tree_(new QTreeView(this)),
      btnOk(new QPushButton(QStringLiteral("Ok"), this)),
      btnCancel(new QPushButton(QStringLiteral("Cancel"), this)) {
    setObjectName(QStringLiteral("fmDirectory"));
    setWindowTitle(QStringLiteral("Brows"));
    resize(322, 351);
    setMaximumSize(322, 351);

    // Folders only, from the file system's root down; the root itself is the tree's top.
    model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    model_->setReadOnly(true);
    model_->setRootPath(QDir::rootPath());
    tree_->setModel(model_);
    for (int column = 1; column < model_->columnCount(); ++column)
        tree_->hideColumn(column);
    tree_->header()->hide();
    tree_->setSelectionMode(QAbstractItemView::SingleSelection);
    connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this] { UpdateOk(); });

    connect(btnOk, &QPushButton::clicked, this, &TfmDirectory::OkClick);
    connect(btnCancel, &QPushButton::clicked, this, &TfmDirectory::CancelClick);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Please select an output directory:"), this));
    layout->addWidget(tree_, 1);
    layout->addLayout(buttons);
    UpdateOk();
}

QString TfmDirectory::Execute() {
    exec();
    return selectedPath_;
}

QString TfmDirectory::StartFolder() {
    return QDir::homePath();
}

void TfmDirectory::SelectFolder(const QString& path) {
    const QModelIndex index = model_->index(path);
    if (index.isValid()) {
        tree_->setCurrentIndex(index);
        tree_->scrollTo(index);
    }
    UpdateOk();
}

QString TfmDirectory::CurrentFolder() const {
    const QModelIndex index = tree_->currentIndex();
    return index.isValid() ? model_->filePath(index) : QString();
}

void TfmDirectory::UpdateOk() {
    // Every node of this tree is a real folder; only "nothing selected" leaves nothing to take.
    btnOk->setEnabled(tree_->currentIndex().isValid());
}

void TfmDirectory::OkClick() {
    selectedPath_ = CurrentFolder();
    if (selectedPath_.isEmpty())
        return;
    if (IsOnCdRom(selectedPath_.toStdString(), fileSystemTypeOf_)) {
        selectedPath_.clear();
        desktop_.ShowMessage(
            this, ApplicationTitle(),
            QStringLiteral(
                "Output folder cannot be located in CD-ROM.Please select another folder."),
            TMessageIcon::miInformation, TMessageButtons::mbOk);
        return;
    }
    accept();
}

void TfmDirectory::CancelClick() {
    selectedPath_.clear();
    reject();
}

void TfmDirectory::showEvent(QShowEvent* event) {
    resize(322, 351);
    SelectFolder(StartFolder());
    QDialog::showEvent(event);
}

} // namespace tovik
