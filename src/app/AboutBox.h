#pragma once
// The about box: program icon, name and version, the web site link and an "&Ok" button.
// Created once by the main window and kept.

#include <QDialog>
#include <QLabel>
#include <QPushButton>

namespace tovik {

class TDesktop;
class TGlobalObject;

class TfrmAbout : public QDialog {
    Q_OBJECT
public:
    TfrmAbout(QWidget* owner, const TGlobalObject& global, TDesktop& desktop);

    QString NameText() const { return name_->text(); }
    QString LinkTarget() const { return link_; }
    // What a click on the link does.
    void LinkClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    TDesktop& desktop_;
    QLabel* name_;
    QLabel* linkLabel_;
    QPushButton* btnOk;
    QString link_;
};

} // namespace tovik
