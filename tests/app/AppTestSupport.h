#pragma once
// Shared pieces of the window tests: one application object for the process, a desktop
// double that answers message boxes at once, and a fixture that points the settings folder
// and HOME at a fresh temporary folder.

#include "app/Desktop.h"
#include "app/MainWindow.h"
#include "support/TestSupport.h"

#include <QString>
#include <QUrl>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tovik::test {

// Creates the process's TConverterApplication on first use.
void EnsureApplication();

struct TShownMessage {
    QString Caption;
    QString Text;
    TMessageIcon Icon;
    TMessageButtons Buttons;
};

class TFakeDesktop : public TDesktop {
public:
    TMessageResult ShowMessage(QWidget* parent, const QString& caption, const QString& text,
                               TMessageIcon icon, TMessageButtons buttons) override;
    bool OpenUrl(const QUrl& url) override;
    QStringList ChooseOpenFiles(QWidget* parent, const QStringList& filters) override;
    QString ChooseSaveFile(QWidget* parent, const QString& suggested,
                           const QString& filter) override;
    bool ProgramActive() const override { return Active; }
    bool Notify(const QString& summary, const QString& body) override;

    // The answer every question box gets (message boxes with only OK answer mrOk).
    TMessageResult Answer = TMessageResult::mrNo;
    std::vector<TShownMessage> Messages;
    std::vector<QUrl> OpenedUrls;
    // What the open dialog returns, and the filters it was shown with.
    QStringList ChosenFiles;
    QStringList LastFilters;
    int OpenDialogs = 0;
    // What the save dialog returns, and the name it suggested.
    QString SaveFile;
    QString SuggestedSaveFile;
    // Whether a window of the program counts as active; the notices sent.
    bool Active = true;
    std::vector<std::pair<QString, QString>> Notices;
};

// Appends a row as an add makes it: the source, its length in whole seconds (and a part of
// one), an output path in "/out/" named destination, the zoom mode. Returns its index.
int AppendTestRow(TJobList& jobs, const QString& source, int64_t seconds,
                  const QString& destination, const std::string& zoomMode = "lbox");

// Every test of this fixture runs with its own settings folder and home folder.
class TAppTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::string SettingsFile() const;
    std::string ReadSettingsText() const;
    // Services for a window under test: this fixture's desktop, every folder on ext4.
    TMainWindowServices WindowServices();
    // A shown main window with WindowServices().
    std::unique_ptr<TfrmMain> MakeWindow();

    TTempDir temp_;
    TFakeDesktop desktop_;

private:
    std::optional<std::string> oldConfig_;
    std::optional<std::string> oldHome_;
    std::optional<std::string> oldProfile_;
    std::optional<std::string> oldState_;
};

} // namespace tovik::test
