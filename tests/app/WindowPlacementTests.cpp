#include "AppTestSupport.h"

#include "app/AboutBox.h"
#include "app/MainWindow.h"
#include "app/WindowPlacement.h"
#include "app/theme/Themes.h"
#include "settings/GlobalObject.h"
#include "settings/IniFile.h"
#include "workspace/ui/FileList.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <memory>

namespace tovik::test {
namespace {

class WindowPlacementTest : public TAppTest {
protected:
    QWidget* Panel(TfrmMain& window) { return window.findChild<QWidget*>("pnlPreview"); }
    QWidget* Screen(TfrmMain& window) { return window.findChild<QWidget*>("pan1"); }
    // Closes the window as a user does: the close question answered with Yes.
    void CloseWithYes(TfrmMain& window) {
        desktop_.Answer = TMessageResult::mrYes;
        ASSERT_TRUE(window.close());
        desktop_.Answer = TMessageResult::mrNo;
    }
};

TEST(WindowPlacementRules, FittingOntoTheScreensThereAre) {
    const QRect primary(0, 0, 1920, 1080);
    const QRect second(1920, 0, 1280, 1024);
    // On a screen: stays as it was.
    EXPECT_EQ(FitOnScreens(QRect(100, 80, 786, 480), {primary}), QRect(100, 80, 786, 480));
    EXPECT_EQ(FitOnScreens(QRect(2100, 50, 900, 600), {primary, second}),
              QRect(2100, 50, 900, 600));
    // Partly off the edge: moved onto the screen it overlaps most.
    EXPECT_EQ(FitOnScreens(QRect(1500, 900, 786, 480), {primary}), QRect(1134, 600, 786, 480));
    EXPECT_EQ(FitOnScreens(QRect(-300, -40, 786, 480), {primary}), QRect(0, 0, 786, 480));
    EXPECT_EQ(FitOnScreens(QRect(2900, 100, 786, 480), {primary, second}),
              QRect(2414, 100, 786, 480));
    // Larger than the screen: shrunk to it.
    EXPECT_EQ(FitOnScreens(QRect(10, 10, 2500, 1400), {primary}), QRect(0, 0, 1920, 1080));
    // Its screen is gone: centred on the primary one.
    EXPECT_EQ(FitOnScreens(QRect(2100, 50, 900, 600), {primary}), QRect(510, 240, 900, 600));
    EXPECT_EQ(FitOnScreens(QRect(2100, 50, 3000, 600), {primary}).size(), QSize(1920, 600));
    // No screens known: nothing to fit onto.
    EXPECT_EQ(FitOnScreens(QRect(5, 6, 7, 8), {}), QRect(5, 6, 7, 8));
}

TEST_F(WindowPlacementTest, StoredPlacementReadsBackAndIncompleteOnesDoNot) {
    TIniFile settings(SettingsFile());
    EXPECT_FALSE(ReadWindowPlacement(settings).has_value());
    WriteWindowPlacement(settings, TWindowPlacement{QRect(-20, 35, 900, 620), true});
    const auto placement = ReadWindowPlacement(settings);
    ASSERT_TRUE(placement.has_value());
    EXPECT_EQ(placement->Normal, QRect(-20, 35, 900, 620));
    EXPECT_TRUE(placement->Maximized);

    settings.WriteInteger("mainwindow", "height", 0);
    EXPECT_FALSE(ReadWindowPlacement(settings).has_value());
    settings.WriteString("mainwindow", "height", "tall");
    EXPECT_FALSE(ReadWindowPlacement(settings).has_value());
    settings.WriteInteger("mainwindow", "height", 500);
    ASSERT_TRUE(ReadWindowPlacement(settings).has_value());
    EXPECT_EQ(ReadWindowPlacement(settings)->Normal.height(), 500);
    // A file from before placements were stored has no such section at all.
    TIniFile other((temp_.Path() / "other.ini").string());
    other.WriteInteger("mainwindow", "left", 4);
    EXPECT_FALSE(ReadWindowPlacement(other).has_value());
}

TEST_F(WindowPlacementTest, ResizingGrowsTheListAndThePreviewPanel) {
    auto window = MakeWindow();
    ASSERT_EQ(window->size(), QSize(786, 480));
    EXPECT_GT(window->maximumWidth(), 4000);
    EXPECT_GT(window->maximumHeight(), 4000);
    QCoreApplication::processEvents();
    TFileList* list = window->FileList();
    const QSize listBefore = list->size();
    const QSize panelBefore = Panel(*window)->size();
    const QSize screenBefore = Screen(*window)->size();
    EXPECT_EQ(panelBefore.width(), 232);

    window->resize(1400, 900);
    QCoreApplication::processEvents();
    EXPECT_GT(list->width(), listBefore.width() + 300);
    EXPECT_GT(list->height(), listBefore.height() + 300);
    EXPECT_GT(Panel(*window)->width(), panelBefore.width() + 100);
    EXPECT_GT(Panel(*window)->height(), panelBefore.height() + 300);
    // The picture area keeps a picture's shape while it grows.
    const QSize screen = Screen(*window)->size();
    EXPECT_GT(screen.width(), screenBefore.width());
    EXPECT_NEAR(screen.height() * 4.0 / 3.0, screen.width(), 2.0);
    // The source column takes the new room; the others keep theirs.
    EXPECT_GT(list->columnWidth(flcSource), 400);
    EXPECT_EQ(list->columnWidth(flcDuration), 65);
    // Everything stays inside the window.
    const QRect inside = window->rect();
    for (const char* name : {"lvFiles", "pnlPreview", "edDirectory", "btnOpen", "btnExit"}) {
        auto* widget = window->findChild<QWidget*>(name);
        ASSERT_NE(widget, nullptr) << name;
        EXPECT_TRUE(
            inside.contains(QRect(widget->mapTo(window.get(), QPoint(0, 0)), widget->size())))
            << name;
    }
}

TEST_F(WindowPlacementTest, EveryThemeFitsTheFirstSizeWithoutClipping) {
    auto window = MakeWindow();
    for (int theme = 0; theme < kThemeCount; ++theme) {
        window->SkinMenuPopup();
        window->SkinItemClick(theme);
        QCoreApplication::processEvents();
        // What the layout needs fits into the first size, so nothing is squeezed off the edge.
        const QSize needed = window->minimumSizeHint();
        EXPECT_LE(needed.width(), 786) << "theme " << theme;
        EXPECT_LE(needed.height(), 480) << "theme " << theme;
        ASSERT_EQ(window->size(), QSize(786, 480));
        // The last row of controls ends above the window's bottom edge.
        for (const char* name : {"edDirectory", "btnBrows", "btnOpen"}) {
            auto* widget = window->findChild<QWidget*>(name);
            ASSERT_NE(widget, nullptr) << name;
            const QRect box(widget->mapTo(window.get(), QPoint(0, 0)), widget->size());
            EXPECT_LT(box.bottom(), window->height() - 2) << name << " theme " << theme;
            EXPECT_GE(widget->height(), widget->minimumSizeHint().height()) << name;
        }
    }
}

TEST_F(WindowPlacementTest, GeometryIsStoredAtTheCloseAndRestoredAtTheNextStart) {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect wanted(area.left() + 20, area.top() + 30, 700, 500);
    {
        auto window = MakeWindow();
        window->setGeometry(wanted);
        QCoreApplication::processEvents();
        // Refusing the close stores nothing.
        desktop_.Answer = TMessageResult::mrNo;
        EXPECT_FALSE(window->close());
        EXPECT_FALSE(ReadWindowPlacement(TIniFile(SettingsFile())).has_value());
        CloseWithYes(*window);
    }
    const auto stored = ReadWindowPlacement(TIniFile(SettingsFile()));
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->Normal, wanted);
    EXPECT_FALSE(stored->Maximized);

