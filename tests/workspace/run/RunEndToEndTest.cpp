// Two checked AVI rows convert to MOV from the main window with the real engine; one row
// carries a text layer that must show in its output's frames.

#include "AppTestSupport.h"

#include "app/MainWindow.h"
#include "media/LibraryBindings.h"
#include "media/MediaProbe.h"
#include "platform/Dispatcher.h"
#include "settings/GlobalObject.h"
#include "settings/IniFile.h"
#include "workspace/core/ProfileChoices.h"
#include "workspace/run/ProgressWindow.h"
#include "workspace/ui/FileList.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMetaObject>
#include <QProgressBar>
#include <QRegularExpression>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <set>
#include <sys/stat.h>
#include <thread>

namespace tovik::test {
namespace {

namespace fs = std::filesystem;

class RunEndToEndTest : public TAppTest {
protected:
    void SetUp() override {
        TAppTest::SetUp();
        // The engine hands its progress and preview events to this thread through the
        // dispatcher; Qt's loop runs them, as in the program.
        auto& dispatcher = TDispatcher::Instance();
        dispatcher.SetMainThread(std::this_thread::get_id());
        dispatcher.SetWakeUpHandler([] {
            QMetaObject::invokeMethod(
                qApp, [] { TDispatcher::Instance().CheckSynchronize(); }, Qt::QueuedConnection);
        });
        dispatcher.SetHostEventPump([] { QCoreApplication::processEvents(); });
    }
    void TearDown() override {
        TDispatcher::Instance().SetWakeUpHandler(nullptr);
        TDispatcher::Instance().SetHostEventPump(nullptr);
        TAppTest::TearDown();
    }

    // An output folder, the profile file and the MOV format with its default choices.
    fs::path PrepareSettings() {
        const fs::path output = temp_.Path() / "out";
        fs::create_directories(output);
        const fs::path config = temp_.Path() / "config";
        fs::copy_file(fs::path(TOVIK_DATA_DIR) / "tovikavimovformat.ini",
                      config / "tovikavimovformat.ini");
        TIniFile settings(SettingsFile());
        settings.WriteString("settings", "OutPutDir", output.string());
        settings.WriteString("settings", "FormatCode", "0");
        settings.WriteString("settings", "FormatName", "QuickTime MOV");
        // The format's stored choices, as its "Default" button writes them.
        ApplyProfileDefaults(settings, TIniFile((config / "tovikavimovformat.ini").string()), 0);
        return output;
    }

    // Copies a test clip into the sources folder under name.
    QString Source(const std::string& clip, const std::string& name) {
        const fs::path sources = temp_.Path() / "sources";
        fs::create_directories(sources);
        fs::copy_file(MediaFile(clip), sources / name);
        return QString::fromStdString((sources / name).string());
    }

    TMainWindowServices Services(int& shutDowns) {
        TMainWindowServices services = TMainWindowServices::System(desktop_);
        services.LoadPlayerLibraries = nullptr;
        services.ShutDown = [&shutDowns](std::string&) {
            ++shutDowns;
            return true;
        };
        return services;
    }

    // A text layer "T" on a white box of that size at the picture's top left, all along.
    static std::shared_ptr<TWmRec> WhiteTextBox(int width, int height) {
        auto layer = std::make_shared<TWmRec>();
        layer->Text = "T";
        layer->TextWidth = width;
        layer->TextHeight = height;
        layer->BackFilled = true;
        layer->BackColor = 0x00FFFFFF;
        layer->Font.Size = 8;
        layer->EndSecond = 100;
        return layer;
    }

