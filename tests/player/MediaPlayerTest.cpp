// The player component: opening, its events and the threads they come on, stopping, the
// hook and the current picture, with real files and the headless screen.

#include "PlayerTestSupport.h"

#include "media/FFmpegLoader.h"
#include "media/LibrarySets.h"
#include "media/SdlBindings.h"
#include "platform/Dispatcher.h"

#include <atomic>
#include <set>
#include <stdexcept>
#include <thread>

namespace tovik::test {
namespace {

using namespace std::chrono_literals;

using MediaPlayerTest = PlayerTest;

TEST_F(MediaPlayerTest, OpenWithoutTheLibrariesFailsWithoutTouchingSdl) {
    FFmpegLoader().UnloadLibs(kPlayerLibrarySet);
    {
        THeadlessScreen screen(320, 240);
        TMediaPlayer player;
        EXPECT_FALSE(player.AVLibLoaded());
        EXPECT_FALSE(player.Open(MediaFile("clip.avi"), &screen, false));
        EXPECT_EQ(player.LastErrMsg(), "libav or libsdl not loaded.");
        EXPECT_TRUE(log_.Contains("libav or libsdl not loaded."));
        EXPECT_FALSE(player.Playing());
    }
    std::string error;
    ASSERT_TRUE(LoadPlayerLibraries("", error)) << error;
    EXPECT_EQ(sdl::SDL_WasInit(SDL_INIT_AUDIO), 0u);
}

TEST_F(MediaPlayerTest, OpenFailuresSayWhy) {
    THeadlessScreen screen(320, 240);
    TMediaPlayer player;
    const std::string missing = temp_.File("missing.avi");
    EXPECT_FALSE(player.Open(missing, &screen, false));
    EXPECT_EQ(player.LastErrMsg().rfind(missing + ": ", 0), 0u) << player.LastErrMsg();
    EXPECT_FALSE(player.Open(MediaFile("probe_text.avi"), &screen, false));
    EXPECT_FALSE(player.LastErrMsg().empty());
    // No screen and the display not disabled: nowhere to show pictures.
    EXPECT_FALSE(player.Open(MediaFile("clip.avi"), nullptr, false));
    EXPECT_EQ(player.LastErrMsg(), "SDL_GetVideoInfo() failed");
    EXPECT_FALSE(player.Playing());
    // A failed open leaves SDL as it found it.
    EXPECT_EQ(sdl::SDL_WasInit(SDL_INIT_AUDIO), 0u);
}

TEST_F(MediaPlayerTest, FileOpenReportsDurationFrameSizeAndTakesTheScreenSize) {
    THeadlessScreen screen(320, 240);
    TMediaPlayer player;
    int64_t duration = 0;
    int width = 0;
    int height = 0;
    int calls = 0;
    bool pictureBeforeOpen = true;
    int blackWidth = 0;
    player.OnFileOpen = [&](TObject* sender, int64_t d, int w, int h, int& sw, int& sh) {
        EXPECT_EQ(sender, &player);
        ++calls;
        duration = d;
        width = w;
        height = h;
        EXPECT_EQ(sw, 0);
        EXPECT_EQ(sh, 0);
        // Nothing has been shown yet: the current picture is black, of the frame size.
        const TBitmap& frame = player.CurrentFrame();
        blackWidth = frame.Width();
        pictureBeforeOpen = frame.Height() != 120 || MeanBrightness(frame) != 0;
    };
    ASSERT_TRUE(player.Open(MediaFile("clip.avi"), &screen, false)) << player.LastErrMsg();
    EXPECT_EQ(calls, 1);
    EXPECT_NEAR(static_cast<double>(duration), 2000000.0, 100000.0);
    EXPECT_EQ(width, 160);
    EXPECT_EQ(height, 120);
    EXPECT_EQ(blackWidth, 160);
    EXPECT_FALSE(pictureBeforeOpen);
    // Left at 0 by the handler: the screen's own size.
    EXPECT_EQ(player.ScreenWidth(), 320);
    EXPECT_EQ(player.ScreenHeight(), 240);
    EXPECT_EQ(player.Probe().FileName(), MediaFile("clip.avi"));
    EXPECT_TRUE(PumpUntil([&] { return screen.ShowCount() > 3; }));
    const TScreenPicture shown = screen.LastPicture();
    EXPECT_EQ(shown.Target, (TScreenRect{0, 0, 320, 240}));
    ASSERT_TRUE(shown.Picture);
    EXPECT_EQ(shown.Picture->Width(), 320);
    player.Stop(true);
    EXPECT_FALSE(player.Playing());
    EXPECT_EQ(player.Position(), -1);

    // A handler that sets the size wins over the screen's.
    player.OnFileOpen = [](TObject*, int64_t, int, int, int& sw, int& sh) {
        sw = 200;
        sh = 100;
    };
    player.SetScreenWidth(0);
    player.SetScreenHeight(0);
    ASSERT_TRUE(player.Open(MediaFile("clip.avi"), &screen, false)) << player.LastErrMsg();
    EXPECT_EQ(player.ScreenWidth(), 200);
    EXPECT_EQ(player.ScreenHeight(), 100);
    EXPECT_TRUE(PumpUntil([&] { return screen.LastPicture().Target.Height == 100; }));
    EXPECT_EQ(screen.LastPicture().Target, (TScreenRect{34, 0, 132, 100}));
}

TEST_F(MediaPlayerTest, AnAudioOnlyFileHasNoFrameSizeAndShowsAWaveform) {
    THeadlessScreen screen(200, 100);
    TMediaPlayer player;
    screen.SetRecording(true);
    int width = 0;
    int height = 0;
    player.OnFileOpen = [&](TObject*, int64_t, int w, int h, int&, int&) {
        width = w;
        height = h;
    };
    TStateRecorder states;
    states.Attach(player);
    std::atomic<int64_t> lastPosition{-1};
    player.OnPosition = [&](TObject*, int64_t position) { lastPosition.store(position); };
    ASSERT_TRUE(player.Open(MediaFile("audio_only.wav"), &screen, false)) << player.LastErrMsg();
    EXPECT_EQ(width, -1);
    EXPECT_EQ(height, -1);
    EXPECT_EQ(player.CurrentFrame().Width(), 0);
    EXPECT_EQ(player.CurrentFrame().Height(), 0);
    ASSERT_TRUE(PumpUntil([&] { return states.Has(TPlayState::psEnd); }));
    // The waveform fills the screen: black with white bars of the 440 Hz tone.
    const auto shows = screen.Shows();
    ASSERT_GT(shows.size(), 10u);
    bool someWhite = false;
    for (const THeadlessShow& show : shows) {
        EXPECT_EQ(show.Target, (TScreenRect{0, 0, 200, 100}));
        someWhite = someWhite || (show.Brightness > 5 && show.Brightness < 250);
    }
    EXPECT_TRUE(someWhite);
    // The position follows the sound to the end of the file.
    EXPECT_GT(lastPosition.load(), 900000);
    PumpFor(200ms);
    EXPECT_EQ(states.Count(TPlayState::psEnd), 1);
    player.Stop(true);
    const auto seen = states.States();
    ASSERT_GE(seen.size(), 3u);
    EXPECT_EQ(seen.front(), TPlayState::psPlay);
    EXPECT_EQ(seen.back(), TPlayState::psStop);
}

TEST_F(MediaPlayerTest, EventsComeOnTheEventThreadOrTheMainThreadAsAsked) {
    for (const bool mainThread : {false, true}) {
        THeadlessScreen screen(160, 120);
        TMediaPlayer player;
        player.SetTriggerEventInMainThread(mainThread);
        std::mutex mutex;
        std::set<std::thread::id> threads;
        std::atomic<int> positions{0};
        std::atomic<bool> stopped{false};
        player.OnPosition = [&](TObject*, int64_t) {
            std::lock_guard lock(mutex);
            threads.insert(std::this_thread::get_id());
            ++positions;
        };
        player.OnState = [&](TObject*, TPlayState state) {
            std::lock_guard lock(mutex);
            threads.insert(std::this_thread::get_id());
            if (state == TPlayState::psStop)
                stopped.store(true);
        };
        ASSERT_TRUE(player.Open(MediaFile("clip.avi"), &screen, false)) << player.LastErrMsg();
        ASSERT_TRUE(PumpUntil([&] { return positions.load() > 3; }));
        player.Stop(true);
        EXPECT_TRUE(stopped.load());
        std::lock_guard lock(mutex);
        if (mainThread) {
            EXPECT_EQ(threads, std::set<std::thread::id>{std::this_thread::get_id()});
        } else {
            EXPECT_EQ(threads.size(), 1u);
            EXPECT_EQ(threads.count(std::this_thread::get_id()), 0u);
        }
    }
}

TEST_F(MediaPlayerTest, StopWithoutWaitingReturnsAndPsStopComesLater) {
    THeadlessScreen screen(160, 120);
    TMediaPlayer player;
    TStateRecorder states;
    states.Attach(player);
    ASSERT_TRUE(player.Open(MediaFile("clip.avi"), &screen, false)) << player.LastErrMsg();
    ASSERT_TRUE(PumpUntil([&] { return screen.ShowCount() > 0; }));
    player.Stop(false);
    ASSERT_TRUE(PumpUntil([&] { return states.Has(TPlayState::psStop); }));
    EXPECT_FALSE(player.Playing());
    EXPECT_EQ(states.States().back(), TPlayState::psStop);
    EXPECT_EQ(states.Count(TPlayState::psStop), 1);
}

TEST_F(MediaPlayerTest, StopFromInsideAnEventHandlerEndsPlayback) {
    THeadlessScreen screen(160, 120);
    TMediaPlayer player;
    player.SetTriggerEventInMainThread(false);
    std::atomic<bool> stopped{false};
    std::atomic<bool> stopCalled{false};
    player.OnPosition = [&](TObject*, int64_t) {
        if (!stopCalled.exchange(true))
            player.Stop(true);
    };
    player.OnState = [&](TObject*, TPlayState state) {
        if (state == TPlayState::psStop)
            stopped.store(true);
    };
    ASSERT_TRUE(player.Open(MediaFile("clip.avi"), &screen, false)) << player.LastErrMsg();
    ASSERT_TRUE(PumpUntil([&] { return stopped.load(); }));
    EXPECT_FALSE(player.Playing());
    // The player opens again after a stop from its own handler.
    stopCalled.store(true);
    stopped.store(false);
    ASSERT_TRUE(player.Open(MediaFile("clip.avi"), &screen, false)) << player.LastErrMsg();
    player.Stop(true);
    EXPECT_TRUE(stopped.load());
}

TEST_F(MediaPlayerTest, SeekPastTheDurationGoesToTheEnd) {
    THeadlessScreen screen(160, 120);
    TMediaPlayer player;
    TStateRecorder states;
    states.Attach(player);
    ASSERT_TRUE(player.Open(MediaFile("player_ramp.mkv"), &screen, true)) << player.LastErrMsg();
    ASSERT_TRUE(PumpUntil([&] { return states.Has(TPlayState::psPause); }));
    player.Seek(60000000, 0, true);
    // The last picture (number 124) is shown and the position is the duration.
    ASSERT_TRUE(PumpUntil([&] { return screen.LastPicture().PTS > 4800000; }));
    EXPECT_NEAR(MeanBrightness(*screen.LastPicture().Picture), 124 * 1.6 * 255 / 219, 4.0);
    player.Resume();
    ASSERT_TRUE(PumpUntil([&] { return states.Has(TPlayState::psEnd); }));
    EXPECT_NEAR(static_cast<double>(player.Position()), 5000000.0, 50000.0);
}

TEST_F(MediaPlayerTest, AHookThatRaisesLeavesThePictureAndPlaybackGoesOn) {
    THeadlessScreen screen(160, 120);
    TMediaPlayer player;
    screen.SetRecording(true);
    std::atomic<int> calls{0};
    player.SetHook(true);
    player.OnHook = [&](TObject*, TBitmap& bitmap, int64_t) {
        ++calls;
        for (int y = 0; y < bitmap.Height(); ++y)
            std::fill_n(bitmap.ScanLine(y), bitmap.Width() * 3, uint8_t{255});
        throw std::runtime_error("boom");
    };
    ASSERT_TRUE(player.Open(MediaFile("player_ramp.mkv"), &screen, false)) << player.LastErrMsg();
    ASSERT_TRUE(PumpUntil([&] { return screen.ShowCount() > 10; }));
    player.Stop(true);
    EXPECT_GT(calls.load(), 10);
    EXPECT_TRUE(log_.Contains("Error occurs OnHook: boom"));
    // The white the handler drew before raising never reached the screen.
    for (const THeadlessShow& show : screen.Shows())
        EXPECT_LT(show.Brightness, 200);
}

TEST_F(MediaPlayerTest, TheHookDrawsOnEveryPictureAndFollowsASizeChange) {
    THeadlessScreen screen(320, 240);
    TMediaPlayer player;
    screen.SetRecording(true);
    std::mutex mutex;
    std::set<std::pair<int, int>> sizes;
    std::vector<int64_t> times;
    player.SetHook(true);
    player.OnHook = [&](TObject* sender, TBitmap& bitmap, int64_t pts) {
        EXPECT_EQ(sender, &player);
        {
            std::lock_guard lock(mutex);
            sizes.insert({bitmap.Width(), bitmap.Height()});
            times.push_back(pts);
        }
        // A white band over the top half.
        for (int y = 0; y < bitmap.Height() / 2; ++y)
            std::fill_n(bitmap.ScanLine(y), bitmap.Width() * 3, uint8_t{255});
    };
    TStateRecorder states;
    states.Attach(player);
    ASSERT_TRUE(player.Open(MediaFile("size_change.ts"), &screen, false)) << player.LastErrMsg();
    ASSERT_TRUE(PumpUntil([&] { return states.Has(TPlayState::psEnd); }));
    const TBitmap& frame = player.CurrentFrame();
    EXPECT_EQ(frame.Width(), 320);
    EXPECT_EQ(frame.Height(), 240);
    // What the hook drew is what is on screen, at the new size too.
    for (int x = 0; x < frame.Width(); x += 16) {
        EXPECT_GE(frame.ScanLine(10)[x * 3], 250);
        EXPECT_GE(frame.ScanLine(110)[x * 3 + 1], 250);
    }
    player.Stop(true);
    std::lock_guard lock(mutex);
    EXPECT_EQ(sizes, (std::set<std::pair<int, int>>{{160, 120}, {320, 240}}));
    ASSERT_GT(times.size(), 30u);
    EXPECT_LT(times.front(), 100000);
    EXPECT_GT(times.back(), 1800000);
}

TEST_F(MediaPlayerTest, APictureStoredOnItsSideIsShownUpright) {
    THeadlessScreen screen(300, 300);
    TMediaPlayer player;
    int width = 0;
    int height = 0;
    player.OnFileOpen = [&](TObject*, int64_t, int w, int h, int&, int&) {
        width = w;
        height = h;
    };
    std::atomic<int> hookWidth{0};
    player.SetHook(true);
    player.OnHook = [&](TObject*, TBitmap& bitmap, int64_t) { hookWidth.store(bitmap.Width()); };
    ASSERT_TRUE(player.Open(MediaFile("player_rotated.mp4"), &screen, false))
        << player.LastErrMsg();
    EXPECT_EQ(width, 96);
    EXPECT_EQ(height, 160);
    ASSERT_TRUE(PumpUntil([&] { return screen.ShowCount() > 2; }));
    EXPECT_EQ(hookWidth.load(), 96);
    EXPECT_EQ(screen.LastPicture().Target, (TScreenRect{60, 0, 180, 300}));
    const TBitmap& frame = player.CurrentFrame();
    ASSERT_EQ(frame.Width(), 96);
    ASSERT_EQ(frame.Height(), 160);
    // The stored top half is white; upright it is the left half.
    EXPECT_GE(frame.ScanLine(80)[10 * 3], 240);
    EXPECT_LE(frame.ScanLine(80)[85 * 3], 15);
    player.Stop(true);
}

TEST_F(MediaPlayerTest, ResizingTheScreenWhilePausedRedrawsAtOnce) {
    THeadlessScreen screen(320, 240);
    TMediaPlayer player;
    TStateRecorder states;
    states.Attach(player);
    ASSERT_TRUE(player.Open(MediaFile("clip.avi"), &screen, true)) << player.LastErrMsg();
    ASSERT_TRUE(PumpUntil([&] { return states.Has(TPlayState::psPause); }));
    ASSERT_TRUE(PumpUntil([&] { return screen.ShowCount() > 0; }));
    const int before = screen.ShowCount();
    const int fills = screen.FillCount();
    screen.Resize(200, 150);
    ASSERT_TRUE(PumpUntil([&] { return screen.ShowCount() > before; }));
    EXPECT_EQ(player.ScreenWidth(), 200);
    EXPECT_EQ(player.ScreenHeight(), 150);
    EXPECT_EQ(screen.LastPicture().Target, (TScreenRect{0, 0, 200, 150}));
    // The old picture's surroundings are painted over.
    EXPECT_GT(screen.FillCount(), fills);
    EXPECT_TRUE(player.Paused());
    player.Stop(true);
}

TEST_F(MediaPlayerTest, CurrentFrameIsEmptyWithoutVideoAndIsThePictureShown) {
    THeadlessScreen screen(160, 120);
    TMediaPlayer player;
    EXPECT_EQ(player.CurrentFrame().Width(), 0);
    TStateRecorder states;
    states.Attach(player);
    ASSERT_TRUE(player.Open(MediaFile("player_ramp.mkv"), &screen, true)) << player.LastErrMsg();
    ASSERT_TRUE(PumpUntil([&] { return states.Has(TPlayState::psPause); }));
    ASSERT_TRUE(PumpUntil([&] { return screen.ShowCount() > 0; }));
    int64_t pts = -1;
    const TBitmap& frame = player.CurrentFrame(pts);
    EXPECT_EQ(frame.Width(), 160);
    EXPECT_EQ(pts, screen.LastPicture().PTS);
    EXPECT_NEAR(MeanBrightness(frame), MeanBrightness(*screen.LastPicture().Picture), 0.5);
    player.Stop(true);
}

} // namespace
} // namespace tovik::test
