#include "AppTestSupport.h"

#include "app/MainWindow.h"
#include "app/theme/Themes.h"
#include "workspace/ui/FileList.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QImage>
#include <QMouseEvent>
#include <memory>

namespace tovik::test {
namespace {

class FileListTest : public TAppTest {
protected:
    void AddRows(TFileList& list, int count) {
        for (int index = 0; index < count; ++index)
            list.AppendRow(QStringLiteral("/videos/clip%1.avi").arg(index), 10 + index,
                           QStringLiteral("clip%1_(new).mp4").arg(index), "lbox");
    }
};

TEST_F(FileListTest, ANewRowIsCheckedWithItsColumnsAndAFreshRecord) {
    TFileList list;
    EXPECT_FALSE(list.IsReportStyle());
    TFileListItem* row = list.AppendRow("/videos/a.avi", 73, "a_(new).mov", "pan");
    EXPECT_TRUE(list.IsReportStyle());
    EXPECT_EQ(list.columnCount(), 5);
    EXPECT_EQ(list.headerItem()->text(3), "Destination File");
    EXPECT_TRUE(list.IsChecked(0));
    EXPECT_EQ(row->text(0), "/videos/a.avi");
    EXPECT_EQ(row->text(1), "73");
    EXPECT_EQ(row->text(2), "73");
    EXPECT_EQ(row->text(3), "a_(new).mov");
    EXPECT_EQ(row->text(4), "");
    EXPECT_EQ(row->Record.SourceFile, "/videos/a.avi");
    EXPECT_EQ(row->Record.ZoomMode, "pan");
    EXPECT_EQ(row->Record.Effects.Brightness, 255);
    EXPECT_EQ(row->Record.Effects.Saturation, 255);
    EXPECT_EQ(row->Record.Effects.Contrast, 0);
    EXPECT_TRUE(row->Record.Effects.Overlays.empty());
    EXPECT_TRUE(list.HasRow("/videos/a.avi"));
    EXPECT_FALSE(list.HasRow("/videos/A.avi")); // letter case counts
}

TEST_F(FileListTest, RemovingSelectsTheRowInItsPlaceOrTheNewLast) {
    TFileList list;
    AddRows(list, 3);
    list.SelectRow(2);
    ASSERT_TRUE(list.RemoveSelected());
    EXPECT_EQ(list.RowCount(), 2);
    EXPECT_EQ(list.SelectedRow(), 1);
    EXPECT_EQ(list.currentIndex().row(), 1);

    list.SelectRow(0);
    ASSERT_TRUE(list.RemoveSelected());
    EXPECT_EQ(list.SelectedRow(), 0);
    EXPECT_EQ(list.Row(0)->text(0), "/videos/clip1.avi");

    ASSERT_TRUE(list.RemoveSelected());
    EXPECT_EQ(list.RowCount(), 0);
    EXPECT_FALSE(list.IsReportStyle());
    EXPECT_FALSE(list.RemoveSelected());
}

TEST_F(FileListTest, NothingSelectedRemovesNothing) {
    TFileList list;
    AddRows(list, 2);
    list.clearSelection();
    EXPECT_FALSE(list.RemoveSelected());
    EXPECT_EQ(list.RowCount(), 2);
}

TEST_F(FileListTest, CheckCommands) {
    TFileList list;
    AddRows(list, 3);
    list.CheckAll(false);
    EXPECT_FALSE(list.IsChecked(0) || list.IsChecked(1) || list.IsChecked(2));
    list.SetChecked(1, true);
    list.ReverseCheck();
    EXPECT_TRUE(list.IsChecked(0));
    EXPECT_FALSE(list.IsChecked(1));
    EXPECT_TRUE(list.IsChecked(2));
    list.SelectRow(1);
    list.CheckSelected(true);
    EXPECT_TRUE(list.IsChecked(1));
    list.CheckSelected(false);
    EXPECT_FALSE(list.IsChecked(1));
    list.CheckAll(true);
    EXPECT_TRUE(list.IsChecked(0) && list.IsChecked(1) && list.IsChecked(2));
}

TEST_F(FileListTest, APressOnTheDrawnBoxTogglesOnceAndElsewhereOnlySelects) {
    TFileList list;
    list.resize(500, 200);
    AddRows(list, 2);
    list.show();
    const QRect row = list.visualRect(list.model()->index(1, 0));
    const auto press = [&list](QPoint at) {
        QMouseEvent down(QEvent::MouseButtonPress, at, list.viewport()->mapToGlobal(at),
                         Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QMouseEvent up(QEvent::MouseButtonRelease, at, list.viewport()->mapToGlobal(at),
                       Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(list.viewport(), &down);
        QCoreApplication::sendEvent(list.viewport(), &up);
    };
    press(QPoint(row.left() + 8, row.center().y()));
    EXPECT_FALSE(list.IsChecked(1));
    EXPECT_EQ(list.SelectedRow(), 1);
    press(QPoint(row.left() + 100, row.center().y()));
    EXPECT_FALSE(list.IsChecked(1));
    press(QPoint(row.left() + 8, row.center().y()));
    EXPECT_TRUE(list.IsChecked(1));
}

TEST_F(FileListTest, RowsAreTintedAndTheSelectionFilled) {
    TFileList list;
    list.SetRowTint(ListRowTint(4));
    EXPECT_EQ(list.RowBackground(0, false, false), QColor(255, 255, 255));
    EXPECT_EQ(list.RowBackground(1, false, false), QColor(247, 225, 225));
    EXPECT_EQ(list.RowBackground(2, false, false), QColor(255, 255, 255));
    EXPECT_EQ(list.RowBackground(1, true, true), QColor(185, 204, 236));
    EXPECT_EQ(list.RowBackground(1, true, false), QColor(229, 236, 248));

    // What the screen shows: odd row tinted, selected row filled, framed at its edge.
    list.resize(500, 200);
    AddRows(list, 3);
    list.SelectRow(2);
    list.show();
    const QImage picture = list.viewport()->grab().toImage();
    const QRect odd = list.visualRect(list.model()->index(1, 2));
    const QRect selected = list.visualRect(list.model()->index(2, 2));
    EXPECT_EQ(picture.pixelColor(odd.right() - 2, odd.top() + 2), QColor(247, 225, 225));
    EXPECT_EQ(picture.pixelColor(selected.right() - 2, selected.top() + 2), QColor(185, 204, 236));
    EXPECT_EQ(picture.pixelColor(selected.right() - 2, selected.top()), QColor(122, 160, 218));
}

TEST_F(FileListTest, TheMainWindowsListFollowsThemeAndEnablesItsCommands) {
    auto window = MakeWindow();
    TFileList* list = window->FileList();
    EXPECT_TRUE(list->IsReportStyle()); // the first showing sets up the columns
    window->SkinMenuPopup();
    window->SkinItemClick(5);
    EXPECT_EQ(list->RowBackground(1, false, false), QColor(226, 247, 225));

    QWidget* remove = window->findChild<QWidget*>("btnRemove");
    EXPECT_FALSE(remove->isEnabled());
    window->EditMenuPopup();
    for (QAction* item : window->EditMenu()->actions()) {
        if (!item->isSeparator()) {
            EXPECT_FALSE(item->isEnabled()) << item->text().toStdString();
        }
    }

    AddRows(*list, 3);
    EXPECT_TRUE(remove->isEnabled());
    list->clearSelection();
    window->EditMenuPopup();
    window->ListMenuPopup();
    QAction* checkAll = nullptr;
    for (QAction* item : window->EditMenu()->actions())
        if (item->text() == "&Check All")
            checkAll = item;
    ASSERT_NE(checkAll, nullptr);
    EXPECT_FALSE(checkAll->isEnabled()); // rows, but none selected
    list->SelectRow(0);
    window->EditMenuPopup();
    EXPECT_TRUE(checkAll->isEnabled());

    window->ListMenuPopup();
    QAction* clear = nullptr;
    for (QAction* item : window->ListMenu()->actions())
        if (item->text() == "Clear")
            clear = item;
    ASSERT_NE(clear, nullptr);
    ASSERT_TRUE(clear->isEnabled());
    clear->trigger();
    EXPECT_EQ(list->RowCount(), 0);
    EXPECT_FALSE(remove->isEnabled());
}

} // namespace
} // namespace tovik::test
