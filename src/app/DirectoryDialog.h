#pragma once
// The output directory dialog ("Brows"): a folder tree, "Ok" and "Cancel". Callers show it
// modally and read SelectedPath(); they validate the path themselves.

#include "app/ShellRules.h"

#include <QDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>

namespace tovik {

class TDesktop;

class TfmDirectory : public QDialog {
    Q_OBJECT
public:
    // fileSystemTypeOf tells optical discs apart; tests pass their own.
    TfmDirectory(QWidget* parent, TDesktop& desktop, TFileSystemTypeOf fileSystemTypeOf);

    // The folder chosen by "Ok"; empty after "Cancel" or a refused choice.
    const QString& SelectedPath() const { return selectedPath_; }
    // Shows the dialog modally and returns SelectedPath().
    QString Execute();

    // Selects a folder in the tree (as a click would) and updates "Ok".
    void SelectFolder(const QString& path);
    QString CurrentFolder() const;
    bool OkEnabled() const { return btnOk->isEnabled(); }
    void OkClick();
    void CancelClick();

    // The folder selected when the dialog shows: the stand-in for the system drive's root.
    static QString StartFolder();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void UpdateOk();

    TDesktop& desktop_;
    TFileSystemTypeOf fileSystemTypeOf_;
    QFileSystemModel* model_;
    QTreeView* tree_;
    QPushButton* btnOk;
    QPushButton* btnCancel;
    QString selectedPath_;
};

} // namespace tovik
