#include "AppTestSupport.h"

#include "app/AboutBox.h"
#include "app/DirectoryDialog.h"
#include "app/MainWindow.h"
#include "settings/GlobalObject.h"
#include "workspace/ui/FileList.h"
#include "workspace/ui/FormatListBox.h"

#include <QDir>
#include <QImage>
#include <QPixmap>
#include <cmath>

namespace tovik::test {
namespace {

class ThemeScreenshotTest : public TAppTest {};

int Distance(QColor a, QColor b) {
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
           std::abs(a.blue() - b.blue());
}

// Takes a picture of the main window in every theme (kept in the build tree for a look) and
// checks that the tool row really wears each theme's accent.
TEST_F(ThemeScreenshotTest, EachThemeDressesTheMainWindow) {
    TfrmMain window(WindowServices());
    window.show();
    // A few rows show the list's tints and selection in every picture.
    for (int row = 0; row < 5; ++row)
        AppendTestRow(window.Jobs(), QStringLiteral("/home/user/Videos/holiday-%1.avi").arg(row),
                      95 + row * 31, QStringLiteral("holiday-%1_(new).mp4").arg(row));
    window.FileList()->SetChecked(3, false);
    window.FileList()->SelectRow(1);
    QWidget* toolRow = window.findChild<QWidget*>("ToolRow");
    ASSERT_NE(toolRow, nullptr);
    const QPoint probe = toolRow->mapTo(&window, QPoint(3, toolRow->height() / 2));
    QDir().mkpath(TOVIK_SCREENSHOT_DIR);

    for (int index = 0; index < kThemeCount; ++index) {
        window.SkinMenuPopup();
        window.SkinItemClick(index);
        ASSERT_EQ(window.Themes().CurrentTheme(), index);
        const QImage picture = window.grab().toImage();
        ASSERT_FALSE(picture.isNull());
        const QString name = QStringLiteral(TOVIK_SCREENSHOT_DIR "/theme-%1-%2.png")
                                 .arg(index)
                                 .arg(ThemeName(index).replace(' ', '-').toLower());
        EXPECT_TRUE(picture.save(name)) << name.toStdString();

        const QColor seen = picture.pixelColor(probe);
        int nearest = -1;
        int best = 1 << 30;
        for (int other = 0; other < kThemeCount; ++other) {
            const int distance = Distance(seen, ThemeColors(other).Accent);
            if (distance < best) {
                best = distance;
                nearest = other;
            }
        }
        EXPECT_EQ(nearest, index) << "tool row colour " << seen.name().toStdString();
    }

    // The dialogs wear the theme of the main window.
    TGlobalObject global;
    global.SetUpFileLocations();
    global.SetVersionText(TGlobalObject::FileVersionText());
    TfrmAbout about(&window, global, desktop_);
    window.Themes().Follow(&about);
    about.show();
    EXPECT_TRUE(about.grab().save(QStringLiteral(TOVIK_SCREENSHOT_DIR "/about.png")));
    EXPECT_EQ(about.grab().toImage().pixelColor(2, 2), ThemeColors(kThemeCount - 1).Window);
    about.close();
    TfmDirectory directory(&window, desktop_, [](const std::string&) { return "ext4"; });
    window.Themes().Follow(&directory);
    directory.show();
    EXPECT_TRUE(directory.grab().save(QStringLiteral(TOVIK_SCREENSHOT_DIR "/directory.png")));
    directory.close();

    // The open format drop-down, drawn over the window with its rows' own fill.
    window.OpenFormatList(true);
    TFormatListBox* list = window.FormatList();
    list->PressRow(1, 5);
    const QImage open = window.grab().toImage();
    EXPECT_TRUE(open.save(QStringLiteral(TOVIK_SCREENSHOT_DIR "/format-list.png")));
    const QRect last = list->visualItemRect(list->item(list->count() - 1));
    const QPoint inside =
        list->viewport()->mapTo(&window, QPoint(last.right() - 4, last.center().y()));
    EXPECT_EQ(open.pixelColor(inside), QColor(246, 247, 248));
}

} // namespace
} // namespace tovik::test
