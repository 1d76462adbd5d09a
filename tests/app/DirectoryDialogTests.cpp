#include "AppTestSupport.h"

#include "app/DirectoryDialog.h"

#include <QDir>
#include <filesystem>

namespace tovik::test {
namespace {

class DirectoryDialogTest : public TAppTest {
protected:
    void SetUp() override {
        TAppTest::SetUp();
        disc_ = temp_.Path() / "cdrom";
        plain_ = temp_.Path() / "videos";
        std::filesystem::create_directories(disc_ / "VIDEO_TS");
        std::filesystem::create_directories(plain_);
    }
    TFileSystemTypeOf Types() const {
        const std::string disc = disc_.string();
        return [disc](const std::string& path) {
            return path.starts_with(disc) ? std::string("iso9660") : std::string("ext4");
        };
    }
    std::filesystem::path disc_;
    std::filesystem::path plain_;
};

TEST_F(DirectoryDialogTest, ShowsWithItsCaptionSizeAndTheHomeFolderSelected) {
    TfmDirectory dialog(nullptr, desktop_, Types());
    EXPECT_FALSE(dialog.OkEnabled()); // nothing selected yet
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "Brows");
    EXPECT_EQ(dialog.size(), QSize(322, 351));
    EXPECT_EQ(dialog.CurrentFolder(), QDir::homePath());
    EXPECT_TRUE(dialog.OkEnabled());
    dialog.CancelClick();
}

TEST_F(DirectoryDialogTest, AFolderOnACdRomIsRefusedAndTheDialogStaysOpen) {
    TfmDirectory dialog(nullptr, desktop_, Types());
    dialog.show();
    dialog.SelectFolder(QString::fromStdString((disc_ / "VIDEO_TS").string()));
    dialog.OkClick();
    EXPECT_TRUE(dialog.SelectedPath().isEmpty());
    EXPECT_TRUE(dialog.isVisible());
    ASSERT_EQ(desktop_.Messages.size(), 1u);
    EXPECT_EQ(desktop_.Messages[0].Text,
              "Output folder cannot be located in CD-ROM.Please select another folder.");
    EXPECT_EQ(desktop_.Messages[0].Icon, TMessageIcon::miInformation);
    EXPECT_EQ(desktop_.Messages[0].Buttons, TMessageButtons::mbOk);

    dialog.CancelClick();
    EXPECT_TRUE(dialog.SelectedPath().isEmpty());
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST_F(DirectoryDialogTest, OkTakesAnOrdinaryFolderAndCancelForgetsIt) {
    TfmDirectory dialog(nullptr, desktop_, Types());
    dialog.show();
    const QString folder = QString::fromStdString(plain_.string());
    dialog.SelectFolder(folder);
    EXPECT_TRUE(dialog.OkEnabled());
    dialog.OkClick();
    EXPECT_EQ(dialog.SelectedPath(), folder);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(desktop_.Messages.empty());

    // Shown again and cancelled: the earlier choice is gone.
    dialog.show();
    dialog.CancelClick();
    EXPECT_TRUE(dialog.SelectedPath().isEmpty());
}

} // namespace
} // namespace tovik::test
