#include "AppTestSupport.h"

#include "app/MainWindow.h"
#include "settings/IniFile.h"
#include "workspace/ui/AddFiles.h"
#include "workspace/ui/FileList.h"

#include <QCoreApplication>
#include <QDropEvent>
#include <QMimeData>
#include <filesystem>
#include <map>
#include <memory>

namespace tovik::test {
namespace {

class AddFilesTest : public TAppTest {
protected:
    void SetUp() override {
        TAppTest::SetUp();
        output_ = temp_.Path() / "out";
        sources_ = temp_.Path() / "sources";
        std::filesystem::create_directories(output_);
        std::filesystem::create_directories(sources_ / "a-folder.avi");
        settings_ = std::make_unique<TIniFile>(SettingsFile());
        profile_ = std::make_unique<TIniFile>(
            (temp_.Path() / "config" / "tovikavimovformat.ini").string());
        settings_->WriteString("settings", "OutPutDir", output_.string());
    }
    // A source the fake probe knows, with its duration in microseconds.
    QString Source(const std::string& name, int64_t durationUs = 61'900'000) {
        const std::string path = (sources_ / name).string();
        WriteTextFile(path, "not really a video");
        durations_[path] = durationUs;
        return QString::fromStdString(path);
    }
    TAddFilesContext Context() {
        TAddFilesContext context;
        context.Settings = settings_.get();
        context.Profile = profile_.get();
        context.Probe = [this](const std::string& path, int64_t& durationUs) {
            ++probes_;
            const auto known = durations_.find(path);
            if (known == durations_.end())
                return false;
            durationUs = known->second;
            return true;
        };
        context.Warn = [this](const std::string& message) { warnings_.push_back(message); };
        return context;
    }

