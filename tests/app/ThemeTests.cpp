#include "AppTestSupport.h"

#include "app/theme/ThemeManager.h"

#include <QDialog>
#include <QImage>
#include <QMessageBox>
#include <QSet>
#include <memory>

namespace tovik::test {
namespace {

class ThemeTest : public TAppTest {};

TEST_F(ThemeTest, SevenNamedThemesInMenuOrder) {
    const QStringList expected = {"Default", "Gray",  "Orange",    "Purple",
                                  "Red",     "Green", "Light blue"};
    for (int index = 0; index < kThemeCount; ++index)
        EXPECT_EQ(ThemeName(index), expected[index]) << index;
    EXPECT_TRUE(ThemeName(-1).isEmpty());
    EXPECT_TRUE(ThemeName(7).isEmpty());
    // Each theme looks different: no two share an accent colour.
    QSet<QRgb> accents;
    for (int index = 0; index < kThemeCount; ++index)
        accents.insert(ThemeColors(index).Accent.rgb());
    EXPECT_EQ(accents.size(), kThemeCount);
}

TEST_F(ThemeTest, FileListRowTintsPerTheme) {
    EXPECT_EQ(ListRowTint(0), QColor(226, 230, 246));
    EXPECT_EQ(ListRowTint(1), QColor(236, 236, 236));
    EXPECT_EQ(ListRowTint(2), QColor(248, 242, 224));
    EXPECT_EQ(ListRowTint(3), QColor(246, 230, 241));
    EXPECT_EQ(ListRowTint(4), QColor(247, 225, 225));
    EXPECT_EQ(ListRowTint(5), QColor(226, 247, 225));
    EXPECT_EQ(ListRowTint(6), QColor(225, 240, 247));
    EXPECT_EQ(ListRowTint(kNoTheme), QColor(235, 235, 235));
    EXPECT_EQ(ListRowTint(7), QColor(235, 235, 235));
}

TEST_F(ThemeTest, IndexOutsideRangeAppliesNothing) {
    TThemeManager themes;
    QWidget window;
    themes.Follow(&window);
    EXPECT_EQ(themes.CurrentTheme(), kNoTheme);
    // Without a theme the window still has the designed look, theme 0's.
    EXPECT_EQ(window.palette().color(QPalette::Window), ThemeColors(0).Window);

    EXPECT_FALSE(themes.ApplyTheme(7));
    EXPECT_FALSE(themes.ApplyTheme(-1));
    EXPECT_EQ(themes.CurrentTheme(), kNoTheme);

    ASSERT_TRUE(themes.ApplyTheme(4));
    const QString sheet = window.styleSheet();
    EXPECT_FALSE(themes.ApplyTheme(7));
    EXPECT_EQ(themes.CurrentTheme(), 4);
    EXPECT_EQ(window.styleSheet(), sheet);
    EXPECT_EQ(window.palette().color(QPalette::Window), ThemeColors(4).Window);
}

TEST_F(ThemeTest, EveryFollowerTakesTheThemeAndLaterOnesTakeItAtOnce) {
    TThemeManager themes;
    QWidget main;
    themes.Follow(&main);
    ASSERT_TRUE(themes.ApplyTheme(2));
    EXPECT_EQ(main.palette().color(QPalette::Window), ThemeColors(2).Window);

    // A dialog that starts following later takes the current theme immediately.
    QDialog dialog(&main);
    themes.Follow(&dialog);
    EXPECT_EQ(dialog.palette().color(QPalette::Window), ThemeColors(2).Window);
    EXPECT_EQ(dialog.styleSheet(), ThemeStyleSheet(ThemeColors(2)));

    ASSERT_TRUE(themes.ApplyTheme(5));
    EXPECT_EQ(main.palette().color(QPalette::Window), ThemeColors(5).Window);
    EXPECT_EQ(dialog.palette().color(QPalette::Window), ThemeColors(5).Window);
    EXPECT_EQ(main.palette().color(QPalette::AlternateBase), ListRowTint(5));
}

TEST_F(ThemeTest, MessageBoxesOfAFollowerShareItsColours) {
    TThemeManager themes;
    QWidget main;
    themes.Follow(&main);
    ASSERT_TRUE(themes.ApplyTheme(3));
    QMessageBox box(QMessageBox::Warning, "Warning", "text", QMessageBox::Ok, &main);
    box.resize(300, 120);
    const QImage picture = box.grab().toImage();
    EXPECT_EQ(picture.pixelColor(2, 2), ThemeColors(3).Window);
}

TEST_F(ThemeTest, DestroyedFollowersDropOut) {
    TThemeManager themes;
    auto dialog = std::make_unique<QDialog>();
    themes.Follow(dialog.get());
    themes.Follow(dialog.get()); // following twice is following once
    EXPECT_TRUE(themes.IsFollowing(dialog.get()));
    dialog.reset();
    EXPECT_TRUE(themes.ApplyTheme(6));
    EXPECT_EQ(themes.CurrentTheme(), 6);
}

} // namespace
} // namespace tovik::test
