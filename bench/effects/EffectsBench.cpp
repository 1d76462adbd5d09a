// Per-frame cost of the job effects on a 1920x1080 frame, single thread.
#include "effects/OverlayRenderer.h"

#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstring>
#include <vector>

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

tovik::TBitmap NoiseFrame(int width, int height) {
    tovik::TBitmap frame(width, height);
    uint32_t state = 12345;
    for (int y = 0; y < height; ++y)
        for (int i = 0; i < width * 3; ++i) {
            state = state * 1664525u + 1013904223u;
            frame.ScanLine(y)[i] = static_cast<uint8_t>(state >> 24);
        }
    return frame;
}

void BM_ApplyColorAdjust(benchmark::State& state) {
    tovik::TBitmap frame = NoiseFrame(kWidth, kHeight);
    for (auto _ : state)
        tovik::ApplyColorAdjust(frame, 300, 20, 280);
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
BENCHMARK(BM_ApplyColorAdjust)->Unit(benchmark::kMillisecond);

void BM_ApplyExposure(benchmark::State& state) {
    tovik::TBitmap frame = NoiseFrame(kWidth, kHeight);
    for (auto _ : state)
        tovik::ApplyExposure(frame, 60);
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
BENCHMARK(BM_ApplyExposure)->Unit(benchmark::kMillisecond);

void BM_BlendBitmap(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    tovik::TBitmap frame = NoiseFrame(kWidth, kHeight);
    tovik::TBitmap layer = NoiseFrame(width, height);
    for (auto _ : state)
        tovik::BlendBitmap(frame, layer, 100, 100 % (kHeight - height + 1), 180);
    state.SetItemsProcessed(state.iterations() * width * height);
}
BENCHMARK(BM_BlendBitmap)->Args({400, 100})->Args({kWidth, kHeight})->Unit(benchmark::kMicrosecond);

// A logo with transparency: each pixel weighed by its own alpha.
void BM_BlendBitmapAlpha(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    tovik::TBitmap frame = NoiseFrame(kWidth, kHeight);
    tovik::TBitmap layer = NoiseFrame(width, height);
    std::vector<uint8_t> alpha(static_cast<size_t>(width) * height);
    for (size_t i = 0; i < alpha.size(); ++i)
        alpha[i] = static_cast<uint8_t>(i * 7);
    for (auto _ : state)
        tovik::BlendBitmapAlpha(frame, layer, alpha.data(), width, 100,
                                100 % (kHeight - height + 1), 180);
    state.SetItemsProcessed(state.iterations() * width * height);
}
BENCHMARK(BM_BlendBitmapAlpha)
    ->Args({400, 100})
    ->Args({kWidth, kHeight})
    ->Unit(benchmark::kMicrosecond);

void BM_RenderJobEffects(benchmark::State& state) {
    QTemporaryDir dir;
    QImage logo(200, 120, QImage::Format_RGB888);
    logo.fill(QColor(30, 160, 220));
    const QString logoFile = dir.filePath("logo.bmp");
    logo.save(logoFile);

    tovik::TJobEffects job;
    job.Brightness = 300;
    job.Contrast = 20;
    job.Saturation = 280;
    job.Exposure = 40;
    auto text = std::make_shared<tovik::TWmRec>();
    text->Kind = tovik::TWmRec::kText;
    text->Text = "Tovik Video Converter";
    text->Font.Size = 36;
    text->TextLeft = 60;
    text->TextTop = 900;
    text->TextWidth = 800;
    text->TextHeight = 80;
    text->TextOpacity = 200;
    text->EndSecond = 100;
    auto picture = std::make_shared<tovik::TWmRec>();
    picture->Kind = tovik::TWmRec::kPicture;
    picture->PictureFile = logoFile.toStdString();
    picture->PictureLeft = 1600;
    picture->PictureTop = 60;
    picture->PictureOpacity = 160;
    picture->EndSecond = 100;
    job.Overlays = {text, picture};

    tovik::TBitmap frame = NoiseFrame(kWidth, kHeight);
    tovik::TPictureCache pictures;
    for (auto _ : state)
        tovik::RenderJobEffects(frame, job, 1'000'000, pictures);
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
BENCHMARK(BM_RenderJobEffects)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