    std::filesystem::path output_;
    std::filesystem::path sources_;
    std::unique_ptr<TIniFile> settings_;
    std::unique_ptr<TIniFile> profile_;
    std::map<std::string, int64_t> durations_;
    std::vector<std::string> warnings_;
    int probes_ = 0;
};

TEST_F(AddFilesTest, TheSameFileTwiceGivesOneRowInOneBatchOrTwo) {
    TJobList jobs;
    TFileList list(jobs);
    const QString clip = Source("clip.avi");
    EXPECT_EQ(AddSourceFiles(list, {clip, clip}, Context()), 1);
    EXPECT_EQ(AddSourceFiles(list, {clip}, Context()), 0);
    EXPECT_EQ(list.RowCount(), 1);
    EXPECT_EQ(probes_, 1);
}

TEST_F(AddFilesTest, DirectoriesAreSkippedQuietlyAndUnreadableFilesNamedInOneMessage) {
    TJobList jobs;
    TFileList list(jobs);
    const QString folder = QString::fromStdString((sources_ / "a-folder.avi").string());
    const QString unreadable = QString::fromStdString((sources_ / "broken.avi").string());
    const QString empty = QString::fromStdString((sources_ / "empty.avi").string());
    WriteTextFile(unreadable.toStdString(), "x"); // the probe does not know it
    WriteTextFile(empty.toStdString(), "");
    const QString good = Source("good.avi");
    EXPECT_EQ(AddSourceFiles(list, {folder, unreadable, good, empty}, Context()), 1);
    ASSERT_EQ(list.RowCount(), 1);
    EXPECT_EQ(list.Row(0)->text(0), good);
    ASSERT_EQ(warnings_.size(), 1u);
    EXPECT_EQ(warnings_[0], std::string(kUnreadableFilesText) + "\n" + unreadable.toStdString() +
                                "\n" + empty.toStdString());
    // A batch that reads every file says nothing.
    warnings_.clear();
    EXPECT_EQ(AddSourceFiles(list, {Source("fine.avi")}, Context()), 1);
    EXPECT_TRUE(warnings_.empty());
}

TEST_F(AddFilesTest, ABrokenProfileExtensionLeavesTheDestinationEmpty) {
    profile_->WriteString("formatInfo104", "FileExt", "../../escape");
    settings_->WriteInteger("settings", "FormatCode", 104);
    TJobList jobs;
    TFileList list(jobs);
    ASSERT_EQ(AddSourceFiles(list, {Source("x.avi")}, Context()), 1);
    EXPECT_EQ(list.Row(0)->text(3), "");
    // A usable one again: the destinations follow it.
    profile_->WriteString("formatInfo104", "FileExt", "avi");
    RefreshDestinations(list, Context());
    EXPECT_EQ(list.Row(0)->text(3), "x_(new).avi");
}

TEST_F(AddFilesTest, RowsShowWholeSecondsDestinationAndTheStoredZoomMode) {
    profile_->WriteString("formatInfo104", "FileExt", "avi");
    settings_->WriteInteger("settings", "FormatCode", 104);
    settings_->WriteString("formatInfo104", "paraZoom", "pan");
    TJobList jobs;
    TFileList list(jobs);
    const QString first = Source("first.mov", 61'900'000);
    const QString unknown = Source("unknown.mov", -1);
    ASSERT_EQ(AddSourceFiles(list, {first, unknown}, Context()), 2);
    EXPECT_EQ(list.Row(0)->text(1), "61");
    EXPECT_EQ(list.Row(0)->text(2), "61");
    EXPECT_EQ(list.Row(0)->text(3), "first_(new).avi");
    EXPECT_EQ(jobs.Job(0).ZoomMode, "pan");
    EXPECT_EQ(list.Row(1)->text(1), "0");
    EXPECT_TRUE(list.IsChecked(0) && list.IsChecked(1));
    EXPECT_EQ(list.SelectedRow(), 0);
    EXPECT_TRUE(list.IsReportStyle());
}

TEST_F(AddFilesTest, WithoutProfileOrSettingsTheDefaultsAreMp4AndLbox) {
    TJobList jobs;
    TFileList list(jobs);
    ASSERT_EQ(AddSourceFiles(list, {Source("x.avi")}, Context()), 1);
    EXPECT_EQ(list.Row(0)->text(3), "x_(new).mp4");
    EXPECT_EQ(jobs.Job(0).ZoomMode, "lbox");
}

TEST_F(AddFilesTest, DestinationsSkipOutputsThatExistAndEachOther) {
    WriteTextFile((output_ / "x_(new).mp4").string(), "");
    WriteTextFile((output_ / "x_(new_1).mp4").string(), "");
    std::filesystem::create_directories(sources_ / "one");
    std::filesystem::create_directories(sources_ / "two");
    TJobList jobs;
    TFileList list(jobs);
    ASSERT_EQ(AddSourceFiles(list, {Source("x.avi"), Source("one/a.avi"), Source("two/a.avi")},
                             Context()),
              3);
    EXPECT_EQ(list.Row(0)->text(3), "x_(new_2).mp4");
    // Two rows never write one file: the second a.avi gets the next name.
    EXPECT_EQ(list.Row(1)->text(3), "a_(new).mp4");
    EXPECT_EQ(list.Row(2)->text(3), "a_(new_1).mp4");
    // Nor does a row added later, or one whose name a format change works out again.
    ASSERT_EQ(AddSourceFiles(list, {Source("x.avi")}, Context()), 0); // already listed
    std::filesystem::create_directories(sources_ / "three");
    ASSERT_EQ(AddSourceFiles(list, {Source("three/a.avi")}, Context()), 1);
    EXPECT_EQ(list.Row(3)->text(3), "a_(new_2).mp4");
    RefreshDestinations(list, Context());
    EXPECT_EQ(list.Row(1)->text(3), "a_(new).mp4");
    EXPECT_EQ(list.Row(2)->text(3), "a_(new_1).mp4");
    EXPECT_EQ(list.Row(3)->text(3), "a_(new_2).mp4");
}

TEST_F(AddFilesTest, AnOutputDirectoryThatCannotBeMadeWarnsAndFallsBack) {
    WriteTextFile((temp_.Path() / "blocker").string(), "a file, not a folder");
    settings_->WriteString("settings", "OutPutDir", (temp_.Path() / "blocker" / "out").string());
    TJobList jobs;
    TFileList list(jobs);
    ASSERT_EQ(AddSourceFiles(list, {Source("y.avi")}, Context()), 1);
    ASSERT_EQ(warnings_.size(), 1u);
    const std::string fallback = (temp_.Path() / "home" / "videoconverter").string();
    EXPECT_EQ(settings_->ReadString("settings", "OutPutDir", ""), fallback);
    EXPECT_TRUE(std::filesystem::is_directory(fallback));
}

class AddFilesWindowTest : public AddFilesTest {
protected:
    std::unique_ptr<TfrmMain> MakeWindow(bool librariesLoad = true) {
        TMainWindowServices services = WindowServices();
        services.LoadEngineLibraries = [librariesLoad] { return librariesLoad; };
        services.ProbeSource = Context().Probe;
        auto window = std::make_unique<TfrmMain>(std::move(services));
        window->show();
        return window;
    }
};

TEST_F(AddFilesWindowTest, AddShowsTheDialogWithAviFirstAndAddsTheChoice) {
    auto window = MakeWindow();
    desktop_.ChosenFiles = {Source("b.avi"), Source("c.avi")};
    window->AddClick();
    EXPECT_EQ(desktop_.OpenDialogs, 1);
    ASSERT_FALSE(desktop_.LastFilters.isEmpty());
    EXPECT_EQ(desktop_.LastFilters.first(), "AVI files (*.avi)");
    EXPECT_EQ(desktop_.LastFilters.last(), "All files (*)");
    EXPECT_EQ(window->FileList()->RowCount(), 2);
    EXPECT_TRUE(window->findChild<QWidget*>("btnRemove")->isEnabled());

    // Cancelling the dialog adds nothing.
    desktop_.ChosenFiles.clear();
    window->AddClick();
    EXPECT_EQ(window->FileList()->RowCount(), 2);
}

TEST_F(AddFilesWindowTest, WithoutLibrariesAddStopsBeforeTheDialog) {
    auto window = MakeWindow(false);
    desktop_.ChosenFiles = {Source("b.avi")};
    window->AddClick();
    EXPECT_EQ(desktop_.OpenDialogs, 0);
    EXPECT_EQ(window->FileList()->RowCount(), 0);
}

TEST_F(AddFilesWindowTest, FilesDroppedOnTheListAreAdded) {
    auto window = MakeWindow();
    TFileList* list = window->FileList();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(Source("dropped.avi")), QUrl("https://example.org/x.avi")});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list->viewport(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list->viewport(), &drop);
    ASSERT_EQ(list->RowCount(), 1);
    EXPECT_TRUE(list->Row(0)->text(0).endsWith("dropped.avi"));
}

} // namespace
} // namespace tovik::test
