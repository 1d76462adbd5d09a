#include "AppTestSupport.h"

#include "app/AboutBox.h"
#include "app/ErrorHandler.h"
#include "app/MainWindow.h"
#include "engine/FFmpegException.h"
#include "settings/GlobalObject.h"
#include "settings/IniFile.h"
#include "workspace/ui/FileList.h"

#include <QHeaderView>
#include <QMenuBar>
#include <QMouseEvent>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <memory>

namespace tovik::test {
namespace {

class MainWindowTest : public TAppTest {
protected:
    std::unique_ptr<TfrmMain> MakeWindow(std::string libraryError = {}) {
        TMainWindowServices services = WindowServices();
        services.LoadPlayerLibraries = [libraryError](std::string& error) {
            error = libraryError;
            return libraryError.empty();
        };
        return std::make_unique<TfrmMain>(std::move(services));
    }

    std::vector<int> CheckedSkinItems(TfrmMain& window) {
        std::vector<int> checked;
        for (int index = 0; index < kThemeCount; ++index)
            if (window.SkinItem(index)->isChecked())
                checked.push_back(index);
        return checked;
    }

    QAction* MenuAction(QMenu* menu, const QString& caption) {
        for (QAction* action : menu->actions())
            if (action->text() == caption)
                return action;
        return nullptr;
    }
};

TEST_F(MainWindowTest, TheSkinMenuMarksTheThemeShown) {
    // No settings file: the default theme is shown and marked.
    auto window = MakeWindow();
    window->show();
    EXPECT_EQ(window->Themes().CurrentTheme(), 0);
    window->SkinMenuPopup();
    EXPECT_EQ(CheckedSkinItems(*window), std::vector<int>{0});
    // Opening the menu only reads: the theme stays.
    EXPECT_EQ(window->Themes().CurrentTheme(), 0);

    // The mark follows what is shown, not what another program wrote into the file since.
    window->SkinItem(4)->trigger();
    TIniFile(SettingsFile()).WriteInteger("settings", "skinIndex", 2);
    window->SkinMenuPopup();
    EXPECT_EQ(CheckedSkinItems(*window), std::vector<int>{4});
    EXPECT_EQ(window->Themes().CurrentTheme(), 4);

    // A stored theme is shown and marked at the next start.
    TIniFile(SettingsFile()).WriteInteger("settings", "skinIndex", 6);
    auto next = MakeWindow();
    next->show();
    next->SkinMenuPopup();
    EXPECT_EQ(next->Themes().CurrentTheme(), 6);
    EXPECT_EQ(CheckedSkinItems(*next), std::vector<int>{6});
}

TEST_F(MainWindowTest, StoredIndexOutsideTheThemesAppliesNone) {
    for (int stored : {7, 12, -1}) {
        TIniFile(SettingsFile()).WriteInteger("settings", "skinIndex", stored);
        auto window = MakeWindow();
        EXPECT_EQ(window->Themes().CurrentTheme(), kNoTheme) << stored;
        EXPECT_EQ(window->palette().color(QPalette::Window), ThemeColors(0).Window);
        // The designed look is the default theme's, and the menu says so.
        window->SkinMenuPopup();
        EXPECT_EQ(CheckedSkinItems(*window), std::vector<int>{0}) << stored;
    }
    TIniFile(SettingsFile()).WriteInteger("settings", "skinIndex", 5);
    EXPECT_EQ(MakeWindow()->Themes().CurrentTheme(), 5);
}

TEST_F(MainWindowTest, ChoosingASkinAppliesChecksAndStoresIt) {
    auto window = MakeWindow();
    window->show();
    window->SkinMenuPopup();
    window->SkinItem(3)->trigger();
    EXPECT_EQ(window->Themes().CurrentTheme(), 3);
    EXPECT_EQ(CheckedSkinItems(*window), std::vector<int>{3});
    EXPECT_EQ(TIniFile(SettingsFile()).ReadInteger("settings", "skinIndex", -5), 3);
    EXPECT_TRUE(window->isVisible());

    // The checked item again does nothing, not even a write.
    TIniFile(SettingsFile()).WriteInteger("settings", "skinIndex", 6);
    window->SkinItem(3)->trigger();
    EXPECT_EQ(window->Themes().CurrentTheme(), 3);
    EXPECT_EQ(CheckedSkinItems(*window), std::vector<int>{3});
    EXPECT_EQ(TIniFile(SettingsFile()).ReadInteger("settings", "skinIndex", -5), 6);
}

TEST_F(MainWindowTest, FirstShowingSizesCaptionsAndLaysOutTheToolRow) {
    auto window = MakeWindow();
    window->show();
    EXPECT_EQ(window->size(), QSize(786, 480));
    ASSERT_NE(window->GlobalObject(), nullptr);
    EXPECT_EQ(window->GlobalObject()->VersionText(), TGlobalObject::FileVersionText());
    EXPECT_EQ(window->windowTitle().toStdString(),
              std::string("Tovik AVI to MOV Converter") + TGlobalObject::FileVersionText());
    EXPECT_EQ(TConverterApplication::Instance()->Title(), "Tovik AVI to MOV Converter");

    const int menuBottom = window->menuBar()->geometry().bottom();
    int lastRight = -1;
    for (const char* name :
         {"btnAdd", "btnRemove", "btnClear", "BtnEdit", "btnStart", "btnSettings", "btnExit"}) {
        auto* button = window->findChild<QWidget*>(name);
        ASSERT_NE(button, nullptr) << name;
        const QRect box(button->mapTo(window.get(), QPoint(0, 0)), button->size());
        EXPECT_EQ(box.top(), menuBottom + 1 + 4) << name;
        EXPECT_GT(box.left(), lastRight) << name;
        lastRight = box.right();
    }

    auto* list = window->findChild<QTreeWidget*>("lvFiles");
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->columnCount(), 5);
    const QStringList captions = {"Source", "Length", "Trimmed Length", "Destination File",
                                  "Progress"};
    // The widths are the least each column gets; captions and the source column may ask more.
    const int widths[] = {140, 65, 90, 120, 60};
    for (int column = 0; column < 5; ++column)
        EXPECT_EQ(list->headerItem()->text(column), captions[column]);
    for (int column = 0; column < 5; ++column)
        EXPECT_GE(list->columnWidth(column), widths[column]) << column;
    EXPECT_EQ(list->columnWidth(1), 65);
    // The log is a window of its own now, opened from the Tools menu.
    EXPECT_EQ(window->findChild<QWidget*>("mmoLog"), nullptr);
    auto* logItem = window->findChild<QAction*>("mnuActivityLog");
    ASSERT_NE(logItem, nullptr);
    EXPECT_EQ(logItem->text(), "&Activity Log");
    EXPECT_FALSE(window->findChild<QWidget*>("cbOutputFormat")->isVisible());
}

TEST_F(MainWindowTest, TheEditButtonOpensTheListMenuBelowItselfOnceThereAreRows) {
    TMainWindowServices services = WindowServices();
    services.ProbeSource = [](const std::string&, int64_t& duration) {
        duration = 3'000'000;
        return true;
    };
    TfrmMain window(std::move(services));
    window.show();
    auto* edit = window.findChild<QToolButton*>("BtnEdit");
    ASSERT_NE(edit, nullptr);
    EXPECT_FALSE(edit->isEnabled());
    ASSERT_EQ(window.AddFiles({QString::fromStdString(temp_.File("clip.avi"))}), 1);
    EXPECT_TRUE(edit->isEnabled());
    window.FileList()->setCurrentItem(window.FileList()->Row(0));
    edit->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.ListMenu()->isVisible(); }));
    const QPoint below = edit->mapToGlobal(QPoint(0, edit->height()));
    EXPECT_EQ(window.ListMenu()->pos(), below);
    window.ListMenu()->hide();
}