    // The mean of each colour over a block of an RGB frame decoded from a file at 1 s.
    static std::vector<double> BlockMean(const std::string& file, int width, int left, int top,
                                         int size, const std::string& raw) {
        EXPECT_EQ(RunFfmpegTool("-ss 1 -i '" + file + "' -frames:v 1 -f rawvideo -pix_fmt rgb24 '" +
                                raw + "'"),
                  0);
        std::vector<uint8_t> pixels;
        ReadBinaryFile(raw, pixels);
        std::vector<double> mean(3, 0.0);
        if (pixels.size() < static_cast<size_t>(width) * (top + size) * 3)
            return mean;
        for (int y = top; y < top + size; ++y)
            for (int x = left; x < left + size; ++x)
                for (int c = 0; c < 3; ++c)
                    mean[static_cast<size_t>(c)] +=
                        pixels[(static_cast<size_t>(y) * width + x) * 3 + c];
        for (double& value : mean)
            value /= size * size;
        return mean;
    }
};

TEST_F(RunEndToEndTest, TwoAviRowsBecomeMovFilesAndTheTextLayerShows) {
    const fs::path output = PrepareSettings();
    int shutDowns = 0;
    TfrmMain window(Services(shutDowns));
    window.show();
    LoadEngineLibrariesOrFail();
    ASSERT_EQ(window.AddFiles({Source("clip.avi", "plain.avi"), Source("clip.avi", "titled.avi")}),
              2);
    // A white box with black text over the top-left quarter of the 160x120 source, all along.
    const auto layer = WhiteTextBox(80, 60);
    window.Jobs().EditJob(1, [&](TlvFilesRecord& job) { job.Effects.Overlays.push_back(layer); });

    window.OnProgressShown = [](TfrmProgress& progress) {
        // Never hang the suite: give up after three minutes.
        QTimer::singleShot(180'000, &progress, [&progress] { progress.close(); });
    };
    window.StartClick();

    EXPECT_EQ(window.RowOfTask(), (std::vector<int>{0, 1}));
    // The engine's final progress report of the second task and its pictures reached the
    // window.
    EXPECT_EQ(
        window.ProgressWindow()->findChild<QLabel*>(QStringLiteral("lblProgressValue"))->text(),
        "[2/2]");
    EXPECT_FALSE(window.ConversionPreview().Empty());
    const std::string plain = (output / "plain_(new).mov").string();
    const std::string titled = (output / "titled_(new).mov").string();
    ASSERT_TRUE(fs::exists(plain)) << window.LogText().toStdString();
    ASSERT_TRUE(fs::exists(titled)) << window.LogText().toStdString();
    EXPECT_EQ(window.FileList()->Row(0)->text(4), "100%");
    EXPECT_EQ(window.FileList()->Row(1)->text(4), "100%");
    // Both ran to their end: the output folder opened once, nobody asked to shut down.
    ASSERT_EQ(desktop_.OpenedUrls.size(), 1u);
    EXPECT_EQ(desktop_.OpenedUrls[0].toLocalFile().toStdString(), output.string());
    EXPECT_EQ(shutDowns, 0);

    // MOV's default frame size is 640x480: the layer covers about 320x240 at the top left.
    const std::vector<double> titledBlock =
        BlockMean(titled, 640, 200, 20, 40, temp_.File("titled.rgb"));
    const std::vector<double> plainBlock =
        BlockMean(plain, 640, 200, 20, 40, temp_.File("plain.rgb"));
    for (size_t c = 0; c < 3; ++c) {
        EXPECT_GT(titledBlock[c], 225.0) << "colour " << c;
        EXPECT_GT(titledBlock[c] - plainBlock[c], 30.0) << "colour " << c;
    }
    // Outside the layer the two outputs agree.
    const std::vector<double> titledRest =
        BlockMean(titled, 640, 500, 400, 40, temp_.File("titled2.rgb"));
    const std::vector<double> plainRest =
        BlockMean(plain, 640, 500, 400, 40, temp_.File("plain2.rgb"));
    for (size_t c = 0; c < 3; ++c)
        EXPECT_NEAR(titledRest[c], plainRest[c], 12.0) << "colour " << c;
}

// A phone clip stored sideways: the layer placed at the top left of the picture the user sees
// (upright, as the dialogs show it) is at the top left of the converted picture.
TEST_F(RunEndToEndTest, ALayerOnAClipStoredSidewaysLandsWhereTheUprightPictureHasIt) {
    const fs::path output = PrepareSettings();
    const fs::path sources = temp_.Path() / "sources";
    fs::create_directories(sources);
    const std::string phone = (sources / "phone.mp4").string();
    ASSERT_EQ(RunFfmpegTool("-i '" + MediaFile("clip.avi") +
                            "' -c copy -metadata:s:v:0 rotate=90 '" + phone + "'"),
              0);
    int shutDowns = 0;
    TfrmMain window(Services(shutDowns));
    window.show();
    LoadEngineLibrariesOrFail();
    ASSERT_EQ(window.AddFiles({QString::fromStdString(phone)}), 1);
    // A white box over the top half of the upright picture's left half (120x160 upright).
    const auto layer = WhiteTextBox(60, 80);
    window.Jobs().EditJob(0, [&](TlvFilesRecord& job) { job.Effects.Overlays.push_back(layer); });
    window.OnProgressShown = [](TfrmProgress& progress) {
        QTimer::singleShot(180'000, &progress, [&progress] { progress.close(); });
    };
    window.StartClick();
    const std::string converted = (output / "phone_(new).mov").string();
    ASSERT_TRUE(fs::exists(converted)) << window.LogText().toStdString();
    // MOV's 640x480 frame: the box covers about the top left 320x240; the top right shows
    // the clip's own colours.
    const auto topLeft = BlockMean(converted, 640, 100, 60, 40, temp_.File("left.rgb"));
    const auto topRight = BlockMean(converted, 640, 500, 60, 40, temp_.File("right.rgb"));
    for (size_t c = 0; c < 3; ++c)
        EXPECT_GT(topLeft[c], 225.0) << "colour " << c;
    EXPECT_LT(std::min({topRight[0], topRight[1], topRight[2]}), 200.0) << "no box there";
}

// A fresh settings folder with the installed profile: the first format of the profile is
// the chosen one, and Start writes a MOV with a picture, not an audio-only ".mp4".
TEST_F(RunEndToEndTest, AFreshInstallConvertsToARealMovOnTheFirstStart) {
    fs::copy_file(fs::path(TOVIK_DATA_DIR) / "tovikavimovformat.ini",
                  temp_.Path() / "config" / "tovikavimovformat.ini");
    ASSERT_FALSE(fs::exists(SettingsFile()));
    int shutDowns = 0;
    TfrmMain window(Services(shutDowns));
    window.show();
    EXPECT_EQ(window.FormatText(), "MOV - Quick Time Video (*.mov)");
    LoadEngineLibrariesOrFail();
    ASSERT_EQ(window.AddFiles({Source("clip.avi", "first.avi")}), 1);
    window.OnProgressShown = [](TfrmProgress& progress) {
        QTimer::singleShot(180'000, &progress, [&progress] { progress.close(); });
    };
    window.StartClick();
    const fs::path output = temp_.Path() / "home" / "videoconverter" / "first_(new).mov";
    ASSERT_TRUE(fs::exists(output)) << window.LogText().toStdString();
    EXPECT_FALSE(fs::exists(temp_.Path() / "home" / "videoconverter" / "first_(new).mp4"));
    TMediaProbe probe;
    ASSERT_TRUE(probe.LoadFile(output.string()));
    EXPECT_EQ(probe.VideoStreamCount(), 1);
    EXPECT_EQ(probe.AudioStreamCount(), 1);
    EXPECT_EQ(probe.GetVideoStreamInfo(-1).Width, 640) << "MOV's default frame size";
}

// A recording converted from the window keeps what it was: its title, the time it was
// recorded and, when asked, its file date; the engine's own lines and the run's summary are
// in the activity log and its file.
TEST_F(RunEndToEndTest, OutputsKeepTheSourcesTagsAndDateAndTheLogTellsTheRun) {
    const fs::path output = PrepareSettings();
    TIniFile(SettingsFile()).WriteBool("settings", "keepFileDates", true);
    const QString source = Source("tagged.mov", "holiday.mov");
    const timespec recorded[2] = {{0, UTIME_OMIT}, {1'557'000'000, 500'000'000}};
    ASSERT_EQ(::utimensat(AT_FDCWD, source.toStdString().c_str(), recorded, 0), 0);
    int shutDowns = 0;
    TfrmMain window(Services(shutDowns));
    window.show();
    LoadEngineLibrariesOrFail();
    ASSERT_EQ(window.AddFiles({source}), 1);
    window.OnProgressShown = [](TfrmProgress& progress) {
        QTimer::singleShot(180'000, &progress, [&progress] { progress.close(); });
    };
    window.StartClick();
    const std::string converted = (output / "holiday_(new).mov").string();
    ASSERT_TRUE(fs::exists(converted)) << window.LogText().toStdString();

    AVFormatContext* file = nullptr;
    ASSERT_GE(ff::avformat_open_input(&file, converted.c_str(), nullptr, nullptr), 0);
    auto tag = [file](const char* key) {
        const AVDictionaryEntry* entry = ff::av_dict_get(file->metadata, key, nullptr, 0);
        return std::string(entry ? entry->value : "");
    };
    EXPECT_EQ(tag("title"), "Holiday at the Lake");
    EXPECT_EQ(tag("creation_time"), "2019-05-04T10:20:30.000000Z");
    ff::avformat_close_input(&file);
    struct stat facts {};
    ASSERT_EQ(::stat(converted.c_str(), &facts), 0);
    EXPECT_EQ(facts.st_mtim.tv_sec, recorded[1].tv_sec);
    EXPECT_EQ(facts.st_mtim.tv_nsec, recorded[1].tv_nsec);

    // The engine's lines from its worker thread, then the summary.
    const QString log = window.LogText();
    EXPECT_TRUE(log.contains("Stream mapping:")) << log.toStdString();
    EXPECT_TRUE(log.contains(
        QRegularExpression("Run finished in \\d+:\\d\\d:\\d\\d: 1 file converted, 0 failed\\.")))
        << log.toStdString();
    std::vector<uint8_t> written;
    ReadBinaryFile((temp_.Path() / "state" / "tovik" / "tovik.log").string(), written);
    EXPECT_NE(std::string(written.begin(), written.end()).find("  Stream mapping:"),
              std::string::npos);
}

TEST_F(RunEndToEndTest, TwoAtATimeThreeFilesConvertAndTheWindowListsBothRunning) {
    const fs::path output = PrepareSettings();
    TIniFile(SettingsFile()).WriteInteger("settings", "simultaneous", 2);
    int shutDowns = 0;
    TfrmMain window(Services(shutDowns));
    window.show();
    LoadEngineLibrariesOrFail();
    ASSERT_EQ(window.AddFiles({Source("long.avi", "one.avi"), Source("long.avi", "two.avi"),
                               Source("clip.avi", "three.avi")}),
              3);
    // What the window lists, sampled at every move of the whole run's bar.
    size_t mostLines = 0;
    std::set<QString> listed;
    window.OnProgressShown = [&](TfrmProgress& progress) {
        QObject::connect(progress.Bar(), &QProgressBar::valueChanged, &progress, [&] {
            const auto lines = progress.RunningFileTexts();
            mostLines = std::max(mostLines, lines.size());
            for (const auto& line : lines)
                listed.insert(line.first);
        });
        QTimer::singleShot(180'000, &progress, [&progress] { progress.close(); });
    };
    window.StartClick();

    EXPECT_TRUE(window.ProgressWindow()->ShowsSeveralFiles());
    EXPECT_GE(mostLines, 2u);
    EXPECT_EQ(listed, (std::set<QString>{"one.avi", "two.avi", "three.avi"}));
    for (const char* name : {"one_(new).mov", "two_(new).mov", "three_(new).mov"}) {
        const std::string file = (output / name).string();
        ASSERT_TRUE(fs::exists(file)) << name << window.LogText().toStdString();
        TMediaProbe probe;
        ASSERT_TRUE(probe.LoadFile(file)) << name;
        EXPECT_GT(probe.GetFileStreamInfo().Duration, 1'500'000) << name;
    }
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(window.FileList()->Row(row)->text(4), "100%") << row;
    const QString log = window.LogText();
    EXPECT_EQ(log.count("Run finished in"), 1) << log.toStdString();
    EXPECT_TRUE(log.contains("3 files converted, 0 failed")) << log.toStdString();
    EXPECT_EQ(desktop_.OpenedUrls.size(), 1u);
}

// A file that makes its conversion abort (as a library does on some damaged files) fails
// alone: the window stays, the files after it convert, and the row says why it failed.
TEST_F(RunEndToEndTest, AFileThatAbortsItsConversionFailsAloneAndTheBatchGoesOn) {
    const fs::path output = PrepareSettings();
    const std::string wrapper = test::FailingWorker(TOVIK_WORKER_PROGRAM, "aborting", "ABRT");
    ::setenv("TOVIK_WORKER_PROGRAM", wrapper.c_str(), 1);
    int shutDowns = 0;
    TfrmMain window(Services(shutDowns));
    ::unsetenv("TOVIK_WORKER_PROGRAM");
    window.show();
    LoadEngineLibrariesOrFail();
    ASSERT_EQ(window.AddFiles({Source("clip.avi", "good1.avi"), Source("clip.avi", "aborting.avi"),
                               Source("clip.avi", "good2.avi")}),
              3);
    window.OnProgressShown = [](TfrmProgress& progress) {
        QTimer::singleShot(180'000, &progress, [&progress] { progress.close(); });
    };
    window.StartClick();
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(fs::exists(output / "good1_(new).mov")) << window.LogText().toStdString();
    EXPECT_TRUE(fs::exists(output / "good2_(new).mov")) << window.LogText().toStdString();
    EXPECT_FALSE(fs::exists(output / "aborting_(new).mov"));
    EXPECT_EQ(window.FileList()->Row(0)->text(4), "100%");
    EXPECT_EQ(window.FileList()->Row(2)->text(4), "100%");
    EXPECT_NE(window.FileList()->Row(1)->text(4), "100%");
    EXPECT_TRUE(window.LogText().contains("The conversion stopped unexpectedly (SIGABRT)"))
        << window.LogText().toStdString();
    EXPECT_TRUE(window.LogText().contains(QRegularExpression("2 files converted, 1 failed\\.")))
        << window.LogText().toStdString();
}

TEST_F(RunEndToEndTest, CancelStopsTheRunAndTheNextStartRunsAgain) {
    const fs::path output = PrepareSettings();
    int shutDowns = 0;
    TfrmMain window(Services(shutDowns));
    window.show();
    LoadEngineLibrariesOrFail();
    ASSERT_EQ(window.AddFiles({Source("long.avi", "one.avi"), Source("long.avi", "two.avi"),
                               Source("long.avi", "three.avi")}),
              3);
    // Cancel as soon as the first progress shows; the last task cannot have ended by then.
    window.OnProgressShown = [](TfrmProgress& progress) {
        progress.ShutDownBox()->setChecked(true);
        // Once only: the window and its bar serve the next run too.
        auto connection = std::make_shared<QMetaObject::Connection>();
        *connection = QObject::connect(progress.Bar(), &QProgressBar::valueChanged, &progress,
                                       [&progress, connection](int value) {
                                           if (value <= 0)
                                               return;
                                           QObject::disconnect(*connection);
                                           QMetaObject::invokeMethod(
                                               progress.CancelButton(),
                                               [&progress] { progress.CancelButton()->click(); },
                                               Qt::QueuedConnection);
                                       });
        QTimer::singleShot(180'000, &progress, [&progress] { progress.close(); });
    };
    window.StartClick();
    EXPECT_FALSE(window.ProgressWindow()->isVisible());
    EXPECT_NE(window.FileList()->Row(2)->text(4), "100%");
    EXPECT_TRUE(desktop_.OpenedUrls.empty());
    EXPECT_EQ(shutDowns, 0);

    // The end-of-run report has cleared the tasks: a new start runs every row to its end.
    // (it may come after the window has closed).
    auto* start = window.findChild<QToolButton*>(QStringLiteral("btnStart"));
    for (int waited = 0; waited < 10'000 && !start->isEnabled(); waited += 5) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_TRUE(start->isEnabled());
    window.ProgressWindow()->ShutDownBox()->setChecked(false);
    window.OnProgressShown = [](TfrmProgress& progress) {
        progress.ShutDownBox()->setChecked(false);
        QTimer::singleShot(180'000, &progress, [&progress] { progress.close(); });
    };
    window.StartClick();
    EXPECT_TRUE(desktop_.Messages.empty());
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(window.FileList()->Row(row)->text(4), "100%") << row;
    EXPECT_EQ(desktop_.OpenedUrls.size(), 1u);
    EXPECT_EQ(shutDowns, 0);
    EXPECT_TRUE(fs::exists(output / "three_(new_1).mov") || fs::exists(output / "three_(new).mov"));
}

} // namespace
} // namespace tovik::test