    auto again = MakeWindow();
    EXPECT_EQ(again->geometry(), wanted);
    EXPECT_FALSE(again->isMaximized());
}

TEST_F(WindowPlacementTest, AMaximisedWindowComesBackMaximisedAndKeepsItsNormalSize) {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect normal(area.left() + 10, area.top() + 10, 640, 420);
    {
        auto window = MakeWindow();
        window->setGeometry(normal);
        window->showMaximized();
        QCoreApplication::processEvents();
        ASSERT_TRUE(window->isMaximized());
        CloseWithYes(*window);
    }
    const auto stored = ReadWindowPlacement(TIniFile(SettingsFile()));
    ASSERT_TRUE(stored.has_value());
    EXPECT_TRUE(stored->Maximized);
    EXPECT_EQ(stored->Normal, normal);

    auto again = MakeWindow();
    QCoreApplication::processEvents();
    EXPECT_TRUE(again->isMaximized());
    again->showNormal();
    QCoreApplication::processEvents();
    EXPECT_EQ(again->geometry(), normal);
}

TEST_F(WindowPlacementTest, APlacementOffEveryScreenComesBackOnTheScreen) {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    TIniFile settings(SettingsFile());
    WriteWindowPlacement(settings,
                         TWindowPlacement{QRect(area.right() + 500, area.top(), 600, 400), false});
    auto window = MakeWindow();
    EXPECT_EQ(window->size(), QSize(600, 400));
    EXPECT_TRUE(area.contains(window->geometry())) << window->geometry().x();
}

TEST_F(WindowPlacementTest, DialogsOpenCentredOnTheMainWindow) {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    auto window = MakeWindow();
    // Smaller than the screen and off its centre, so a dialog centred on the screen would
    // not be centred on the window.
    window->setGeometry(area.left() + area.width() / 4, area.top() + area.height() / 5,
                        area.width() * 2 / 3, area.height() * 2 / 3);
    QCoreApplication::processEvents();
    const QPoint centre = window->geometry().center();

    TGlobalObject global;
    global.SetUpFileLocations();
    TfrmAbout about(window.get(), global, desktop_);
    about.show();
    QCoreApplication::processEvents();
    EXPECT_LE((about.geometry().center() - centre).manhattanLength(), 4)
        << about.geometry().x() << "," << about.geometry().y();
    about.close();

    // Moved since, the window takes its dialogs along.
    window->move(window->x() - area.width() / 8, window->y() + 10);
    QCoreApplication::processEvents();
    about.show();
    QCoreApplication::processEvents();
    EXPECT_LE((about.geometry().center() - window->geometry().center()).manhattanLength(), 4);
    about.close();
}

} // namespace
} // namespace tovik::test
