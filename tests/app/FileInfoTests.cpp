// The file information dialog: its texts, and the values of real clips (video with sound,
// sound only, a turned picture, a container without a frame count) read through its own
// engine component; the list's "Video Infomation" item.
#include "AppTestSupport.h"

#include "app/MainWindow.h"
#include "app/fileinfo/FileInfoDialog.h"
#include "app/fileinfo/FileInfoValues.h"
#include "workspace/ui/FileList.h"

#include <QLabel>
#include <QMenu>
#include <QTimer>
#include <memory>

namespace tovik::test {
namespace {

TEST(FileInfoTextTest, DurationShortNameAudioFormatAndRate) {
    EXPECT_EQ(FileInfoDurationText(83'456'789), "83.456 Second");
    EXPECT_EQ(FileInfoDurationText(5'000), "0.005 Second");
    EXPECT_EQ(FileInfoDurationText(0), "0.000 Second");
    EXPECT_EQ(FileInfoDurationText(-1), "N/A");

    EXPECT_EQ(AudioFormatOf("Stream #1, 1/1000: Audio: mp3, 44100 Hz, stereo"), "mp3");
    EXPECT_EQ(AudioFormatOf("a\r\nStream #0: Audio: pcm_s16le ([1][0][0][0] / 0x0001), 8000 Hz"),
              "pcm_s16le ([1][0][0][0] / 0x0001)");
    EXPECT_EQ(AudioFormatOf("Stream #0: Audio: flac\r\nStream #1: Video: h264"), "flac");
    EXPECT_EQ(AudioFormatOf("Stream #0: Video: h264, yuv420p"), "");

    EXPECT_EQ(FrameRateText(25, 1), "25");
    EXPECT_EQ(FrameRateText(30000, 1001), "29.97");
    EXPECT_EQ(FrameRateText(24000, 1001), "23.976");
    EXPECT_EQ(FrameRateText(0, 1), "");
    EXPECT_EQ(FrameRateText(25, 0), "");

    bool shortened = true;
    const std::string shortPath = "/media/clips/holiday.avi";
    EXPECT_EQ(ShortenedFileName(shortPath, shortened), shortPath);
    EXPECT_FALSE(shortened);
    const std::string longPath = "/media/clips/2024/summer/the-long-holiday-at-the-sea.mkv";
    EXPECT_EQ(ShortenedFileName(longPath, shortened), longPath.substr(0, 40) + "...mkv  ");
    EXPECT_TRUE(shortened);
    const std::string exactly45(45, 'a');
    EXPECT_EQ(ShortenedFileName(exactly45, shortened), exactly45);
    // Characters, not bytes: 45 two-byte letters stay whole; the cut never splits one.
    std::string umlauts;
    for (int i = 0; i < 45; ++i)
        umlauts += "\xC3\xA4";
    EXPECT_EQ(ShortenedFileName(umlauts, shortened), umlauts);
    const std::string longUmlauts = umlauts + "\xC3\xA4.ts";
    EXPECT_EQ(ShortenedFileName(longUmlauts, shortened), umlauts.substr(0, 80) + "...ts  ");
    // A point in a folder name is no extension.
    EXPECT_EQ(ShortenedFileName("/media/my.clips/" + std::string(40, 'b'), shortened),
              "/media/my.clips/" + std::string(24, 'b') + "..  ");
}

class FileInfoTest : public TAppTest {
protected:
    void SetUp() override {
        TAppTest::SetUp();
        LoadEngineLibrariesOrFail();
    }
    std::unique_ptr<TfrmFileInfo> Show(const std::string& file) {
        auto dialog = std::make_unique<TfrmFileInfo>(
            nullptr, [this](const QString& text) { errors_.push_back(text); });
        dialog->Prepare(file);
        dialog->show();
        return dialog;
    }
    std::string Value(const TfrmFileInfo& dialog, TFileInfoField field) {
        return dialog.Value(field).toStdString();
    }
    std::vector<QString> errors_;
};

TEST_F(FileInfoTest, AVideoWithSoundShowsBothStreams) {
    const std::string file = MediaFile("fileinfo_clip.mp4");
    auto dialog = Show(file);
    EXPECT_EQ(dialog->windowTitle(), "File infomation");
    EXPECT_EQ(dialog->size(), QSize(420, 460));
    EXPECT_TRUE(errors_.empty());
    bool shortened = false;
    EXPECT_EQ(Value(*dialog, TFileInfoField::fiFileName), ShortenedFileName(file, shortened));
    EXPECT_EQ(dialog->ValueLabel(TFileInfoField::fiFileName)->toolTip().toStdString(), file);
    // About two seconds: the audio encoder's padding may add a few milliseconds.
    const std::string duration = Value(*dialog, TFileInfoField::fiDuration);
    EXPECT_TRUE(duration.rfind("2.0", 0) == 0) << duration;
    EXPECT_NE(duration.find(" Second"), std::string::npos);
    EXPECT_EQ(Value(*dialog, TFileInfoField::fiVideoFormat), "mov,mp4,m4a,3gp,3g2,mj2");
    EXPECT_EQ(Value(*dialog, TFileInfoField::fiResolution), "320x240");
    EXPECT_GT(std::stoi(Value(*dialog, TFileInfoField::fiVideoBitRate)), 0);
    EXPECT_EQ(Value(*dialog, TFileInfoField::fiFrameRate), "29.97");
    EXPECT_EQ(Value(*dialog, TFileInfoField::fiTotalFrames), "60");
    EXPECT_EQ(Value(*dialog, TFileInfoField::fiAudioFormat), "aac (LC) (mp4a / 0x6134706D)");
    EXPECT_EQ(Value(*dialog, TFileInfoField::fiSampleRate), "48000");
    EXPECT_EQ(Value(*dialog, TFileInfoField::fiChannels), "2");
    EXPECT_GT(std::stoi(Value(*dialog, TFileInfoField::fiAudioBitRate)), 0);
    // Only reading: one task while shown, none once closed.
    EXPECT_EQ(dialog->TaskCount(), 1);
    dialog->accept();
    EXPECT_EQ(dialog->TaskCount(), 0);
}

TEST_F(FileInfoTest, ASoundFileShowsItsSoundFacts) {
    auto dialog = Show(MediaFile("fileinfo_tone.mp3"));
    EXPECT_TRUE(errors_.empty());
    EXPECT_EQ(Value(*dialog, TFileInfoField::fiVideoFormat), "mp3");
    EXPECT_EQ(Value(*dialog, TFileInfoField::fiAudioFormat), "mp3");
    EXPECT_EQ(Value(*dialog, TFileInfoField::fiSampleRate), "44100");
    EXPECT_EQ(Value(*dialog, TFileInfoField::fiChannels), "2");
    EXPECT_EQ(Value(*dialog, TFileInfoField::fiAudioBitRate), "128000");
    for (TFileInfoField field : {TFileInfoField::fiResolution, TFileInfoField::fiVideoBitRate,
                                 TFileInfoField::fiFrameRate, TFileInfoField::fiTotalFrames})
        EXPECT_EQ(Value(*dialog, field), "") << static_cast<int>(field);
    EXPECT_TRUE(Value(*dialog, TFileInfoField::fiDuration).rfind("2.0", 0) == 0);
}

TEST_F(FileInfoTest, ATurnedPictureShowsItsUprightSizeAndACountIsEstimatedWhenMissing) {
    auto turned = Show(MediaFile("rotated90.mp4"));
    EXPECT_EQ(Value(*turned, TFileInfoField::fiResolution), "120x160");
    EXPECT_EQ(Value(*turned, TFileInfoField::fiFrameRate), "25");
    EXPECT_EQ(Value(*turned, TFileInfoField::fiTotalFrames), "25");

    // Matroska keeps no count: two seconds at 25 fps; no sound stream, no sound values.
    auto estimated = Show(MediaFile("fileinfo_nocount.mkv"));
    EXPECT_EQ(Value(*estimated, TFileInfoField::fiTotalFrames), "50");
    EXPECT_EQ(Value(*estimated, TFileInfoField::fiVideoBitRate), "N/A") << "no rate stored";
    EXPECT_EQ(Value(*estimated, TFileInfoField::fiAudioFormat), "");
    EXPECT_EQ(Value(*estimated, TFileInfoField::fiSampleRate), "");
}

TEST_F(FileInfoTest, AFileThatCannotBeReadSaysSoAndEmptiesTheValues) {
    auto dialog = Show(MediaFile("fileinfo_clip.mp4"));
    const std::string broken = temp_.File("broken.avi");
    WriteTextFile(broken, "not a video at all");
    dialog->Prepare(broken);
    ASSERT_EQ(errors_.size(), 1u);
    EXPECT_TRUE(errors_[0].startsWith(QString::fromStdString("Cannot read " + broken + ": ")))
        << errors_[0].toStdString();
    bool shortened = false;
    EXPECT_EQ(Value(*dialog, TFileInfoField::fiFileName), ShortenedFileName(broken, shortened));
    for (TFileInfoField field :
         {TFileInfoField::fiDuration, TFileInfoField::fiResolution, TFileInfoField::fiSampleRate})
        EXPECT_EQ(Value(*dialog, field), "");
}

TEST_F(FileInfoTest, TheListMenuItemShowsTheSelectedRow) {
    TMainWindowServices services = WindowServices();
    services.LoadEngineLibraries = [] { return true; };
    services.ProbeSource = [](const std::string&, int64_t& duration) {
        duration = 2'000'000;
        return true;
    };
    TfrmMain window(std::move(services));
    window.show();
    QAction* item = nullptr;
    for (QAction* action : window.ListMenu()->actions())
        if (action->text() == "Video Infomation")
            item = action;
    ASSERT_NE(item, nullptr);
    window.ListMenuPopup();
    EXPECT_FALSE(item->isEnabled()) << "no rows";
    ASSERT_EQ(window.AddFiles({QString::fromStdString(MediaFile("fileinfo_tone.mp3")),
                               QString::fromStdString(MediaFile("fileinfo_clip.mp4"))}),
              2);
    window.FileList()->SelectRow(1);
    window.ListMenuPopup();
    EXPECT_TRUE(item->isEnabled());
    std::vector<std::string> shown;
    TfrmFileInfo* first = nullptr;
    for (int row : {1, 0}) {
        window.FileList()->SelectRow(row);
        QTimer::singleShot(0, &window, [&] {
            TfrmFileInfo* dialog = window.FileInfoDialog();
            ASSERT_TRUE(dialog && dialog->isVisible());
            EXPECT_TRUE(first == nullptr || first == dialog) << "one dialog, shown again";
            EXPECT_TRUE(window.Themes().IsFollowing(dialog));
            first = dialog;
            shown.push_back(dialog->Value(TFileInfoField::fiAudioFormat).toStdString());
            dialog->close();
        });
        item->trigger();
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"aac (LC) (mp4a / 0x6134706D)", "mp3"}));
    EXPECT_EQ(window.FileInfoDialog()->TaskCount(), 0);
}

} // namespace
} // namespace tovik::test