TEST_F(MainWindowTest, LibraryLoadFailureGoesToTheActivityLog) {
    auto failed = MakeWindow("Cannot load libSDL2-2.0.so.0");
    EXPECT_EQ(failed->LogText(), "Cannot load libSDL2-2.0.so.0");
    auto loaded = MakeWindow();
    EXPECT_TRUE(loaded->LogText().isEmpty());
}

TEST_F(MainWindowTest, AnsweringNoToTheCloseQuestionChangesNothing) {
    TIniFile(SettingsFile()).WriteInteger("settings", "skinIndex", 2);
    auto window = MakeWindow();
    window->show();
    const std::string before = ReadSettingsText();

    desktop_.Answer = TMessageResult::mrNo;
    EXPECT_FALSE(window->close());
    ASSERT_EQ(desktop_.Messages.size(), 1u);
    EXPECT_EQ(desktop_.Messages[0].Caption, "Warning");
    EXPECT_EQ(desktop_.Messages[0].Text, "Do you really want to exit?");
    EXPECT_EQ(desktop_.Messages[0].Icon, TMessageIcon::miQuestion);
    EXPECT_EQ(desktop_.Messages[0].Buttons, TMessageButtons::mbYesNo);
    EXPECT_TRUE(window->isVisible());
    EXPECT_NE(window->GlobalObject(), nullptr);
    EXPECT_EQ(window->Themes().CurrentTheme(), 2);
    EXPECT_EQ(ReadSettingsText(), before);

    // A box closed without an answer refuses too.
    desktop_.Answer = TMessageResult::mrCancel;
    EXPECT_FALSE(window->close());
    EXPECT_NE(window->GlobalObject(), nullptr);

    desktop_.Answer = TMessageResult::mrYes;
    EXPECT_TRUE(window->close());
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->GlobalObject(), nullptr);
}

