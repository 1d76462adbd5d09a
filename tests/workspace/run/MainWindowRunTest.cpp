// The conversion run from the main window against an engine double: which rows become
// tasks, what the progress window shows, and when the after-conversion actions happen.

#include "AppTestSupport.h"
#include "FakeRunEngine.h"

#include "app/MainWindow.h"
#include "media/MediaLogger.h"
#include "settings/GlobalObject.h"
#include "settings/IniFile.h"
#include "workspace/run/ProgressWindow.h"
#include "workspace/ui/FileList.h"

#include "dialogs/activitylog/ActivityLogDialog.h"

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPushButton>
#include <QRegularExpression>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

namespace tovik::test {
namespace {

class MainWindowRunTest : public TAppTest {
protected:
    std::unique_ptr<TfrmMain> MakeWindow() {
        TMainWindowServices services;
        services.Desktop = &desktop_;
        services.FileSystemTypeOf = [](const std::string&) { return std::string("ext4"); };
        services.LoadEngineLibraries = [] { return true; };
        services.CreateEngine = [this] {
            auto engine = std::make_unique<TFakeRunEngine>();
            engine_ = engine.get();
            return engine;
        };
        services.ShutDown = [this](std::string&) {
            ++shutDowns_;
            return true;
        };
        services.Now = [this] { return now_; };
        auto window = std::make_unique<TfrmMain>(std::move(services));
        window->show();
        return window;
    }

    // Five rows a.avi .. e.avi; the given ones checked.
    static void AddRows(TfrmMain& window, std::initializer_list<int> checked,
                        const std::vector<std::string>& names = {"a", "b", "c", "d", "e"}) {
        TFileList* list = window.FileList();
        for (const std::string& name : names)
            AppendTestRow(window.Jobs(), QString::fromStdString("/videos/" + name + ".avi"), 10,
                          QString::fromStdString(name + "_(new).mp4"));
        for (int row = 0; row < list->RowCount(); ++row)
            list->SetChecked(row, std::find(checked.begin(), checked.end(), row) != checked.end());
    }

    static QString Label(TfrmProgress& progress, const char* name) {
        return progress.findChild<QLabel*>(QString::fromLatin1(name))->text();
    }

    // Runs body once the progress window has started the run, then lets the window's event
    // loop go on until the window closes.
    void RunWith(TfrmMain& window, std::function<void(TfrmProgress&)> body) {
        window.OnProgressShown = [body](TfrmProgress& progress) {
            // Queued, so that the window's own event loop runs it.
            QMetaObject::invokeMethod(
                &progress,
                [body, &progress] {
                    try {
                        body(progress);
                    } catch (const std::exception& error) {
                        ADD_FAILURE() << "run body threw: " << error.what();
                        progress.close();
                    }
                },
                Qt::QueuedConnection);
        };
        window.StartClick();
    }

