// A whole 720p conversion through the engine component, without and with the frame hook
// drawing colour, exposure, a text layer and a picture layer, as the main window's run does.
// The ratio of the two times is the cost of the effects on a conversion.

#include "effects/OverlayRenderer.h"
#include "engine/MediaConverter.h"
#include "media/FFmpegLoader.h"
#include "media/LibrarySets.h"
#include "media/MediaKit.h"

#include <QColor>
#include <QGuiApplication>
#include <QImage>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

namespace {

namespace fs = std::filesystem;

struct TBenchMedia {
    fs::path Folder;
    std::string Source;
    std::string Picture;
};

const TBenchMedia& Media() {
    static const TBenchMedia media = [] {
        TBenchMedia made;
        made.Folder = fs::temp_directory_path() / "tovik-bench-run";
        fs::create_directories(made.Folder);
        made.Source = (made.Folder / "source720p.avi").string();
        made.Picture = (made.Folder / "logo.png").string();
        if (!fs::exists(made.Source)) {
            const std::string command =
                "ffmpeg -hide_banner -loglevel error -y -f lavfi -i "
                "testsrc2=size=1280x720:rate=25:duration=8 -c:v mpeg4 -q:v 4 '" +
                made.Source + "'";
            if (std::system(command.c_str()) != 0)
                throw std::runtime_error("the ffmpeg tool could not make the source clip");
        }
        QImage logo(200, 80, QImage::Format_RGB888);
        logo.fill(QColor(20, 90, 200));
        logo.save(QString::fromStdString(made.Picture));
        return made;
    }();
    return media;
}

tovik::TJobEffects Effects() {
    tovik::TJobEffects effects;
    effects.Brightness = 300;
    effects.Contrast = 20;
    effects.Saturation = 200;
    effects.Exposure = 15;
    auto text = std::make_shared<tovik::TWmRec>();
    text->Text = "Tovik Video Converter";
    text->TextLeft = 40;
    text->TextTop = 40;
    text->TextWidth = 400;
    text->TextHeight = 100;
    text->TextOpacity = 200;
    text->EndSecond = 1000;
    effects.Overlays.push_back(text);
    auto picture = std::make_shared<tovik::TWmRec>();
    picture->Kind = tovik::TWmRec::kPicture;
    picture->PictureFile = Media().Picture;
    picture->PictureLeft = 1000;
    picture->PictureTop = 600;
    picture->PictureOpacity = 160;
    picture->EndSecond = 1000;
    effects.Overlays.push_back(picture);
    return effects;
}

void Convert(benchmark::State& state, const char* codec, bool withEffects) {
    const TBenchMedia& media = Media();
    const tovik::TJobEffects effects = Effects();
    const std::string output = (media.Folder / "output.mp4").string();
    for (auto _ : state) {
        tovik::TMediaConverter converter;
        tovik::TPictureCache pictures;
        if (withEffects)
            converter.OnCustomHook = [&](tovik::TObject*, tovik::PHookInfo info) {
                tovik::RenderJobEffects(*info->Bitmap, effects, info->FrameTime, pictures);
            };
        bool failed = false;
        converter.OnTerminate = [&](tovik::TObject*, const tovik::TTerminateInfo& info) {
            failed = failed || info.Failed;
        };
        fs::remove(output);
        tovik::TOutputOptions options;
        options.VideoCodec = codec;
        options.VideoBitRate = 3'000'000;
        options.CustomHook = withEffects;
        const int task = converter.AddTask(media.Source, nullptr);
        if (task < 0 || !converter.SetOutputFile(task, output, &options)) {
            state.SkipWithError(converter.LastError().c_str());
            return;
        }
        converter.StartTask(0);
        if (failed) {
            state.SkipWithError("the conversion failed");
            return;
        }
    }
    state.SetLabel(withEffects ? "colour, exposure, text and picture" : "no effects");
}

// MPEG-4 part 2 encodes fast, so the effects weigh most there; H.264 is the common case.
void BM_Convert720p(benchmark::State& state, const char* codec, bool withEffects) {
    Convert(state, codec, withEffects);
}
BENCHMARK_CAPTURE(BM_Convert720p, mpeg4, "mpeg4", false)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Convert720p, mpeg4_effects, "mpeg4", true)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Convert720p, libx264, "libx264", false)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Convert720p, libx264_effects, "libx264", true)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2)
    ->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    // Text layers need fonts; the offscreen platform needs no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    tovik::TMediaKitScope mediaKit;
    std::string error;
    if (!tovik::LoadEngineLibraries(tovik::DefaultLibraryFolder(), error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
