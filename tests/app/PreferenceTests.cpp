// The preferences dialog under offscreen Qt: the pairs that keep one box checked, the quality
// controls, Default, OK and Cancel, the folder checks, and Tools > "&Preference".
#include "AppTestSupport.h"

#include "app/MainWindow.h"
#include "app/preference/PreferenceDialog.h"
#include "settings/GlobalObject.h"
#include "settings/IniFile.h"
#include "workspace/run/RunningFiles.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <memory>

namespace tovik::test {
namespace {

namespace fs = std::filesystem;

class PreferenceTest : public TAppTest {
protected:
    std::unique_ptr<TfrmPreference> MakeDialog() {
        auto dialog = std::make_unique<TfrmPreference>(nullptr, SettingsFile(), desktop_,
                                                       [](const std::string&) { return "ext4"; });
        dialog->Prepare();
        dialog->show();
        return dialog;
    }
    std::string Read(const char* key) {
        return TIniFile(SettingsFile()).ReadString("settings", key, "<none>");
    }
    // A folder the snapshots can go to.
    std::string WritableFolder(const char* name) {
        const fs::path folder = temp_.Path() / name;
        fs::create_directories(folder);
        return folder.string();
    }
    // A path where nothing can be written, whoever runs the test: a plain file.
    std::string UnwritableFolder() {
        const std::string path = temp_.File("not-a-folder");
        WriteTextFile(path, "x");
        return path;
    }
};

TEST_F(PreferenceTest, ShowsTheStoredValues) {
    TIniFile settings(SettingsFile());
    const std::string folder = WritableFolder("snaps");
    settings.WriteString("settings", "snapOutPutDir", folder); // the key's case does not matter
    settings.WriteInteger("settings", "snapFullSize", 0);
    settings.WriteInteger("settings", "snapJpg", 0);
    settings.WriteInteger("settings", "jpgCmp", 75);
    settings.WriteInteger("settings", "Priority", 3);
    settings.WriteInteger("settings", "simultaneous", 3);
    settings.WriteBool("settings", "keepFileDates", true);
    auto dialog = MakeDialog();
    EXPECT_EQ(dialog->windowTitle(), "Preference");
    EXPECT_EQ(dialog->size(), QSize(480, 390));
    EXPECT_EQ(dialog->SnapshotFolderBox()->text().toStdString(), folder);
    EXPECT_FALSE(dialog->FullSizeBox()->isChecked());
    EXPECT_TRUE(dialog->SmallSizeBox()->isChecked());
    EXPECT_TRUE(dialog->BmpBox()->isChecked());
    EXPECT_FALSE(dialog->JpgBox()->isChecked());
    EXPECT_EQ(dialog->QualitySpin()->value(), 75);
    EXPECT_EQ(dialog->QualitySlider()->value(), 75);
    EXPECT_FALSE(dialog->QualitySpin()->isEnabled()) << "no JPEG snapshots: no quality";
    EXPECT_FALSE(dialog->QualitySlider()->isEnabled());
    EXPECT_TRUE(dialog->PriorityItem(3)->isChecked());
    EXPECT_EQ(dialog->SimultaneousSpin()->value(), 3);
    EXPECT_TRUE(dialog->KeepFileDatesBox()->isChecked());
    EXPECT_EQ(dialog->QualitySpin()->minimum(), 1);
    EXPECT_EQ(dialog->QualitySpin()->maximum(), 100);

    // A fresh file: every box on, quality 30, Normal, dates not kept.
    fs::remove(SettingsFile());
    dialog->Prepare();
    for (QCheckBox* box :
         {dialog->FullSizeBox(), dialog->SmallSizeBox(), dialog->BmpBox(), dialog->JpgBox()})
        EXPECT_TRUE(box->isChecked()) << box->text().toStdString();
    EXPECT_EQ(dialog->QualitySpin()->value(), 30);
    EXPECT_TRUE(dialog->QualitySpin()->isEnabled());
    EXPECT_TRUE(dialog->PriorityItem(1)->isChecked());
    EXPECT_EQ(dialog->SimultaneousSpin()->value(), 1); // one file after another, as ever
    EXPECT_FALSE(dialog->KeepFileDatesBox()->isChecked());
}

TEST_F(PreferenceTest, EachPairKeepsOneBoxChecked) {
    auto dialog = MakeDialog();
    // BMP off while JPG is on: allowed; then JPG off too: JPG comes back.
    dialog->BmpBox()->click();
    EXPECT_FALSE(dialog->BmpBox()->isChecked());
    dialog->JpgBox()->click();
    EXPECT_TRUE(dialog->JpgBox()->isChecked());
    EXPECT_FALSE(dialog->BmpBox()->isChecked());
    // Unchecking "BMP" while "JPG" is unchecked leaves "BMP" checked.
    dialog->BmpBox()->click();
    dialog->JpgBox()->click();
    EXPECT_FALSE(dialog->JpgBox()->isChecked());
    EXPECT_FALSE(dialog->QualitySpin()->isEnabled());
    dialog->BmpBox()->click();
    EXPECT_TRUE(dialog->BmpBox()->isChecked());
    // JPG back on enables the quality controls.
    dialog->JpgBox()->click();
    EXPECT_TRUE(dialog->QualitySpin()->isEnabled());
    EXPECT_TRUE(dialog->QualitySlider()->isEnabled());

    dialog->SmallSizeBox()->click();
    dialog->FullSizeBox()->click();
    EXPECT_TRUE(dialog->FullSizeBox()->isChecked());
    EXPECT_FALSE(dialog->SmallSizeBox()->isChecked());
    dialog->SmallSizeBox()->click();
    dialog->FullSizeBox()->click();
    dialog->SmallSizeBox()->click();
    EXPECT_TRUE(dialog->SmallSizeBox()->isChecked());
    EXPECT_FALSE(dialog->FullSizeBox()->isChecked());

    // A hand-edited file with both of a pair off shows the first one on.
    TIniFile settings(SettingsFile());
    settings.WriteInteger("settings", "snapBmp", 0);
    settings.WriteInteger("settings", "snapJpg", 0);
    dialog->Prepare();
    EXPECT_TRUE(dialog->BmpBox()->isChecked());
    EXPECT_FALSE(dialog->JpgBox()->isChecked());
}

TEST_F(PreferenceTest, TheQualityControlsFollowEachOther) {
    auto dialog = MakeDialog();
    dialog->QualitySlider()->setValue(88);
    EXPECT_EQ(dialog->QualitySpin()->value(), 88);
    dialog->QualitySpin()->setValue(5);
    EXPECT_EQ(dialog->QualitySlider()->value(), 5);
    dialog->QualitySpin()->setValue(0); // below the range: stays at 1
    EXPECT_EQ(dialog->QualitySpin()->value(), 1);
    EXPECT_EQ(dialog->QualitySlider()->value(), 1);
}

TEST_F(PreferenceTest, OkWritesEveryValueAndCancelNothing) {
    const std::string folder = WritableFolder("snapshots");
    auto dialog = MakeDialog();
    dialog->SnapshotFolderBox()->setText(QString::fromStdString(folder));
    dialog->SmallSizeBox()->click();
    dialog->JpgBox()->click();
    dialog->QualitySpin()->setValue(64);
    dialog->PriorityItem(0)->click();
    dialog->SimultaneousSpin()->setValue(2);
    dialog->KeepFileDatesBox()->click();
    dialog->OkClick();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(Read("SnapOutPutDir"), folder);
    EXPECT_EQ(Read("snapFullSize"), "1");
    EXPECT_EQ(Read("snapSmallSize"), "0");
    EXPECT_EQ(Read("snapBmp"), "1");
    EXPECT_EQ(Read("snapJpg"), "0");
    EXPECT_EQ(Read("jpgCmp"), "64");
    EXPECT_EQ(Read("priority"), "0");
    EXPECT_EQ(Read("simultaneous"), "2");
    EXPECT_EQ(Read("keepFileDates"), "1");

    // "&Default" then "&Cancel" changes nothing in the file, and the next showing shows the
    // stored values, not the abandoned ones.
    const std::string before = ReadSettingsText();
    dialog->show();
    dialog->Prepare();
    dialog->DefaultClick();
    EXPECT_EQ(dialog->SnapshotFolderBox()->text().toStdString(), DefaultVideoDirectory());
    EXPECT_TRUE(dialog->BmpBox()->isChecked());
    EXPECT_FALSE(dialog->JpgBox()->isChecked());
    EXPECT_TRUE(dialog->FullSizeBox()->isChecked());
    EXPECT_FALSE(dialog->SmallSizeBox()->isChecked());
    EXPECT_TRUE(dialog->PriorityItem(1)->isChecked());
    EXPECT_EQ(dialog->QualitySpin()->value(), 20);
    EXPECT_EQ(dialog->SimultaneousSpin()->value(), 1);
    EXPECT_FALSE(dialog->KeepFileDatesBox()->isChecked());
    dialog->CancelClick();
    EXPECT_EQ(ReadSettingsText(), before);
    dialog->Prepare();
    EXPECT_TRUE(dialog->PriorityItem(0)->isChecked());
    EXPECT_EQ(dialog->QualitySpin()->value(), 64);
    EXPECT_EQ(dialog->SimultaneousSpin()->value(), 2);
    EXPECT_TRUE(dialog->KeepFileDatesBox()->isChecked());

    // An emptied folder box stores the default folder.
    dialog->SnapshotFolderBox()->clear();
    dialog->OkClick();
    EXPECT_EQ(Read("SnapOutPutDir"), DefaultVideoDirectory());
}

TEST_F(PreferenceTest, AQualityOutsideTheRangeIsNotStored) {
    TIniFile settings(SettingsFile());
    settings.WriteInteger("settings", "jpgCmp", 42);
    TPreferenceValues values = ReadPreferences(settings, [](const std::string&) { return true; });
    EXPECT_EQ(values.JpgQuality, 42);
    for (int quality : {0, -5, 101}) {
        values.JpgQuality = quality;
        WritePreferences(settings, values);
        EXPECT_EQ(Read("jpgCmp"), "42") << quality;
    }
    values.JpgQuality = 100;
    WritePreferences(settings, values);
    EXPECT_EQ(Read("jpgCmp"), "100");
}

TEST_F(PreferenceTest, SimultaneousConversionsStayWithinOneAndTheLimit) {
    const int limit = SimultaneousLimit();
    TIniFile settings(SettingsFile());
    // Hand-edited or from a machine with more cores: the nearest count offered.
    settings.WriteInteger("settings", "simultaneous", limit + 5);
    auto dialog = MakeDialog();
    EXPECT_EQ(dialog->SimultaneousSpin()->value(), limit);
    EXPECT_EQ(dialog->SimultaneousSpin()->minimum(), 1);
    EXPECT_EQ(dialog->SimultaneousSpin()->maximum(), limit);
    settings.WriteInteger("settings", "simultaneous", 0);
    EXPECT_EQ(ReadPreferences(settings, [](const std::string&) { return true; }).Simultaneous, 1);
    TPreferenceValues values = DefaultPreferences();
    values.Simultaneous = -2;
    WritePreferences(settings, values);
    EXPECT_EQ(Read("simultaneous"), "1");
    // Its caption, beside the spin box.
    const auto captions = dialog->findChildren<QLabel*>();
    EXPECT_TRUE(std::any_of(captions.begin(), captions.end(), [&](const QLabel* label) {
        return label->text() == "Simultaneous conversions" &&
               label->buddy() == dialog->SimultaneousSpin();
    }));
}

TEST_F(PreferenceTest, AnUnwritableSnapshotFolderIsReplacedByTheUsersOwn) {
    TIniFile(SettingsFile()).WriteString("settings", "SnapOutPutDir", UnwritableFolder());
    auto dialog = MakeDialog();
    EXPECT_EQ(dialog->SnapshotFolderBox()->text().toStdString(), UserProfileVideoDirectory());
    EXPECT_EQ(Read("SnapOutPutDir"), UserProfileVideoDirectory()) << "written back at once";

    // "&Brows" to a folder that cannot be written warns and takes the user's own.
    const std::string other = WritableFolder("other");
    dialog->SnapshotFolderBox()->setText(QString::fromStdString(other));
    const std::string unwritable = UnwritableFolder();
    dialog->ChooseFolder = [&] { return QString::fromStdString(unwritable); };
    dialog->BrowsClick();
    ASSERT_EQ(desktop_.Messages.size(), 1u);
    EXPECT_EQ(desktop_.Messages[0].Caption, "Warning");
    EXPECT_EQ(desktop_.Messages[0].Text.toStdString(),
              "You login as " + TGlobalObject::UserName() +
                  " .You don't have permission to write to directory:" + unwritable);
    EXPECT_EQ(dialog->SnapshotFolderBox()->text().toStdString(), UserProfileVideoDirectory());
    EXPECT_EQ(Read("SnapOutPutDir"), UserProfileVideoDirectory());

    // A short path is refused and changes nothing; a writable folder is stored at once,
    // before "&Ok", and stays after "&Cancel".
    dialog->ChooseFolder = [] { return QStringLiteral("/"); };
    dialog->BrowsClick();
    ASSERT_EQ(desktop_.Messages.size(), 2u);
    EXPECT_EQ(desktop_.Messages[1].Text, "The path / is not a valid directory.");
    EXPECT_EQ(Read("SnapOutPutDir"), UserProfileVideoDirectory());
    dialog->ChooseFolder = [&] { return QString::fromStdString(other); };
    dialog->BrowsClick();
    EXPECT_EQ(dialog->SnapshotFolderBox()->text().toStdString(), other);
    dialog->CancelClick();
    EXPECT_EQ(Read("SnapOutPutDir"), other);
    EXPECT_EQ(desktop_.Messages.size(), 2u);
}

TEST_F(PreferenceTest, OpenShowsTheStoredFolder) {
    const std::string folder = WritableFolder("shown");
    TIniFile(SettingsFile()).WriteString("settings", "SnapOutPutDir", folder);
    auto dialog = MakeDialog();
    dialog->OpenClick();
    ASSERT_EQ(desktop_.OpenedUrls.size(), 1u);
    EXPECT_EQ(desktop_.OpenedUrls[0], QUrl::fromLocalFile(QString::fromStdString(folder)));
    dialog->SnapshotFolderBox()->setText(QStringLiteral("/a"));
    dialog->OpenClick();
    EXPECT_EQ(desktop_.OpenedUrls.size(), 1u) << "two characters open nothing";
}

TEST_F(PreferenceTest, ToolsPreferenceOpensOneDialogInTheWindowsTheme) {
    auto window = MakeWindow();
    window->SkinItem(3)->trigger();
    QAction* item = nullptr;
    for (QAction* menu : window->menuBar()->actions())
        if (menu->menu())
            for (QAction* action : menu->menu()->actions())
                if (action->text() == "&Preference")
                    item = action;
    ASSERT_NE(item, nullptr);
    EXPECT_TRUE(item->isEnabled());
    int shown = 0;
    TfrmPreference* first = nullptr;
    for (int time = 0; time < 2; ++time) {
        QTimer::singleShot(0, window.get(), [&] {
            TfrmPreference* dialog = window->PreferenceDialog();
            ASSERT_TRUE(dialog && dialog->isVisible());
            EXPECT_TRUE(first == nullptr || first == dialog) << "one dialog, shown again";
            EXPECT_TRUE(window->Themes().IsFollowing(dialog));
            first = dialog;
            ++shown;
            dialog->PriorityItem(2)->click();
            dialog->OkClick();
        });
        item->trigger();
    }
    EXPECT_EQ(shown, 2);
    EXPECT_EQ(Read("priority"), "2");
}

} // namespace
} // namespace tovik::test
