#include "AppTestSupport.h"

#include "app/MainWindow.h"
#include "app/theme/Themes.h"
#include "platform/PathText.h"
#include "workspace/ui/FileList.h"
#include "workspace/ui/PathElision.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QImage>
#include <QMouseEvent>
#include <QTest>
#include <memory>

namespace tovik::test {
namespace {

class FileListTest : public TAppTest {
protected:
    void AddRows(TFileList& list, int count) {
        for (int index = 0; index < count; ++index)
            AppendTestRow(list.Jobs(), QStringLiteral("/videos/clip%1.avi").arg(index), 10 + index,
                          QStringLiteral("clip%1_(new).mp4").arg(index), "lbox");
    }
};

TEST_F(FileListTest, ANewRowIsCheckedWithItsColumnsAndAFreshRecord) {
    TJobList jobs;
    TFileList list(jobs);
    EXPECT_FALSE(list.IsReportStyle());
    ASSERT_EQ(AppendTestRow(jobs, "/videos/a.avi", 73, "a_(new).mov", "pan"), 0);
    const QTreeWidgetItem* row = list.Row(0);
    const TlvFilesRecord& record = jobs.Job(0);
    EXPECT_TRUE(list.IsReportStyle());
    EXPECT_EQ(list.columnCount(), 5);
    EXPECT_EQ(list.headerItem()->text(3), "Destination File");
    EXPECT_TRUE(list.IsChecked(0));
    EXPECT_EQ(row->text(0), "/videos/a.avi");
    EXPECT_EQ(row->text(1), "73");
    EXPECT_EQ(row->text(2), "73");
    EXPECT_EQ(row->text(3), "a_(new).mov");
    EXPECT_EQ(row->text(4), "");
    EXPECT_EQ(record.SourceFile, "/videos/a.avi");
    EXPECT_EQ(record.ZoomMode, "pan");
    EXPECT_EQ(record.Effects.Brightness, 255);
    EXPECT_EQ(record.Effects.Saturation, 255);
    EXPECT_EQ(record.Effects.Contrast, 0);
    EXPECT_TRUE(record.Effects.Overlays.empty());
    EXPECT_TRUE(list.HasRow("/videos/a.avi"));
    EXPECT_FALSE(list.HasRow("/videos/A.avi")); // letter case counts
}

TEST_F(FileListTest, RemovingSelectsTheRowInItsPlaceOrTheNewLast) {
    TJobList jobs;
    TFileList list(jobs);
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
    TJobList jobs;
    TFileList list(jobs);
    AddRows(list, 2);
    list.clearSelection();
    EXPECT_FALSE(list.RemoveSelected());
    EXPECT_EQ(list.RowCount(), 2);
}

TEST_F(FileListTest, CheckCommands) {
    TJobList jobs;
    TFileList list(jobs);
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
    TJobList jobs;
    TFileList list(jobs);
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
    TJobList jobs;
    TFileList list(jobs);
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

TEST(PathElision, TheFileNameStaysWhileTheFoldersGiveWay) {
    EnsureApplication(); // fonts need the application
    const QFont font(QStringLiteral("DejaVu Sans"), 9);
    const QFontMetrics metrics(font);
    const QString path = QStringLiteral("/home/user/Videos/2019/summer/at the sea/holiday.avi");
    const QString ellipsis(QChar(0x2026));
    // Room enough: the path as it is.
    EXPECT_EQ(ElidePath(path, metrics, metrics.horizontalAdvance(path)), path);

    for (const QString& wanted :
         {QStringLiteral("/home/user/Videos/2019/"), QStringLiteral("/home/user/"),
          QStringLiteral("/home/"), QStringLiteral("")}) {
        const QString expected = wanted + ellipsis + QStringLiteral("/holiday.avi");
        // Just the room for this shortening (and a little less than the next longer one).
        const QString shown = ElidePath(path, metrics, metrics.horizontalAdvance(expected) + 1);
        EXPECT_EQ(shown, expected);
        EXPECT_LE(metrics.horizontalAdvance(shown), metrics.horizontalAdvance(expected) + 1);
    }
    // Less room than the name needs: the name shortened in its middle, the extension kept.
    const QString tight = ElidePath(path, metrics, metrics.horizontalAdvance("holiday.avi") - 8);
    EXPECT_TRUE(tight.contains(ellipsis)) << tight.toStdString();
    EXPECT_TRUE(tight.endsWith(QStringLiteral(".avi"))) << tight.toStdString();
    EXPECT_LE(metrics.horizontalAdvance(tight), metrics.horizontalAdvance("holiday.avi") - 8);
    // A text without folders is shortened in its middle as well.
    const QString bare =
        ElidePath(QStringLiteral("a-very-long-name-without-folders.avi"), metrics, 60);
    EXPECT_TRUE(bare.endsWith(QStringLiteral("avi"))) << bare.toStdString();
    EXPECT_LE(metrics.horizontalAdvance(bare), 60);
}

TEST_F(FileListTest, LongPathsShowTheirFileNameAndTheWholePathAsTooltip) {
    auto window = MakeWindow();
    TFileList* list = window->FileList();
    const QString path =
        QStringLiteral("/home/someone/Videos/Family/2019 Summer holidays/Beach/holiday.avi");
    AppendTestRow(window->Jobs(), path, 95, QStringLiteral("holiday_(new).mp4"), "lbox");
    AppendTestRow(window->Jobs(), QStringLiteral("/v/a.avi"), 5, QStringLiteral("a_(new).mp4"),
                  "lbox");
    QCoreApplication::processEvents();

    // At the first size the path does not fit; its name does.
    const QString shown = list->ShownText(0, flcSource);
    EXPECT_NE(shown, path);
    EXPECT_TRUE(shown.endsWith(QStringLiteral("/holiday.avi"))) << shown.toStdString();
    EXPECT_TRUE(shown.startsWith(QStringLiteral("/home/"))) << shown.toStdString();
    EXPECT_LE(QFontMetrics(list->font()).horizontalAdvance(shown),
              list->columnWidth(flcSource) - 22);
    EXPECT_EQ(list->Row(0)->toolTip(flcSource), path);
    EXPECT_EQ(list->Row(0)->toolTip(flcDestination), "holiday_(new).mp4");
    EXPECT_EQ(list->ShownText(1, flcSource), "/v/a.avi");

    const QString longName = QStringLiteral("sunset-over-the-harbour-at-low-tide_(new).mp4");
    AppendTestRow(window->Jobs(), QStringLiteral("/v/sunset-over-the-harbour-at-low-tide.avi"), 5,
                  longName);
    EXPECT_GE(list->columnWidth(flcDestination), 120);
    EXPECT_NE(list->ShownText(2, flcDestination), longName);
    EXPECT_EQ(list->Row(2)->toolTip(flcDestination), longName);

    // A window large enough shows the path and the destination whole.
    window->resize(1600, 700);
    QCoreApplication::processEvents();
    EXPECT_EQ(list->ShownText(0, flcSource), path);
    EXPECT_EQ(list->ShownText(2, flcDestination).toStdString(), longName.toStdString());
    // Back at the first size the source column still has its first width at the least.
    window->resize(786, 480);
    QCoreApplication::processEvents();
    EXPECT_GE(list->columnWidth(flcSource), 140);
    EXPECT_TRUE(list->ShownText(0, flcSource).endsWith(QStringLiteral("/holiday.avi")));
}

TEST_F(FileListTest, EveryCaptionFitsItsColumnInEveryThemeAtTheFirstSize) {
    auto window = MakeWindow();
    ASSERT_EQ(window->size(), QSize(786, 480));
    TFileList* list = window->FileList();
    QHeaderView* header = list->header();
    for (int theme = 0; theme < kThemeCount; ++theme) {
        window->SkinMenuPopup();
        window->SkinItemClick(theme);
        QCoreApplication::processEvents();
        int total = 0;
        const QFontMetrics metrics(header->font());
        for (int column = 0; column < TFileList::kColumnCount; ++column) {
            // The text, the paddings of 4 pixels a side and the section's border.
            EXPECT_GE(list->columnWidth(column),
                      metrics.horizontalAdvance(list->headerItem()->text(column)) + 9)
                << "theme " << theme << " column " << column;
            total += list->columnWidth(column);
        }
        // All five side by side, without a horizontal scroll bar.
        EXPECT_LE(total, list->viewport()->width()) << "theme " << theme;
    }
}

} // namespace
} // namespace tovik::test

namespace tovik::test {
namespace {

// Every item shows its job: the same source, lengths, destination, progress and check mark.
void ExpectInStep(const TFileList& list, const TJobList& jobs) {
    ASSERT_EQ(list.RowCount(), jobs.Count());
    for (int row = 0; row < jobs.Count(); ++row) {
        const TJobRow& job = jobs.Row(row);
        const QTreeWidgetItem* item = list.Row(row);
        EXPECT_EQ(item->text(flcSource).toStdString(), job.Job.SourceFile) << row;
        EXPECT_EQ(item->text(flcDuration).toLongLong(), SourceSeconds(job)) << row;
        EXPECT_EQ(item->text(flcTrimmedLength).toLongLong(), TrimmedSeconds(job)) << row;
        EXPECT_EQ(item->text(flcDestination).toStdString(), platform::FileNamePart(job.Destination))
            << row;
        EXPECT_EQ(item->text(flcProgress).toStdString(), job.Progress) << row;
        EXPECT_EQ(item->checkState(0) == Qt::Checked, job.Checked) << row;
    }
}

TEST_F(FileListTest, RowsFollowTheirJobsThroughAddRemoveMoveAndClear) {
    TJobList jobs;
    AppendTestRow(jobs, "/v/before.avi", 3, "before_(new).mp4");
    // A list made for jobs that exist shows them at once.
    TFileList list(jobs);
    list.resize(600, 200);
    list.show();
    EXPECT_TRUE(list.IsReportStyle());
    for (int n = 0; n < 4; ++n)
        AppendTestRow(jobs, QStringLiteral("/v/clip%1.avi").arg(n), 10 + n,
                      QStringLiteral("clip%1_(new).mp4").arg(n));
    ExpectInStep(list, jobs);

    // Edits through the jobs show in the rows: a trim, a mark, a destination, a percentage.
    jobs.EditJob(2, [](TlvFilesRecord& job) { job.TrimLength = 4'700'000; });
    jobs.SetChecked(3, false);
    jobs.SetDestination(1, "/elsewhere/clip0_(new_1).mp4");
    jobs.SetProgress(4, "37%");
    EXPECT_EQ(list.Row(2)->text(flcTrimmedLength), "4");
    ExpectInStep(list, jobs);

    // A press on the drawn box changes the job's mark, not only the picture.
    const QRect rect = list.visualRect(list.model()->index(3, 0));
    const QPoint box(rect.left() + 8, rect.center().y());
    QMouseEvent down(QEvent::MouseButtonPress, box, list.viewport()->mapToGlobal(box),
                     Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list.viewport(), &down);
    EXPECT_TRUE(jobs.Checked(3));

    // Reordering keeps the selection on its job.
    list.SelectRow(1);
    jobs.Move(1, 4);
    ExpectInStep(list, jobs);
    EXPECT_EQ(list.SelectedRow(), 4);
    EXPECT_EQ(jobs.Job(4).SourceFile, "/v/clip0.avi");
    list.SelectRow(3);
    jobs.Move(0, 4); // the selected row moves up one
    ExpectInStep(list, jobs);
    EXPECT_EQ(list.SelectedRow(), 2);

    // Remove takes the selected job with its row.
    const std::string removed = jobs.Job(2).SourceFile;
    ASSERT_TRUE(list.RemoveSelected());
    EXPECT_EQ(jobs.IndexOf(removed), -1);
    ExpectInStep(list, jobs);
    jobs.Remove(0);
    ExpectInStep(list, jobs);

    list.ClearRows();
    EXPECT_TRUE(jobs.Empty());
    EXPECT_FALSE(list.IsReportStyle());
    ExpectInStep(list, jobs);
    AppendTestRow(jobs, "/v/after.avi", 1, "after_(new).mp4");
    EXPECT_TRUE(list.IsReportStyle());
    ExpectInStep(list, jobs);
}

TEST_F(FileListTest, DoubleClickOrEnterOnARowAsksToPlayIt) {
    TJobList jobs;
    TFileList list(jobs);
    list.resize(500, 200);
    AddRows(list, 2);
    list.show();
    int requests = 0;
    QObject::connect(&list, &TFileList::PlayRequested, [&requests] { ++requests; });
    const QPoint at = list.visualRect(list.model()->index(1, 2)).center();
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, at);
    EXPECT_EQ(requests, 1);
    EXPECT_EQ(list.SelectedRow(), 1);
    QTest::keyClick(&list, Qt::Key_Return);
    EXPECT_EQ(requests, 2);
    // Nothing selected: Enter plays nothing; a double click below the rows neither.
    list.clearSelection();
    QTest::keyClick(&list, Qt::Key_Enter);
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(200, 190));
    EXPECT_EQ(requests, 2);
}

} // namespace
} // namespace tovik::test
