// The preview player playing real files in real time with the headless screen and SDL's
// dummy sound driver: pictures dropped at 1080p and at 720p with a text-drawing hook, the
// time of a seek with wait into a long-GOP file, and memory over a 10-minute file.
// Run one at a time (--benchmark_filter): each plays its file at its own pace.

#include "effects/OverlayRenderer.h"
#include "media/LibrarySets.h"
#include "media/MediaKit.h"
#include "platform/Dispatcher.h"
#include "player/HeadlessScreen.h"
#include "player/MediaPlayer.h"

#include <QGuiApplication>
#include <algorithm>
#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;

fs::path Folder() {
    static const fs::path folder = [] {
        const fs::path made = fs::temp_directory_path() / "tovik-bench-player";
        fs::create_directories(made);
        return made;
    }();
    return folder;
}

// Makes a clip with the ffmpeg tool once; later runs reuse it.
std::string Clip(const std::string& name, const std::string& arguments) {
    const fs::path path = Folder() / name;
    if (!fs::exists(path)) {
        const std::string command = "ffmpeg -hide_banner -loglevel error -y " + arguments + " '" +
                                    (Folder() / ("part-" + name)).string() + "'";
        if (std::system(command.c_str()) != 0)
            throw std::runtime_error("the ffmpeg tool could not make " + name);
        fs::rename(Folder() / ("part-" + name), path);
    }
    return path.string();
}

std::string Source(int width, int height, int seconds, const std::string& x264) {
    return "-f lavfi -i testsrc2=size=" + std::to_string(width) + "x" + std::to_string(height) +
           ":rate=30:duration=" + std::to_string(seconds) +
           " -f lavfi -i sine=frequency=440:sample_rate=48000:duration=" + std::to_string(seconds) +
           " -c:v libx264 -pix_fmt yuv420p " + x264 + " -c:a aac -b:a 128k";
}

bool PumpUntil(const std::function<bool()>& done, std::chrono::seconds limit) {
    const auto end = TClock::now() + limit;
    while (!done()) {
        if (TClock::now() > end)
            return false;
        tovik::TDispatcher::Instance().WaitAndCheckSynchronize(5ms);
    }
    return true;
}

double ResidentMegabytes() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

// Plays the whole file; counters: pictures shown and dropped, and wall time / duration.
void PlayWhole(benchmark::State& state, const std::string& file, bool hook) {
    tovik::TWmRec text;
    text.Text = "Tovik Video Converter";
    text.TextLeft = 40;
    text.TextTop = 40;
    text.TextWidth = 500;
    text.TextHeight = 120;
    text.TextOpacity = 200;
    text.EndSecond = 100000;
    for (auto _ : state) {
        tovik::THeadlessScreen screen(960, 540);
        tovik::TMediaPlayer player;
        std::atomic<bool> ended{false};
        int64_t duration = 0;
        player.SetTriggerEventInMainThread(false);
        player.OnFileOpen = [&](tovik::TObject*, int64_t d, int, int, int&, int&) { duration = d; };
        player.OnState = [&](tovik::TObject*, tovik::TPlayState s) {
            if (s == tovik::TPlayState::psEnd)
                ended.store(true);
        };
        if (hook) {
            player.SetHook(true);
            player.OnHook = [&](tovik::TObject*, tovik::TBitmap& bitmap, int64_t) {
                tovik::DrawTextLayer(bitmap, text);
            };
        }
        const auto start = TClock::now();
        if (!player.Open(file, &screen, false)) {
            state.SkipWithError(player.LastErrMsg().c_str());
            return;
        }
        if (!PumpUntil([&] { return ended.load(); }, std::chrono::seconds(600))) {
            state.SkipWithError("playback did not end");
            return;
        }
        const double wall = std::chrono::duration<double>(TClock::now() - start).count();
        const double shown = static_cast<double>(player.ShownPictures());
        const double dropped = static_cast<double>(player.DroppedPictures());
        player.Stop(true);
        state.counters["shown"] = shown;
        state.counters["dropped"] = dropped;
        state.counters["dropped_pct"] =
            shown + dropped > 0 ? 100.0 * dropped / (shown + dropped) : 0;
        state.counters["wall_per_duration"] = wall / (static_cast<double>(duration) / 1e6);
    }
}