    TFakeRunEngine* engine_ = nullptr;
    int shutDowns_ = 0;
    std::chrono::steady_clock::time_point now_{};
};

TEST_F(MainWindowRunTest, StartWithoutFilesOrWithoutCheckedRowsWarnsAndBuildsNothing) {
    auto window = MakeWindow();
    // An empty list: there is nothing to convert, and the user is told so.
    window->StartClick();
    ASSERT_EQ(desktop_.Messages.size(), 1u);
    EXPECT_EQ(desktop_.Messages[0].Caption, "Warning");
    EXPECT_EQ(desktop_.Messages[0].Text, "There are no files to convert. Please add files first.");
    EXPECT_EQ(desktop_.Messages[0].Icon, TMessageIcon::miWarning);
    EXPECT_EQ(desktop_.Messages[0].Buttons, TMessageButtons::mbOk);

    // Rows, none checked: the check-box message.
    AddRows(*window, {});
    window->StartClick();
    ASSERT_EQ(desktop_.Messages.size(), 2u);
    EXPECT_EQ(desktop_.Messages[1].Caption, "Warning");
    EXPECT_EQ(desktop_.Messages[1].Text, "Please select a file by clicking the check box!");
    EXPECT_TRUE(engine_->Tasks.empty());
    EXPECT_EQ(engine_->Starts, 0);
    EXPECT_EQ(window->ProgressWindow(), nullptr);

    // Cleared again: back to the first message.
    window->FileList()->ClearRows();
    window->StartClick();
    ASSERT_EQ(desktop_.Messages.size(), 3u);
    EXPECT_EQ(desktop_.Messages[2].Text, desktop_.Messages[0].Text);
}

TEST_F(MainWindowRunTest, AFolderThatCannotBeCreatedFallsBackAndTheBoxShowsTheFolderUsed) {
    auto window = MakeWindow();
    AddRows(*window, {0, 1});
    // A folder below a plain file can never be created.
    const std::filesystem::path file = temp_.Path() / "plain-file";
    std::ofstream(file) << "x";
    const QString typed = QString::fromStdString((file / "out").string());
    auto* box = window->findChild<QLineEdit*>("edDirectory");
    ASSERT_NE(box, nullptr);
    box->setText(typed); // as typed: every change is stored
    ASSERT_EQ(TIniFile(SettingsFile()).ReadString("settings", "OutPutDir", ""),
              typed.toStdString());

    std::vector<std::string> outputs;
    RunWith(*window, [&](TfrmProgress&) {
        for (const auto& task : engine_->Tasks)
            outputs.push_back(task.Outputs.empty() ? std::string() : task.Outputs[0].FileName);
        engine_->ReportRunEnd();
    });
    // Warned once per output name; the files went to the default folder, which the box and
    // the settings now name.
    const std::string fallback = (temp_.Path() / "home" / "videoconverter").string();
    ASSERT_GE(desktop_.Messages.size(), 1u);
    EXPECT_TRUE(desktop_.Messages[0].Text.startsWith("Cannot create output directory:" + typed))
        << desktop_.Messages[0].Text.toStdString();
    ASSERT_EQ(outputs.size(), 2u);
    for (const std::string& output : outputs)
        EXPECT_EQ(std::filesystem::path(output).parent_path().string(), fallback);
    EXPECT_EQ(window->OutputDirectory().toStdString(), fallback);
    EXPECT_EQ(TIniFile(SettingsFile()).ReadString("settings", "OutPutDir", ""), fallback);
}

TEST_F(MainWindowRunTest, ThreeOfFiveRowsRunInListOrderAndEndWithTheOutputFolder) {
    auto window = MakeWindow();
    AddRows(*window, {0, 2, 3});
    std::vector<QString> numbers;
    std::vector<QString> files;
    RunWith(*window, [&](TfrmProgress& progress) {
        EXPECT_EQ(engine_->Starts, 1);
        EXPECT_EQ(engine_->StartCount, 1); // one task at a time, in worker threads
        for (int task = 0; task < 3; ++task) {
            engine_->Progress(task, 5'000'000, 10'000'000, 123'456);
            numbers.push_back(Label(progress, "lblProgressValue"));
            files.push_back(Label(progress, "lblFileValue"));
            EXPECT_EQ(Label(progress, "lblTimeValue"), "5 Second");
            EXPECT_EQ(Label(progress, "lblLengthValue"), "10 Second");
            EXPECT_EQ(Label(progress, "lblSizeValue"), "123 kb");
            EXPECT_EQ(progress.Bar()->value(), 50);
            engine_->Report(task, true);
        }
        engine_->ReportRunEnd();
    });
    EXPECT_EQ(window->RowOfTask(), (std::vector<int>{0, 2, 3}));
    EXPECT_EQ(numbers, (std::vector<QString>{"[1/3]", "[2/3]", "[3/3]"}));
    EXPECT_EQ(files, (std::vector<QString>{"/videos/a.avi", "/videos/c.avi", "/videos/d.avi"}));
    ASSERT_EQ(engine_->Clears, 2); // before building, and at the end of the run
    // Finished rows read 100%; unchecked rows were never touched.
    TFileList* list = window->FileList();
    EXPECT_EQ(list->Row(0)->text(4), "100%");
    EXPECT_EQ(list->Row(1)->text(4), "");
    EXPECT_EQ(list->Row(3)->text(4), "100%");
    // The output folder opened once, after the last task; shutting down was not asked for.
    ASSERT_EQ(desktop_.OpenedUrls.size(), 1u);
    EXPECT_TRUE(desktop_.OpenedUrls[0].isLocalFile());
    EXPECT_EQ(shutDowns_, 0);
    EXPECT_FALSE(window->ProgressWindow()->isVisible());
    EXPECT_GE(engine_->Stops, 1); // closing the window stops the engine once more
}

TEST_F(MainWindowRunTest, TaskRecordsCarryTheJob) {
    auto window = MakeWindow();
    AddRows(*window, {0, 1, 2});
    TJobList& jobs = window->Jobs();
    jobs.EditJob(0, [](TlvFilesRecord& job) {
        job.Effects.Exposure = 10;
        job.ZoomMode = "full"; // replaced by the format's stored zoom mode
    });
    jobs.EditJob(1, [](TlvFilesRecord& job) {
        job.TrimStart = 1'000'000;
        job.TrimLength = 2'000'000;
        job.CropTop = 8;
        job.CropRight = 4;
    });
    auto layer = std::make_shared<TWmRec>();
    layer->Text = "Tovik";
    jobs.EditJob(2, [&](TlvFilesRecord& job) { job.Effects.Overlays.push_back(layer); });
    std::vector<TFakeRunEngine::TTask> tasks;
    RunWith(*window, [&](TfrmProgress& progress) {
        tasks = engine_->Tasks;
        progress.close();
    });
    ASSERT_EQ(tasks.size(), 3u);
    for (const auto& task : tasks)
        ASSERT_EQ(task.Outputs.size(), 1u);
    EXPECT_EQ(tasks[0].FileName, "/videos/a.avi");
    EXPECT_EQ(tasks[0].Input.FileName, "/videos/a.avi");
    EXPECT_TRUE(tasks[0].Outputs[0].CustomHook);  // exposure alone asks for the hook
    EXPECT_FALSE(tasks[1].Outputs[0].CustomHook); // no effects, no overlays
    EXPECT_TRUE(tasks[2].Outputs[0].CustomHook);
    EXPECT_EQ(jobs.Job(0).ZoomMode, "lbox");
    // Trim: start on the input, length as the output's duration; the crop carried over.
    EXPECT_EQ(tasks[1].Input.StartTime, 1'000'000);
    EXPECT_EQ(tasks[1].Outputs[0].Duration, 2'000'000);
    EXPECT_EQ(tasks[1].Outputs[0].CropTop, 8);
    EXPECT_EQ(tasks[1].Outputs[0].CropRight, 4);
    EXPECT_EQ(tasks[1].Outputs[0].CropLeft, 0); // all four once the job has a crop
    EXPECT_EQ(tasks[0].Outputs[0].CropTop, -1);
    // The output goes into the output directory with the profile's extension.
    const std::string output = tasks[0].Outputs[0].FileName;
    EXPECT_EQ(output.substr(output.rfind('/') + 1), "a_(new).mp4");
    EXPECT_EQ(output.substr(0, output.rfind('/')), window->OutputDirectory().toStdString());
}

TEST_F(MainWindowRunTest, CancelDuringTheSecondTaskStopsWithoutAfterActions) {
    auto window = MakeWindow();
    AddRows(*window, {0, 1, 2});
    RunWith(*window, [&](TfrmProgress& progress) {
        progress.ShutDownBox()->setChecked(true);
        engine_->Report(0, true);
        engine_->Progress(1, 1'000'000, 10'000'000, 1000);
        progress.CancelButton()->click();
    });
    EXPECT_GE(engine_->Stops, 1);
    EXPECT_EQ(engine_->Clears, 2); // the end-of-run report arrived while stopping
    EXPECT_TRUE(desktop_.OpenedUrls.empty());
    EXPECT_EQ(shutDowns_, 0);
    EXPECT_EQ(window->FileList()->Row(0)->text(4), "100%");
    // The stopped row says so instead of keeping its last percentage.
    EXPECT_EQ(window->FileList()->Row(1)->text(4), "cancelled");
    EXPECT_EQ(window->FileList()->Row(2)->text(4), "cancelled");
    EXPECT_FALSE(window->ProgressWindow()->isVisible());
    // The main window's commands are back.
    EXPECT_TRUE(window->findChild<QToolButton*>(QStringLiteral("btnStart"))->isEnabled());
    EXPECT_TRUE(window->findChild<QToolButton*>(QStringLiteral("btnAdd"))->isEnabled());
}

TEST_F(MainWindowRunTest, LastTaskFailingOrStoppedLeadsToNoAfterAction) {
    auto window = MakeWindow();
    AddRows(*window, {0, 1});
    RunWith(*window, [&](TfrmProgress& progress) {
        progress.ShutDownBox()->setChecked(true);
        engine_->Report(0, true);
        engine_->Report(1, false, true); // failed
        engine_->ReportRunEnd();
    });
    EXPECT_TRUE(desktop_.OpenedUrls.empty());
    EXPECT_EQ(shutDowns_, 0);
    EXPECT_EQ(engine_->Clears, 2);
    EXPECT_TRUE(desktop_.Messages.empty()); // a failed task is passed over silently
}

TEST_F(MainWindowRunTest, AStoppedRunLeadsToNoAfterActionWhateverEndsLast) {
    auto window = MakeWindow();
    AddRows(*window, {0, 1, 2});
    RunWith(*window, [&](TfrmProgress& progress) {
        progress.ShutDownBox()->setChecked(true);
        // An engine reports the files a stop left unrun at once; the running one converted
        // just before the stop reached it and reports last.
        engine_->Report(1, false);
        engine_->Report(2, false);
        engine_->Report(0, true);
        engine_->ReportRunEnd();
    });
    EXPECT_TRUE(desktop_.OpenedUrls.empty());
    EXPECT_EQ(shutDowns_, 0);
    EXPECT_EQ(window->FileList()->Row(0)->text(4), "100%");
    EXPECT_EQ(window->FileList()->Row(2)->text(4), "cancelled");
}

TEST_F(MainWindowRunTest, ShutDownFollowsTheOutputFolderAfterTheLastTask) {
    auto window = MakeWindow();
    AddRows(*window, {1, 4});
    int shutDownsBeforeLast = -1;
    RunWith(*window, [&](TfrmProgress& progress) {
        progress.ShutDownBox()->setChecked(true);
        progress.OpenFolderBox()->setChecked(false);
        engine_->Report(0, true);
        QCoreApplication::processEvents();
        shutDownsBeforeLast = shutDowns_;
        engine_->Report(1, true);
        engine_->ReportRunEnd();
    });
    EXPECT_EQ(shutDownsBeforeLast, 0);
    EXPECT_EQ(shutDowns_, 1);
    EXPECT_TRUE(desktop_.OpenedUrls.empty()); // its box was unchecked
    // The next run checks the folder box again and keeps the shut-down box.
    RunWith(*window, [&](TfrmProgress& progress) {
        EXPECT_TRUE(progress.OpenFolderChecked());
        EXPECT_TRUE(progress.ShutDownChecked());
        progress.ShutDownBox()->setChecked(false);
        engine_->Report(0, true);
        engine_->Report(1, true);
        engine_->ReportRunEnd();
    });
    EXPECT_EQ(shutDowns_, 1);
    EXPECT_EQ(desktop_.OpenedUrls.size(), 1u);
}

TEST_F(MainWindowRunTest, RowsWithoutTaskAreSkippedAndTheMapFollowsRealTasks) {
    auto window = MakeWindow();
    AddRows(*window, {0, 1, 2, 3}, {"a", "broken", "unreadable", "d"});
    std::vector<QString> numbers;
    RunWith(*window, [&](TfrmProgress& progress) {
        EXPECT_EQ(engine_->TaskCount(), 3);
        for (int task = 0; task < engine_->TaskCount(); ++task) {
            engine_->Progress(task, 0, 10'000'000, 0);
            numbers.push_back(Label(progress, "lblProgressValue"));
            engine_->Report(task, true);
        }
        engine_->ReportRunEnd();
    });
    // The unreadable source still gets a task (its name from the row); the broken one none.
    EXPECT_EQ(window->RowOfTask(), (std::vector<int>{0, 2, 3}));
    EXPECT_EQ(numbers, (std::vector<QString>{"[1/3]", "[2/3]", "[3/3]"}));
    EXPECT_EQ(window->FileList()->Row(3)->text(4), "100%");
    // The row that got no task failed, and says why.
    EXPECT_EQ(window->FileList()->Row(1)->text(4), "failed");
    EXPECT_EQ(window->FileList()->Row(1)->toolTip(4), "Invalid data found when processing input");
    // The last real task ended normally: the folder opens.
    EXPECT_EQ(desktop_.OpenedUrls.size(), 1u);
    EXPECT_TRUE(window->LogText().contains("broken"));
}

TEST_F(MainWindowRunTest, NoRowThatCanBeOpenedMeansNoRun) {
    auto window = MakeWindow();
    AddRows(*window, {0}, {"broken"});
    window->StartClick();
    EXPECT_EQ(engine_->Starts, 0);
    ASSERT_EQ(desktop_.Messages.size(), 1u);
    EXPECT_EQ(desktop_.Messages[0].Caption, "Warning");
}

TEST_F(MainWindowRunTest, PriorityComesFromTheSettings) {
    TIniFile(SettingsFile()).WriteInteger("settings", "priority", 0);
    auto window = MakeWindow();
    AddRows(*window, {0});
    RunWith(*window, [&](TfrmProgress& progress) { progress.close(); });
    EXPECT_EQ(engine_->Priority, TThreadPriority::tpIdle);
    TIniFile(SettingsFile()).WriteInteger("settings", "priority", 9); // left as it was
    RunWith(*window, [&](TfrmProgress& progress) { progress.close(); });
    EXPECT_EQ(engine_->Priority, TThreadPriority::tpIdle);
    TIniFile(SettingsFile()).WriteInteger("settings", "priority", 3);
    RunWith(*window, [&](TfrmProgress& progress) { progress.close(); });
    EXPECT_EQ(engine_->Priority, TThreadPriority::tpLowest);
}

TEST_F(MainWindowRunTest, HiddenButtonsMirrorTheProgressWindow) {
    auto window = MakeWindow();
    AddRows(*window, {0});
    auto* stop = window->findChild<QPushButton*>(QStringLiteral("btnStop"));
    auto* pause = window->findChild<QPushButton*>(QStringLiteral("btnPause"));
    auto* resume = window->findChild<QPushButton*>(QStringLiteral("btnResume"));
    ASSERT_TRUE(stop && pause && resume);
    EXPECT_FALSE(stop->isVisible());
    RunWith(*window, [&](TfrmProgress& progress) {
        EXPECT_TRUE(pause->isEnabled());
        EXPECT_FALSE(resume->isEnabled());
        progress.PauseButton()->click();
        EXPECT_EQ(engine_->Pauses, 1);
        EXPECT_FALSE(pause->isEnabled());
        EXPECT_TRUE(resume->isEnabled());
        window->ResumeClick();
        EXPECT_EQ(engine_->Resumes, 1);
        EXPECT_TRUE(progress.PauseButton()->isEnabled());
        EXPECT_FALSE(progress.ResumeButton()->isEnabled());
        window->StopClick();
        EXPECT_GE(engine_->Stops, 1);
    });
    EXPECT_FALSE(window->ProgressWindow()->isVisible());
    EXPECT_FALSE(stop->isEnabled());
    EXPECT_FALSE(pause->isEnabled());
    EXPECT_TRUE(window->findChild<QToolButton*>(QStringLiteral("btnStart"))->isEnabled());
}

TEST_F(MainWindowRunTest, HookDrawsTheJobOfItsTaskAndPreviewFeedsTheWindow) {
    auto window = MakeWindow();
    AddRows(*window, {0, 1});
    // Everything black.
    window->Jobs().EditJob(1, [](TlvFilesRecord& job) { job.Effects.Brightness = 0; });
    TBitmap plain(8, 8);
    TBitmap darkened(8, 8);
    for (TBitmap* frame : {&plain, &darkened})
        for (int y = 0; y < 8; ++y)
            std::fill(frame->ScanLine(y), frame->ScanLine(y) + 24, uint8_t{100});
    RunWith(*window, [&](TfrmProgress& progress) {
        // The hook runs in the task's worker thread, with the frame's canvas locked by the
        // component.
        std::thread worker([&] {
            THookInfo first{0, &plain, 1, 0, true, false};
            std::lock_guard plainCanvas(plain.CanvasLock());
            window->MediaConverter1CustomHook(&first);
            THookInfo second{1, &darkened, 1, 0, true, false};
            std::lock_guard darkenedCanvas(darkened.CanvasLock());
            window->MediaConverter1CustomHook(&second);
        });
        worker.join();
        TBitmap frame(640, 480);
        window->MediaConverter1PreviewBitmap(TPreviewInfo{0, &frame, 1, 0});
        progress.TimerTick();
        EXPECT_EQ(window->ConversionPreview().Width(), 640);
        // An empty picture leaves the last one in place.
        TBitmap empty;
        window->MediaConverter1PreviewBitmap(TPreviewInfo{0, &empty, 2, 0});
        EXPECT_EQ(window->ConversionPreview().Height(), 480);
        progress.close();
    });
    EXPECT_EQ(plain.ScanLine(3)[5], 100);
    EXPECT_LT(darkened.ScanLine(3)[5], 10);
}

TEST_F(MainWindowRunTest, SnapshotOfTheRunningFrameGoesToTheSnapshotFolder) {
    const std::string folder = temp_.File("snaps");
    std::filesystem::create_directory(folder); // a folder that cannot be written is replaced
    TIniFile(SettingsFile()).WriteString("settings", "SnapOutPutDir", folder);
    auto window = MakeWindow();
    AddRows(*window, {0});
    RunWith(*window, [&](TfrmProgress& progress) {
        TBitmap frame(640, 480);
        window->MediaConverter1PreviewBitmap(TPreviewInfo{0, &frame, 1, 0});
        progress.TimerTick();
        progress.SnapshotClick();
        // A file that cannot be written: the error is shown, the files before it stay.
        std::filesystem::remove(folder + "/Snapshot_full.jpg");
        std::filesystem::create_directory(folder + "/Snapshot_full.jpg");
        progress.SnapshotClick();
        progress.close();
    });
    for (const char* name : {"Snapshot_full.bmp", "Snapshot_small.bmp", "Snapshot_small.jpg"})
        EXPECT_TRUE(std::filesystem::is_regular_file(folder + "/" + name)) << name;
    // 24-bit bitmaps of the frame and of the 372x210 picture as shown.
    EXPECT_EQ(std::filesystem::file_size(folder + "/Snapshot_full.bmp"), 54u + 640u * 3 * 480);
    EXPECT_EQ(std::filesystem::file_size(folder + "/Snapshot_small.bmp"), 54u + 372u * 3 * 210);
    ASSERT_EQ(desktop_.Messages.size(), 1u);
    EXPECT_EQ(desktop_.Messages[0].Icon, TMessageIcon::miError);
    EXPECT_TRUE(desktop_.OpenedUrls.empty()); // the folder is not opened
}

TEST_F(MainWindowRunTest, AddedFilesAreReadThroughTheEnginesProbeTasks) {
    auto window = MakeWindow();
    TIniFile(SettingsFile()).WriteString("settings", "OutPutDir", temp_.File("out"));
    WriteTextFile(temp_.File("a.avi"), "not really a film");
    WriteTextFile(temp_.File("broken.avi"), "not a film at all");
    EXPECT_EQ(window->AddFiles({QString::fromStdString(temp_.File("a.avi")),
                                QString::fromStdString(temp_.File("broken.avi"))}),
              1);
    ASSERT_EQ(window->FileList()->RowCount(), 1);
    EXPECT_EQ(window->FileList()->Row(0)->text(1), "10"); // the double's length
    EXPECT_TRUE(engine_->Tasks.empty());                  // no probe task is left behind
}

TEST_F(MainWindowRunTest, ProgressWithoutKnownLengthKeepsThePercentage) {
    auto window = MakeWindow();
    AddRows(*window, {0});
    RunWith(*window, [&](TfrmProgress& progress) {
        engine_->Progress(0, 3'000'000, 10'000'000, 0);
        engine_->Progress(0, 4'000'000, 0, 0);
        EXPECT_EQ(progress.Bar()->value(), 30);
        EXPECT_EQ(window->FileList()->Row(0)->text(4), "30%");
        EXPECT_EQ(Label(progress, "lblTimeValue"), "4 Second");
        progress.close();
    });
}

} // namespace
} // namespace tovik::test

namespace tovik::test {
namespace {

using namespace std::chrono_literals;

std::string ReadTextFile(const std::string& fileName) {
    std::vector<uint8_t> bytes;
    test::ReadBinaryFile(fileName, bytes);
    return std::string(bytes.begin(), bytes.end());
}

TEST_F(MainWindowRunTest, FailedAndCancelledRowsSaySoAndTheSummaryGoesToTheLog) {
    auto window = MakeWindow();
    AddRows(*window, {0, 1, 2, 3}, {"a", "b", "broken", "d"});
    window->ActivityLogClick(); // open during the run: it shows the summary at the end
    RunWith(*window, [&](TfrmProgress& progress) {
        engine_->Progress(0, 5'000'000, 10'000'000, 1000);
        engine_->Report(0, true);
        engine_->Progress(1, 2'000'000, 10'000'000, 1000);
        engine_->Report(1, false, true, "Could not write header for output file #0");
        engine_->Progress(2, 1'000'000, 10'000'000, 1000);
        now_ += 65s;
        progress.CancelButton()->click(); // the third task is stopped
    });
    TFileList* list = window->FileList();
    EXPECT_EQ(list->Row(0)->text(4), "100%");
    EXPECT_EQ(list->Row(0)->toolTip(4), "");
    EXPECT_EQ(list->Row(1)->text(4), "failed");
    EXPECT_EQ(list->Row(1)->toolTip(4), "Could not write header for output file #0");
    // The row that could not be opened never ran, and says why as well.
    EXPECT_EQ(list->Row(2)->text(4), "failed");
    EXPECT_EQ(list->Row(2)->toolTip(4), "Invalid data found when processing input");
    EXPECT_EQ(list->Row(3)->text(4), "cancelled");
    // The model holds it, not only the list.
    EXPECT_EQ(window->Jobs().Row(3).Progress, "cancelled");

    const QString log = window->LogText();
    EXPECT_TRUE(log.contains("Run finished in 0:01:05: 1 file converted, 2 failed, 1 cancelled."))
        << log.toStdString();
    EXPECT_TRUE(log.contains("Failed: /videos/b.avi: Could not write header for output file #0"));
    EXPECT_TRUE(log.contains("Failed: /videos/broken.avi: Invalid data found"));
    ASSERT_NE(window->ActivityLogWindow(), nullptr);
    EXPECT_TRUE(window->ActivityLogWindow()->SummaryText().startsWith("Run finished in 0:01:05"));
    // The window was active all the while: no desktop notice.
    EXPECT_TRUE(desktop_.Notices.empty());

    // The next run starts the rows afresh: no stale word or reason.
    RunWith(*window, [&](TfrmProgress& progress) {
        EXPECT_EQ(list->Row(1)->text(4), "");
        EXPECT_EQ(list->Row(1)->toolTip(4), "");
        progress.close();
    });
}

TEST_F(MainWindowRunTest, TheEndIsToldOnTheDesktopOnlyWhenNoWindowOfOursIsActive) {
    auto window = MakeWindow();
    AddRows(*window, {0, 1, 2});
    auto runAll = [&] {
        RunWith(*window, [&](TfrmProgress&) {
            engine_->Report(0, true);
            engine_->Report(1, false, true, "Disk full");
            engine_->Report(2, true);
            engine_->ReportRunEnd();
        });
    };
    desktop_.Active = true;
    runAll();
    EXPECT_TRUE(desktop_.Notices.empty());
    desktop_.Active = false; // the user went to another program's window
    runAll();
    ASSERT_EQ(desktop_.Notices.size(), 1u);
    EXPECT_EQ(desktop_.Notices[0].second, "2 files converted, 1 failed");
    EXPECT_FALSE(desktop_.Notices[0].first.isEmpty());
    // A notice is no message box.
    EXPECT_TRUE(desktop_.Messages.empty());
}

TEST_F(MainWindowRunTest, TotalLeftCoversTheWholeRunAfterTheFirstSeconds) {
    auto window = MakeWindow();
    AddRows(*window, {0, 1}); // 10.25 s each
    QString early, first, second, perFile;
    RunWith(*window, [&](TfrmProgress& progress) {
        now_ += 1s;
        engine_->Progress(0, 1'000'000, 10'250'000, 1000);
        early = Label(progress, "lblTotalLeft");
        // 2.5 s of output in 5 s: 7.75 s of this file and 10.25 s of the next at 2 s each.
        now_ += 4s;
        engine_->Progress(0, 2'500'000, 10'250'000, 1000);
        first = Label(progress, "lblTotalLeft");
        perFile = Label(progress, "lblTimeLeft");
        engine_->Report(0, true);
        // The pace carries over into the next file: 10.5 s done in 20 s, 10 s to go.
        now_ += 15s;
        engine_->Progress(1, 250'000, 10'250'000, 1000);
        second = Label(progress, "lblTotalLeft");
        engine_->Report(1, true);
        engine_->ReportRunEnd();
    });
    EXPECT_EQ(early, "");
    EXPECT_EQ(first, "Total Left: 0:00:36");
    EXPECT_EQ(perFile, "Time Left: 0:00:12"); // the current file's own estimate beside it
    EXPECT_EQ(second, "Total Left: 0:00:19");
}

TEST_F(MainWindowRunTest, TwoAtATimeEachRowGetsItsOutcomeAndTheWindowListsTheRunningFiles) {
    TIniFile(SettingsFile()).WriteInteger("settings", "simultaneous", 2);
    auto window = MakeWindow();
    AddRows(*window, {0, 1, 2, 3});
    using TTexts = std::vector<std::pair<QString, int>>;
    TTexts both, afterFirst;
    int barBoth = -1;
    bool several = false;
    int previewWidth = 0;
    RunWith(*window, [&](TfrmProgress& progress) {
        EXPECT_EQ(engine_->StartCount, 2);
        several = progress.ShowsSeveralFiles();
        engine_->Progress(0, 5'000'000, 10'000'000, 1000);
        engine_->Progress(1, 2'000'000, 10'000'000, 1000);
        both = progress.RunningFileTexts();
        barBoth = progress.Bar()->value();
        // Each row shows its own percentage.
        EXPECT_EQ(window->FileList()->Row(0)->text(4), "50%");
        EXPECT_EQ(window->FileList()->Row(1)->text(4), "20%");
        // The picture is the first running file's; the other's pictures are passed over.
        TBitmap other(320, 240);
        window->MediaConverter1PreviewBitmap(TPreviewInfo{1, &other, 1, 0});
        EXPECT_TRUE(window->ConversionPreview().Empty());
        TBitmap first(640, 480);
        window->MediaConverter1PreviewBitmap(TPreviewInfo{0, &first, 1, 0});
        previewWidth = window->ConversionPreview().Width();

        // The first ends, the third takes its place; the second fails after the third ended.
        engine_->Report(0, true);
        QCoreApplication::processEvents();
        engine_->Progress(2, 1'000'000, 10'000'000, 1000);
        afterFirst = progress.RunningFileTexts();
        engine_->Report(2, true);
        engine_->Progress(3, 1'000'000, 10'000'000, 1000);
        engine_->Report(1, false, true, "Disk full");
        engine_->Report(3, true);
        engine_->ReportRunEnd();
    });
    EXPECT_TRUE(several);
    EXPECT_EQ(both, (TTexts{{"a.avi", 50}, {"b.avi", 20}}));
    EXPECT_EQ(barBoth, 17); // 7 s of the run's 41 s
    EXPECT_EQ(previewWidth, 640);
    EXPECT_EQ(afterFirst, (TTexts{{"b.avi", 20}, {"c.avi", 10}}));
    TFileList* list = window->FileList();
    EXPECT_EQ(list->Row(0)->text(4), "100%");
    EXPECT_EQ(list->Row(1)->text(4), "failed");
    EXPECT_EQ(list->Row(2)->text(4), "100%");
    EXPECT_EQ(list->Row(3)->text(4), "100%");
    // One end of the run, and the after-conversion action once, after the last to end.
    EXPECT_EQ(window->LogText().count("Run finished in"), 1);
    EXPECT_TRUE(window->LogText().contains("3 files converted, 1 failed"))
        << window->LogText().toStdString();
    EXPECT_EQ(desktop_.OpenedUrls.size(), 1u);
    EXPECT_EQ(engine_->Clears, 2);

    // Back to one at a time: the window shows the one file's values again.
    TIniFile(SettingsFile()).WriteInteger("settings", "simultaneous", 1);
    RunWith(*window, [&](TfrmProgress& progress) {
        EXPECT_EQ(engine_->StartCount, 1);
        EXPECT_FALSE(progress.ShowsSeveralFiles());
        engine_->Progress(0, 5'000'000, 10'000'000, 1000);
        EXPECT_EQ(Label(progress, "lblFileValue"), "/videos/a.avi");
        progress.close();
    });
}

TEST_F(MainWindowRunTest, TwoRowsWithOneNameGetTwoDestinationsAndTheRunWritesThem) {
    auto window = MakeWindow();
    const std::string out = temp_.File("out");
    TIniFile(SettingsFile()).WriteString("settings", "OutPutDir", out);
    ASSERT_EQ(window->AddFiles({"/one/same.avi", "/two/same.avi", "/one/other.avi"}), 3);
    TJobList& jobs = window->Jobs();
    const std::string ext = jobs.Row(0).Destination.substr(jobs.Row(0).Destination.rfind('.'));
    EXPECT_EQ(jobs.Row(0).Destination, out + "/same_(new)" + ext);
    EXPECT_EQ(jobs.Row(1).Destination, out + "/same_(new_1)" + ext);
    EXPECT_EQ(jobs.Row(2).Destination, out + "/other_(new)" + ext);
    // A row added later keeps clear of every name in the list.
    ASSERT_EQ(window->AddFiles({"/three/same.avi"}), 1);
    EXPECT_EQ(jobs.Row(3).Destination, out + "/same_(new_2)" + ext);
    EXPECT_EQ(window->FileList()->Row(3)->text(3).toStdString(), "same_(new_2)" + ext);

    // A file that appeared meanwhile: the run names around it, and the list shows the names
    // the run writes.
    test::WriteTextFile(out + "/same_(new)" + ext, "");
    std::vector<std::string> written;
    RunWith(*window, [&](TfrmProgress& progress) {
        for (const auto& task : engine_->Tasks)
            written.push_back(task.Outputs.at(0).FileName);
        progress.close();
    });
    const std::vector<std::string> expected{out + "/same_(new_1)" + ext,
                                            out + "/same_(new_2)" + ext, out + "/other_(new)" + ext,
                                            out + "/same_(new_3)" + ext};
    EXPECT_EQ(written, expected);
    for (int row = 0; row < 4; ++row)
        EXPECT_EQ(jobs.Row(row).Destination, expected[static_cast<size_t>(row)]) << row;
    EXPECT_EQ(window->FileList()->Row(0)->text(3).toStdString(), "same_(new_1)" + ext);
}

TEST_F(MainWindowRunTest, ConvertedFilesTakeTheirSourcesDateWhenAsked) {
    const std::string source = temp_.File("source.avi");
    test::WriteTextFile(source, "x");
    const timespec old[2] = {{0, UTIME_OMIT}, {1'557'000'000, 250'000'000}}; // May 2019
    ASSERT_EQ(::utimensat(AT_FDCWD, source.c_str(), old, 0), 0);
    auto mtime = [](const std::string& file) {
        struct stat facts {};
        ::stat(file.c_str(), &facts);
        return std::pair(facts.st_mtim.tv_sec, facts.st_mtim.tv_nsec);
    };
    auto window = MakeWindow();
    auto convert = [&](bool finished) {
        std::string output;
        RunWith(*window, [&](TfrmProgress&) {
            output = engine_->Tasks.at(0).Outputs.at(0).FileName;
            test::WriteTextFile(output, "converted"); // what the engine would write
            engine_->Report(0, finished, !finished, "broken");
            engine_->ReportRunEnd();
        });
        return output;
    };
    AppendTestRow(window->Jobs(), QString::fromStdString(source), 10, "source_(new).mp4");
    // Off (the default): the output keeps the time it was written.
    const std::string plain = convert(true);
    EXPECT_NE(mtime(plain), mtime(source));
    TIniFile(SettingsFile()).WriteBool("settings", "keepFileDates", true);
    const std::string dated = convert(true);
    EXPECT_NE(dated, plain);
    EXPECT_EQ(mtime(dated), mtime(source));
    // A failed conversion's remains are not made to look like a good old file.
    const std::string failed = convert(false);
    EXPECT_NE(mtime(failed), mtime(source));
}

TEST_F(MainWindowRunTest, LibraryLinesFromWorkerThreadsReachTheLogWindowInPages) {
    auto window = MakeWindow();
    window->AppendLog("before the window");
    window->ActivityLogClick();
    TfrmActivityLog* log = window->ActivityLogWindow();
    ASSERT_NE(log, nullptr);
    EXPECT_TRUE(log->isVisible());
    EXPECT_TRUE(log->Pulling());
    EXPECT_TRUE(log->ShownText().endsWith("before the window"));
    const int64_t start = window->ActivityLog().LastSequence();

    // Four engine threads log 25 000 lines each through the kit's log sink.
    constexpr int kThreads = 4;
    constexpr int kLines = 25'000;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < kLines; ++i)
                LoggerInstance().LogFmt(nullptr, TLogLevel::llError, "worker %d line %d", t, i);
        });
    for (std::thread& thread : threads)
        thread.join();
    ASSERT_EQ(window->ActivityLog().LastSequence(), start + kThreads * kLines);

    // The window takes them a page at a time, never more.
    int pages = 0;
    while (log->ShownSequence() < window->ActivityLog().LastSequence()) {
        const size_t taken = log->PullPage();
        ASSERT_GT(taken, 0u);
        ASSERT_LE(taken, TfrmActivityLog::kPageLines);
        ++pages;
    }
    EXPECT_GE(pages, kThreads * kLines / static_cast<int>(TfrmActivityLog::kPageLines));
    EXPECT_EQ(log->ShownLineCount(), 1 + kThreads * kLines);
    // Each thread's lines in the order it wrote them, with their times.
    const QStringList shown = log->ShownText().split('\n');
    std::vector<int> next(kThreads, 0);
    for (int i = 1; i < shown.size(); ++i) {
        const QString& line = shown[i];
        ASSERT_EQ(line.indexOf(QRegularExpression(
                      "^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}  worker ")),
                  0)
            << line.toStdString();
        const QStringList words = line.split(' ');
        const int thread = words.at(words.size() - 3).toInt();
        ASSERT_EQ(words.last().toInt(), next.at(static_cast<size_t>(thread))++);
    }
    EXPECT_EQ(next, std::vector<int>(kThreads, kLines));
    // Hidden, it pulls nothing; nothing is lost meanwhile.
    log->hide();
    EXPECT_FALSE(log->Pulling());
    LoggerInstance().Log(nullptr, TLogLevel::llError, "while hidden");
    window->ActivityLogClick();
    EXPECT_TRUE(log->ShownText().endsWith("while hidden"));
}

TEST_F(MainWindowRunTest, TheLogIsCopiedSavedAndWrittenToTheStateFolder) {
    TMainWindowServices services;
    services.Desktop = &desktop_;
    services.FileSystemTypeOf = [](const std::string&) { return std::string("ext4"); };
    services.OpenLogFile = [](std::string& error) { return OpenSessionLogFile(error); };
    auto window = std::make_unique<TfrmMain>(std::move(services));
    window->AppendLog("first line");
    LoggerInstance().Log(nullptr, TLogLevel::llError, "a library line");
    // The state folder of this test's home, as the program's own folder.
    const std::string file = temp_.File("state") + "/tovik/tovik.log";
    const std::string written = ReadTextFile(file);
    EXPECT_NE(written.find("  first line\n"), std::string::npos) << written;
    EXPECT_NE(written.find("  a library line\n"), std::string::npos) << written;

    window->ActivityLogClick();
    TfrmActivityLog* log = window->ActivityLogWindow();
    log->CopyButton()->click();
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), window->ActivityLog().Text());
    // Save: into the chosen file; cancelled, nothing; a folder in the way, a warning.
    desktop_.SaveFile = QString::fromStdString(temp_.File("saved.log"));
    EXPECT_TRUE(log->SaveClick());
    EXPECT_EQ(ReadTextFile(temp_.File("saved.log")), window->ActivityLog().Text());
    desktop_.SaveFile.clear();
    EXPECT_FALSE(log->SaveClick());
    std::filesystem::create_directory(temp_.File("folder.log"));
    desktop_.SaveFile = QString::fromStdString(temp_.File("folder.log"));
    EXPECT_FALSE(log->SaveClick());
    ASSERT_EQ(desktop_.Messages.size(), 1u);
    EXPECT_TRUE(desktop_.Messages[0].Text.startsWith("Cannot save the log to"))
        << desktop_.Messages[0].Text.toStdString();
}

} // namespace
} // namespace tovik::test
