#include "AppTestSupport.h"

#include "app/DirectoryDialog.h"
#include "app/MainWindow.h"
#include "settings/GlobalObject.h"
#include "settings/IniFile.h"

#include <QTimer>
#include <filesystem>
#include <functional>
#include <memory>

namespace tovik::test {
namespace {

// "Brows" shows the directory dialog modally; each test answers it from inside its loop.
class BrowseTest : public TAppTest {
protected:
    // Runs Brows and, once the dialog is up, picks folder with "Ok" (or "Cancel" when empty).
    void Browse(TfrmMain& window, const QString& folder) {
        QTimer::singleShot(0, &window, [&window, folder] {
            auto* dialog = window.findChild<TfmDirectory*>();
            if (!dialog)
                return;
            if (folder.isEmpty()) {
                dialog->CancelClick();
                return;
            }
            dialog->SelectFolder(folder);
            dialog->OkClick();
        });
        window.BrowsClick();
    }
    std::string StoredOutputDir() {
        return TIniFile(SettingsFile()).ReadString("settings", "OutPutDir", "");
    }
};

TEST_F(BrowseTest, AWritableFolderBecomesTheOutputDirectory) {
    auto window = MakeWindow();
    const std::string folder = (temp_.Path() / "chosen").string();
    std::filesystem::create_directories(folder);
    Browse(*window, QString::fromStdString(folder));
    EXPECT_EQ(window->OutputDirectory().toStdString(), folder);
    EXPECT_EQ(StoredOutputDir(), folder);
    EXPECT_TRUE(desktop_.Messages.empty());
}

TEST_F(BrowseTest, ARootThatShortIsNoValidDirectory) {
    auto window = MakeWindow();
    const QString before = window->OutputDirectory();
    const std::string stored = StoredOutputDir();
    Browse(*window, "/");
    ASSERT_EQ(desktop_.Messages.size(), 1u);
    EXPECT_EQ(desktop_.Messages[0].Caption, "Warning");
    EXPECT_EQ(desktop_.Messages[0].Text, "The path / is not a valid directory.");
    EXPECT_EQ(window->OutputDirectory(), before);
    EXPECT_EQ(StoredOutputDir(), stored);
}

TEST_F(BrowseTest, AFolderWithoutWritePermissionFallsBackToTheUsersFolder) {
    auto window = MakeWindow();
    const std::string locked = "/proc/self";
    ASSERT_FALSE(TGlobalObject::CanWriteDir(locked));
    Browse(*window, QString::fromStdString(locked));
    ASSERT_EQ(desktop_.Messages.size(), 1u);
    EXPECT_EQ(desktop_.Messages[0].Caption, "Warning");
    EXPECT_EQ(desktop_.Messages[0].Text.toStdString(),
              "You login as " + TGlobalObject::UserName() +
                  " .You don't have permission to write to directory:" +
                  window->findChild<TfmDirectory*>()->SelectedPath().toStdString());
    const std::string fallback = (temp_.Path() / "home" / "videoconverter").string();
    EXPECT_EQ(window->OutputDirectory().toStdString(), fallback);
    EXPECT_EQ(StoredOutputDir(), fallback);
}

TEST_F(BrowseTest, CancelOrTheFolderAlreadyShownChangesNothing) {
    auto window = MakeWindow();
    const std::string folder = (temp_.Path() / "same").string();
    std::filesystem::create_directories(folder);
    Browse(*window, QString::fromStdString(folder));
    ASSERT_EQ(StoredOutputDir(), folder);

    TIniFile(SettingsFile()).WriteString("settings", "OutPutDir", "/marker");
    Browse(*window, QString::fromStdString(folder)); // already shown: no write at all
    EXPECT_EQ(StoredOutputDir(), "/marker");
    Browse(*window, QString());
    EXPECT_EQ(StoredOutputDir(), "/marker");
    EXPECT_EQ(window->OutputDirectory().toStdString(), folder);
    EXPECT_TRUE(desktop_.Messages.empty());
}

} // namespace
} // namespace tovik::test
