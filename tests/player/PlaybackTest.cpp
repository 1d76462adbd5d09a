// Playing real files with SDL's disk sound driver and the headless screen: picture and
// sound stay together, seeks show the picture of the time asked for, pause stops both, and
// the end is reported once.

#include "PlayerTestSupport.h"

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <thread>

namespace tovik::test {
namespace {

using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;

// Watches the disk driver's file grow: when each byte was handed to the "device".
class TSoundFileWatcher {
public:
    explicit TSoundFileWatcher(std::string file) : file_(std::move(file)) {
        thread_ = std::thread([this] {
            int64_t last = 0;
            while (!stop_.load()) {
                std::error_code error;
                const auto size = static_cast<int64_t>(std::filesystem::file_size(file_, error));
                if (!error && size != last) {
                    std::lock_guard lock(mutex_);
                    growth_.push_back({TClock::now(), last, size});
                    last = size;
                }
                std::this_thread::sleep_for(500us);
            }
        });
    }
    ~TSoundFileWatcher() { Stop(); }
    void Stop() {
        stop_.store(true);
        if (thread_.joinable())
            thread_.join();
    }
    // When the byte at offset started to be heard. The file's own buffering may write a few
    // device blocks at once: the last of them is the one handed to the device just then, the
    // others one block time earlier each.
    bool TimeOfByte(int64_t offset, int blockBytes, double bytesPerSecond,
                    TClock::time_point& time) const {
        std::lock_guard lock(mutex_);
        for (const TGrowth& growth : growth_) {
            if (offset >= growth.From && offset < growth.To) {
                const double seconds =
                    static_cast<double>(offset - (growth.To - blockBytes)) / bytesPerSecond;
                time = growth.Time + std::chrono::duration_cast<TClock::duration>(
                                         std::chrono::duration<double>(seconds));
                return true;
            }
        }
        return false;
    }
    int64_t Size() const {
        std::lock_guard lock(mutex_);
        return growth_.empty() ? 0 : growth_.back().To;
    }

private:
    struct TGrowth {
        TClock::time_point Time;
        int64_t From;
        int64_t To;
    };
    std::string file_;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_; // guards growth_
    std::vector<TGrowth> growth_;
    std::thread thread_;
};

std::vector<int16_t> ReadSamples(const std::string& file) {
    std::vector<uint8_t> bytes;
    ReadBinaryFile(file, bytes);
    std::vector<int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

// Sample frames (stereo) where a beep starts after at least half a second of silence.
std::vector<int64_t> BeepOnsets(const std::vector<int16_t>& samples, int rate) {
    std::vector<int64_t> onsets;
    int64_t quietSince = 0;
    for (int64_t frame = 0; frame * 2 + 1 < static_cast<int64_t>(samples.size()); ++frame) {
        const int level = std::max(std::abs(samples[frame * 2]), std::abs(samples[frame * 2 + 1]));
        if (level > 2000) {
            if (frame - quietSince > rate / 2)
                onsets.push_back(frame);
            quietSince = frame;
        }
    }
    return onsets;
}

using PlaybackTest = PlayerTest;

TEST_F(PlaybackTest, FlashesAndBeepsLineUpWithin40Milliseconds) {
    const std::string soundFile = temp_.File("sound.raw");
    TSoundDriverScope driver(soundFile);
    TSoundFileWatcher watcher(soundFile);
    THeadlessScreen screen(160, 120);
    TMediaPlayer player;
    screen.SetRecording(true);
    TStateRecorder states;
    states.Attach(player);
    ASSERT_TRUE(player.Open(MediaFile("player_sync.mkv"), &screen, false)) << player.LastErrMsg();
    ASSERT_TRUE(PumpUntil([&] { return states.Has(TPlayState::psEnd); }));
    PumpFor(300ms);
    player.Stop(true);
    watcher.Stop();

    std::vector<TClock::time_point> flashes;
    bool white = false;
    for (const THeadlessShow& show : screen.Shows()) {
        if (show.Brightness > 128 && !white)
            flashes.push_back(show.Time);
        white = show.Brightness > 128;
    }
    const int rate = 44100;
    const std::vector<int64_t> onsets = BeepOnsets(ReadSamples(soundFile), rate);
    // The beeps at 1, 2, 3 and 4 s (the one at 0 starts the file) each with the flash
    // nearest to it; the flash at 0 may be passed over while playback starts. A flash
    // lasts two pictures, so one picture dropped on a busy machine still leaves it seen
    // (a picture late).
    ASSERT_EQ(onsets.size(), 4u);
    ASSERT_GE(flashes.size(), 4u);
    for (size_t i = 0; i < onsets.size(); ++i) {
        TClock::time_point heard;
        ASSERT_TRUE(watcher.TimeOfByte(onsets[i] * 4, 1024 * 4, rate * 4.0, heard));
        double offset = 1e9;
        for (const TClock::time_point flash : flashes) {
            const double candidate = std::chrono::duration<double>(flash - heard).count();
            if (std::fabs(candidate) < std::fabs(offset))
                offset = candidate;
        }
        EXPECT_LE(std::fabs(offset), 0.040)
            << "beep " << i + 1 << ": the nearest flash is " << offset * 1000 << " ms away";
        std::printf("beep %zu: flash %+.1f ms from it\n", i + 1, offset * 1000);
    }
    EXPECT_EQ(states.Count(TPlayState::psEnd), 1);
    EXPECT_EQ(states.States().back(), TPlayState::psStop);
}

// The number of a picture of player_ramp.mkv from its brightness.
double RampFrameNumber(const TBitmap& bitmap) {
    return MeanBrightness(bitmap) * 219.0 / 255.0 / 1.6;
}

TEST_F(PlaybackTest, ASeekShowsThePictureOfTheTimeAskedFor) {
    THeadlessScreen screen(160, 120);
    TMediaPlayer player;
    screen.SetRecording(true);
    ASSERT_TRUE(player.Open(MediaFile("player_ramp.mkv"), &screen, false)) << player.LastErrMsg();
    ASSERT_TRUE(PumpUntil([&] { return screen.ShowCount() > 5; }));
    // 2.5 s lies between the key frames at 2 and 3 s.
    player.Seek(2500000, 0, true);
    const size_t before = screen.Shows().size();
    ASSERT_TRUE(PumpUntil([&] { return screen.Shows().size() > before + 3; }));
    const auto shows = screen.Shows();
    const TScreenPicture last = screen.LastPicture();
    // The first picture after the seek, by its own content and by its time.
    EXPECT_NEAR(shows[before].Brightness * 219.0 / 255.0 / 1.6, 62.5, 2.0);
    EXPECT_NEAR(static_cast<double>(shows[before].PTS), 2500000.0, 80000.0);
    // Playback goes on from there.
    EXPECT_GT(RampFrameNumber(*last.Picture), 62.0);
    EXPECT_NEAR(static_cast<double>(player.Position()), static_cast<double>(last.PTS), 100000.0);

    // While paused, a seek shows its picture and playback stays paused.
    player.Pause();
    player.Seek(1000000, 0, true);
    ASSERT_TRUE(PumpUntil([&] { return std::llabs(screen.LastPicture().PTS - 1000000) < 80000; }));
    const int count = screen.ShowCount();
    EXPECT_NEAR(RampFrameNumber(*screen.LastPicture().Picture), 25.0, 2.0);
    PumpFor(300ms);
    EXPECT_EQ(screen.ShowCount(), count);
    EXPECT_TRUE(player.Paused());

    // Back to the start: the first picture comes with its own time 0, not the clock of the
    // picture shown before the seek.
    player.Seek(0, 0, true);
    ASSERT_TRUE(PumpUntil([&] { return screen.ShowCount() > count; }));
    PumpFor(100ms);
    EXPECT_NEAR(RampFrameNumber(*screen.LastPicture().Picture), 0.0, 1.0);
    EXPECT_EQ(screen.LastPicture().PTS, 0);
    player.Stop(true);
}

TEST_F(PlaybackTest, AfterTheEndASeekWhilePausedShowsTheFirstPictureAgain) {
    THeadlessScreen screen(160, 120);
    TMediaPlayer player;
    TStateRecorder states;
    states.Attach(player);
    ASSERT_TRUE(player.Open(MediaFile("player_ramp.mkv"), &screen, false)) << player.LastErrMsg();
    ASSERT_TRUE(PumpUntil([&] { return states.Has(TPlayState::psEnd); }));
    ASSERT_GT(screen.LastPicture().PTS, 4800000);
    // What the preview does at the end: pause, then go back to the start.
    player.Pause();
    player.Seek(0, 4, false); // any picture, not only key frames
    ASSERT_TRUE(PumpUntil([&] { return screen.LastPicture().PTS < 100000; }))
        << "last picture at " << screen.LastPicture().PTS;
    EXPECT_NEAR(RampFrameNumber(*screen.LastPicture().Picture), 0.0, 2.0);
    EXPECT_TRUE(player.Paused());
    // Resume plays from there to the end again.
    player.Resume();
    ASSERT_TRUE(PumpUntil([&] { return screen.LastPicture().PTS > 1000000; }));
    player.Stop(true);
}

TEST_F(PlaybackTest, PauseStopsPicturesAndSoundAndResumeGoesOn) {
    const std::string soundFile = temp_.File("sound.raw");
    TSoundDriverScope driver(soundFile);
    TSoundFileWatcher watcher(soundFile);
    THeadlessScreen screen(160, 120);
    TMediaPlayer player;
    TStateRecorder states;
    states.Attach(player);
    ASSERT_TRUE(player.Open(MediaFile("player_sync.mkv"), &screen, false)) << player.LastErrMsg();
    ASSERT_TRUE(PumpUntil([&] { return player.Position() > 1100000; }));
    player.Pause();
    EXPECT_TRUE(player.Paused());
    // What the device had been given before the pause is still heard.
    PumpFor(200ms);
    const int shown = screen.ShowCount();
    const int64_t position = player.Position();
    const int64_t soundBefore = watcher.Size();
    PumpFor(700ms);
    EXPECT_EQ(screen.ShowCount(), shown);
    EXPECT_EQ(player.Position(), position);
    const int64_t soundAfter = watcher.Size();
    // The device keeps running, on silence.
    EXPECT_GT(soundAfter, soundBefore + 44100 * 4 / 4);
    const std::vector<int16_t> samples = ReadSamples(soundFile);
    ASSERT_GE(static_cast<int64_t>(samples.size()) * 2, soundAfter);
    for (int64_t i = soundBefore / 2; i < soundAfter / 2; ++i)
        ASSERT_EQ(samples[static_cast<size_t>(i)], 0) << "sound at byte " << i * 2;
    player.Resume();
    ASSERT_TRUE(PumpUntil([&] { return screen.ShowCount() > shown + 10; }));
    EXPECT_GT(player.Position(), position);
    ASSERT_TRUE(PumpUntil([&] { return states.Has(TPlayState::psEnd); }));
    const auto seen = states.States();
    EXPECT_EQ(seen, (std::vector<TPlayState>{TPlayState::psPlay, TPlayState::psPause,
                                             TPlayState::psResume, TPlayState::psEnd}));
    player.Stop(true);
}

TEST_F(PlaybackTest, FiveOneSoundIsMixedDownToTheDevice) {
    const std::string soundFile = temp_.File("sound.raw");
    TSoundDriverScope driver(soundFile);
    TMediaPlayer player;
    player.SetDisableDisplay(true);
    TStateRecorder states;
    states.Attach(player);
    ASSERT_TRUE(player.Open(MediaFile("player_51.mka"), nullptr, false)) << player.LastErrMsg();
    ASSERT_TRUE(PumpUntil([&] { return states.Has(TPlayState::psEnd); }));
    player.Stop(true);
    EXPECT_FALSE(log_.Contains("Cannot convert"));
    const std::vector<int16_t> samples = ReadSamples(soundFile);
    // One second of 48 kHz stereo, at least, and it is not silence.
    ASSERT_GE(samples.size(), 2u * 44000u);
    int loud = 0;
    for (int16_t sample : samples)
        loud += std::abs(sample) > 1000;
    EXPECT_GT(loud, 10000);
}

TEST_F(PlaybackTest, MutedSoundIsSilentAndThePicturesStillPlayToTheEnd) {
    const std::string soundFile = temp_.File("sound.raw");
    TSoundDriverScope driver(soundFile);
    TMediaPlayer player;
    player.SetMute(true);
    THeadlessScreen screen(160, 120);
    TStateRecorder states;
    states.Attach(player);
    ASSERT_TRUE(player.Open(MediaFile("clip.avi"), &screen, false)) << player.LastErrMsg();
    ASSERT_TRUE(PumpUntil([&] { return states.Has(TPlayState::psEnd); }));
    player.Stop(true);
    // The sound's clock ran on under the silence: the pictures went on to the last one.
    EXPECT_GT(screen.ShowCount(), 10);
    EXPECT_GT(screen.LastPicture().PTS, 1900000);
    for (int16_t sample : ReadSamples(soundFile))
        ASSERT_EQ(sample, 0);
}

} // namespace
} // namespace tovik::test