void BM_Play1080p30(benchmark::State& state) {
    PlayWhole(state, Clip("h264_1080p30.mp4", Source(1920, 1080, 20, "-preset veryfast -crf 23")),
              false);
}
BENCHMARK(BM_Play1080p30)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

void BM_Play720p30TextHook(benchmark::State& state) {
    PlayWhole(state, Clip("h264_720p30.mp4", Source(1280, 720, 20, "-preset veryfast -crf 23")),
              true);
}
BENCHMARK(BM_Play720p30TextHook)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

// Seeks with wait to the middle of a 60 s file with a key frame every 250 pictures (the
// encoder's default), from a different place each time; the median is the number.
void BM_SeekWithWaitLongGop(benchmark::State& state) {
    const std::string file = Clip(
        "h264_720p_longgop.mp4",
        Source(1280, 720, 60, "-preset veryfast -crf 23 -g 250 -keyint_min 250 -sc_threshold 0"));
    tovik::THeadlessScreen screen(960, 540);
    tovik::TMediaPlayer player;
    player.SetTriggerEventInMainThread(false);
    if (!player.Open(file, &screen, false)) {
        state.SkipWithError(player.LastErrMsg().c_str());
        return;
    }
    std::this_thread::sleep_for(500ms);
    std::vector<double> times;
    int round = 0;
    for (auto _ : state) {
        // Somewhere else first, and let it play a little.
        player.Seek(static_cast<int64_t>(5 + (round++ % 5) * 10) * 1000000 + 1, 0, true);
        std::this_thread::sleep_for(300ms);
        const auto start = TClock::now();
        player.Seek(30000000, 0, true);
        const double seconds = std::chrono::duration<double>(TClock::now() - start).count();
        state.SetIterationTime(seconds);
        times.push_back(seconds * 1000);
        std::this_thread::sleep_for(200ms);
    }
    player.Stop(true);
    std::sort(times.begin(), times.end());
    state.counters["median_ms"] = times[times.size() / 2];
    state.counters["max_ms"] = times.back();
    state.counters["min_ms"] = times.front();
}
BENCHMARK(BM_SeekWithWaitLongGop)->Unit(benchmark::kMillisecond)->Iterations(15)->UseManualTime();

// Plays a 10-minute file to its end, noting the resident memory every 10 s.
void BM_MemoryTenMinutes(benchmark::State& state) {
    const std::string file =
        Clip("h264_360p_10min.mp4", Source(640, 360, 600, "-preset ultrafast -crf 28"));
    for (auto _ : state) {
        tovik::THeadlessScreen screen(640, 360);
        tovik::TMediaPlayer player;
        std::atomic<bool> ended{false};
        player.SetTriggerEventInMainThread(false);
        player.OnState = [&](tovik::TObject*, tovik::TPlayState s) {
            if (s == tovik::TPlayState::psEnd)
                ended.store(true);
        };
        if (!player.Open(file, &screen, false)) {
            state.SkipWithError(player.LastErrMsg().c_str());
            return;
        }
        std::vector<double> samples;
        auto next = TClock::now() + 10s;
        PumpUntil(
            [&] {
                if (TClock::now() >= next) {
                    samples.push_back(ResidentMegabytes());
                    next += 10s;
                }
                return ended.load();
            },
            std::chrono::seconds(900));
        player.Stop(true);
        if (samples.size() < 2) {
            state.SkipWithError("too few samples");
            return;
        }
        state.counters["rss_10s_MB"] = samples.front();
        state.counters["rss_end_MB"] = samples.back();
        state.counters["rss_max_MB"] = *std::max_element(samples.begin(), samples.end());
        state.counters["dropped"] = static_cast<double>(player.DroppedPictures());
    }
}
BENCHMARK(BM_MemoryTenMinutes)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    // Text layers need fonts; the offscreen platform needs no display, the dummy driver no
    // sound card.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    QGuiApplication application(argc, argv);
    tovik::TMediaKitScope kit;
    std::string error;
    if (!tovik::LoadPlayerLibraries("", error)) {
        fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
