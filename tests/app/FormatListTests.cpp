#include "AppTestSupport.h"

#include "app/MainWindow.h"
#include "settings/IniFile.h"
#include "workspace/ui/FormatListBox.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QSignalSpy>
#include <memory>

namespace tovik::test {
namespace {

TEST(FormatListRowsTest, CollapsedGroupsShowOnlyTheirGroupRows) {
    TFormatListRows rows;
    rows.Build([](int) { return true; });
    ASSERT_EQ(rows.Count(), 3);
    for (int index = 0; index < 3; ++index) {
        EXPECT_TRUE(rows.Row(index).IsGroup);
        EXPECT_TRUE(rows.Row(index).Collapsed);
        EXPECT_EQ(rows.Row(index).Code, index);
    }
    EXPECT_EQ(rows.RowText(1), "General Video formates");
}

TEST(FormatListRowsTest, ExpandedGroupsListTheirFormatsInOrder) {
    TFormatListRows rows;
    rows.Build([](int group) { return group != 1; });
    ASSERT_EQ(rows.Count(), 3 + 10);
    EXPECT_TRUE(rows.Row(1).IsGroup);
    EXPECT_FALSE(rows.Row(1).Collapsed);
    EXPECT_EQ(rows.Row(2).Code, 100);
    EXPECT_EQ(rows.Row(11).Code, 109);
    EXPECT_EQ(rows.RowText(6), "AVI Video (*.avi)");
    EXPECT_TRUE(rows.Row(12).IsGroup);
    EXPECT_EQ(rows.FindRow("  AVI Video (*.avi) "), 6);
    EXPECT_EQ(rows.FindRow("MOV - Quick Time Video (*.mov)"), -1); // its group is collapsed
    EXPECT_EQ(rows.FindRow("iPod Video MPEG-4"), -1);
}

TEST(FormatListRowsTest, TogglingInsertsAndRemovesOnlyThatGroupsRows) {
    TFormatListRows rows;
    rows.Build([](int) { return true; });
    EXPECT_TRUE(rows.Toggle(2)); // audio: 7 rows after the last group
    ASSERT_EQ(rows.Count(), 10);
    EXPECT_EQ(rows.Row(3).Code, 200);
    EXPECT_TRUE(rows.Toggle(0)); // QuickTime: 1 row right below it
    ASSERT_EQ(rows.Count(), 11);
    EXPECT_EQ(rows.Row(1).Code, 0);
    EXPECT_TRUE(rows.Row(1).IsItem);
    EXPECT_FALSE(rows.Toggle(1)); // a format row is no group
    EXPECT_TRUE(rows.Toggle(0));
    ASSERT_EQ(rows.Count(), 10);
    EXPECT_TRUE(rows.Row(1).IsGroup);
    const std::vector<std::pair<int, bool>> states = {{0, true}, {1, true}, {2, false}};
    EXPECT_EQ(rows.GroupStates(), states);
    EXPECT_FALSE(rows.Toggle(-1));
    EXPECT_FALSE(rows.Toggle(99));
}

class FormatListTest : public TAppTest {
protected:
    int RowOf(TFormatListBox* list, const QString& text) {
        return list->Rows().FindRow(text.toStdString());
    }
};

TEST_F(FormatListTest, WithoutSettingsThreeCollapsedGroupsAndNoSelection) {
    auto window = MakeWindow();
    TFormatListBox* list = window->FormatList();
    EXPECT_EQ(list->count(), 3);
    EXPECT_FALSE(list->isVisible());
    EXPECT_EQ(window->FormatText(), "Apple iPod Video MPEG-4 Movie (*.mp4)");
    EXPECT_EQ(window->CurrentFormatName(), "iPod Video MPEG-4");
    EXPECT_EQ(window->CurrentFormatCode(), "1");
    EXPECT_TRUE(list->selectedItems().isEmpty());
}

TEST_F(FormatListTest, ChoosingAviWritesItsCodeAndName) {
    TIniFile(SettingsFile()).WriteBool("lstformat", "1", false);
    auto window = MakeWindow();
    TFormatListBox* list = window->FormatList();
    window->OpenFormatList(true);
    EXPECT_TRUE(list->isVisible());
    const int avi = RowOf(list, "AVI Video (*.avi)");
    ASSERT_GE(avi, 0);
    list->PressRow(avi, 60);
    EXPECT_FALSE(list->isVisible());
    TIniFile settings(SettingsFile());
    EXPECT_EQ(settings.ReadString("settings", "FormatCode", ""), "104");
    EXPECT_EQ(settings.ReadString("settings", "FormatName", ""), "AVI Video (*.avi)");
    EXPECT_EQ(window->CurrentFormatCode(), "104");
    EXPECT_EQ(window->FormatText(), "AVI Video (*.avi)");

    // Opened again, the stored choice is the selected row.
    window->OpenFormatList(true);
    EXPECT_EQ(list->currentRow(), avi);

    // And the next start shows it.
    window.reset();
    auto next = MakeWindow();
    EXPECT_EQ(next->FormatText(), "AVI Video (*.avi)");
    EXPECT_EQ(next->CurrentFormatName(), "AVI Video (*.avi)");
    EXPECT_EQ(next->CurrentFormatCode(), "104");
}

TEST_F(FormatListTest, TheExpandMarkTogglesWithoutChoosing) {
    auto window = MakeWindow();
    TFormatListBox* list = window->FormatList();
    QSignalSpy chosen(list, &TFormatListBox::FormatChosen);
    window->OpenFormatList(true);
    list->PressRow(1, 5); // expand "General Video formates"
    EXPECT_EQ(list->count(), 13);
    list->PressRow(1, 5); // and collapse it again
    EXPECT_EQ(list->count(), 3);
    list->PressRow(1, 60); // a press on the group's text does nothing
    EXPECT_EQ(list->count(), 3);
    list->DoubleClickRow(2); // a double click toggles too
    EXPECT_EQ(list->count(), 10);
    EXPECT_EQ(chosen.count(), 0);
    EXPECT_TRUE(list->isVisible());
    EXPECT_FALSE(TIniFile(SettingsFile()).ValueExists("settings", "FormatCode"));
}

TEST_F(FormatListTest, KeysToggleChooseAndClose) {
    auto window = MakeWindow();
    TFormatListBox* list = window->FormatList();
    window->OpenFormatList(true);
    const auto key = [list](int code) {
        QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier);
        QCoreApplication::sendEvent(list, &press);
    };
    list->setCurrentRow(2);
    key(Qt::Key_Return); // expands the audio group
    ASSERT_EQ(list->count(), 10);
    list->setCurrentRow(3);
    key(Qt::Key_Enter); // chooses its first format
    EXPECT_EQ(window->CurrentFormatCode(), "200");
    EXPECT_FALSE(list->isVisible());
    window->OpenFormatList(true);
    key(Qt::Key_Escape);
    EXPECT_FALSE(list->isVisible());
    EXPECT_EQ(window->CurrentFormatCode(), "200");
}

TEST_F(FormatListTest, APressElsewhereClosesTheList) {
    auto window = MakeWindow();
    TFormatListBox* list = window->FormatList();
    window->OpenFormatList(true);
    ASSERT_TRUE(list->isVisible());
    QWidget* elsewhere = window->findChild<QWidget*>("lvFiles");
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(4, 4),
                      elsewhere->mapToGlobal(QPointF(4, 4)), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(elsewhere, &press);
    EXPECT_FALSE(list->isVisible());
    // The opening button toggles: once open, once closed.
    window->OpenFormatList(true);
    window->OpenFormatList(true);
    EXPECT_FALSE(list->isVisible());
}

TEST_F(FormatListTest, GroupStatesAreStoredWhenTheWindowCloses) {
    auto window = MakeWindow();
    window->FormatList()->PressRow(2, 5); // expand audio
    desktop_.Answer = TMessageResult::mrNo;
    window->close();
    EXPECT_FALSE(TIniFile(SettingsFile()).ValueExists("lstformat", "2"));
    desktop_.Answer = TMessageResult::mrYes;
    ASSERT_TRUE(window->close());
    TIniFile settings(SettingsFile());
    EXPECT_EQ(settings.ReadString("lstformat", "0", ""), "1");
    EXPECT_EQ(settings.ReadString("lstformat", "1", ""), "1");
    EXPECT_EQ(settings.ReadString("lstformat", "2", ""), "0");

    // The next start shows the audio group open.
    auto next = MakeWindow();
    EXPECT_EQ(next->FormatList()->count(), 10);
}

} // namespace
} // namespace tovik::test