TEST_F(MainWindowTest, ErrorsEscapingAHandlerAreShownCaptionedWithTheTitle) {
    auto window = MakeWindow();
    window->show();
    // A failing slot on a button of the window, as a real handler would fail.
    auto* button = window->findChild<QPushButton*>("btnOpen");
    ASSERT_NE(button, nullptr);
    QObject::connect(button, &QPushButton::clicked, window.get(),
                     [] { throw FFmpegException("Could not write header for output file #0"); });
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), button->mapToGlobal(QPointF(5, 5)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 5),
                        button->mapToGlobal(QPointF(5, 5)), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QCoreApplication::sendEvent(button, &press);
    QCoreApplication::sendEvent(button, &release);

    ASSERT_FALSE(desktop_.Messages.empty());
    const TShownMessage& shown = desktop_.Messages.back();
    EXPECT_EQ(shown.Caption, "Tovik AVI to MOV Converter");
    EXPECT_EQ(shown.Text, "Could not write header for output file #0.");
    EXPECT_EQ(shown.Icon, TMessageIcon::miWarning);
    EXPECT_EQ(shown.Buttons, TMessageButtons::mbOk);
}

TEST_F(MainWindowTest, HelpMenuOpensTheAddresses) {
    auto window = MakeWindow();
    QMenu* help = window->findChild<QMenu*>("mnuHelp");
    ASSERT_NE(help, nullptr);
    MenuAction(help, "&Help")->trigger();
    MenuAction(help, "&Web Site")->trigger();
    MenuAction(help, "&Support and Contact")->trigger();
    ASSERT_EQ(desktop_.OpenedUrls.size(), 3u);
    EXPECT_EQ(desktop_.OpenedUrls[0], QUrl(QString::fromLatin1(kHelpURL)));
    EXPECT_EQ(desktop_.OpenedUrls[1], QUrl(QString::fromLatin1(kWebSiteURL)));
    EXPECT_EQ(desktop_.OpenedUrls[2], QUrl(QString::fromLatin1(kSupportURL)));
    EXPECT_NE(MenuAction(help, "&About"), nullptr);
}

TEST_F(MainWindowTest, MenusCarryTheirItems) {
    auto window = MakeWindow();
    QMenu* file = window->findChild<QMenu*>("mnuFile");
    QMenu* tools = window->findChild<QMenu*>("mnuTools");
    ASSERT_TRUE(file && tools);
    for (const char* caption : {"&Add", "&Remove", "&Clear", "&Start", "&Exit"})
        EXPECT_NE(MenuAction(file, caption), nullptr) << caption;
    ASSERT_NE(MenuAction(file, "Se&ttings"), nullptr);
    EXPECT_FALSE(MenuAction(file, "Se&ttings")->isVisible());
    EXPECT_NE(MenuAction(tools, "&Preference"), nullptr);
    EXPECT_EQ(window->SkinMenu()->actions().size(), kThemeCount);
    EXPECT_EQ(window->SkinItem(6)->text(), "Light blue");
    EXPECT_EQ(window->SkinItem(7), nullptr);
}

TEST_F(MainWindowTest, OutputDirectoryFallsBackToTheUsersFolderAndFollowsEdits) {
    TIniFile(SettingsFile()).WriteString("settings", "OutPutDir", "/nonexistent/place");
    auto window = MakeWindow();
    window->show();
    const std::string fallback = (temp_.Path() / "home" / "videoconverter").string();
    EXPECT_EQ(window->OutputDirectory().toStdString(), fallback);
    EXPECT_EQ(TIniFile(SettingsFile()).ReadString("settings", "OutPutDir", ""), fallback);
    EXPECT_EQ(TIniFile(SettingsFile()).ReadString("settings", "SnapOutPutDir", ""), fallback);

    auto* edit = window->findChild<QLineEdit*>("edDirectory");
    edit->setText(QString::fromStdString(temp_.Path().string()));
    EXPECT_EQ(TIniFile(SettingsFile()).ReadString("settings", "OutPutDir", ""),
              temp_.Path().string());
    window->OpenClick();
    ASSERT_EQ(desktop_.OpenedUrls.size(), 1u);
    EXPECT_EQ(desktop_.OpenedUrls[0].toLocalFile().toStdString(), temp_.Path().string());
}

TEST_F(MainWindowTest, AboutBoxShowsNameVersionAndLink) {
    TGlobalObject global;
    global.SetUpFileLocations();
    global.SetVersionText(" 3.600 ");
    QWidget owner;
    TfrmAbout about(&owner, global, desktop_);
    EXPECT_EQ(about.windowTitle(), "About");
    EXPECT_EQ(about.size(), QSize(330, 177));
    EXPECT_EQ(about.NameText(), "Tovik AVI to MOV Converter 3.600 ");
    about.LinkClick();
    ASSERT_EQ(desktop_.OpenedUrls.size(), 1u);
    EXPECT_EQ(desktop_.OpenedUrls[0], QUrl(QString::fromLatin1(kWebSiteURL)));
}

} // namespace
} // namespace tovik::test
