// Kernels of the media kit that run per frame.
#include "media/Bitmap.h"
#include "media/FFmpegLoader.h"
#include "media/LibraryBindings.h"
#include "media/LibrarySets.h"
#include "media/PictureToBitmap.h"

#include <benchmark/benchmark.h>

namespace {

// A 16:9 4:2:0 picture as wide as the benchmark's argument; null when the libraries are missing.
tovik::TFramePtr WidescreenFrame(benchmark::State& state) {
    std::string error;
    if (!tovik::LoadEngineLibraries("", error)) {
        state.SkipWithError(error.c_str());
        return nullptr;
    }
    tovik::TFramePtr frame = tovik::MakeFrame();
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = static_cast<int>(state.range(0));
    frame->height = frame->width * 9 / 16;
    ff::av_frame_get_buffer(frame.get(), 0);
    return frame;
}

void BM_PictureToBitmap(benchmark::State& state) {
    const tovik::TFramePtr frame = WidescreenFrame(state);
    if (!frame)
        return;
    tovik::TPictureConverter converter;
    tovik::TBitmap bitmap;
    for (auto _ : state)
        benchmark::DoNotOptimize(converter.FrameToBitmap(*frame, bitmap));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PictureToBitmap)->Arg(640)->Arg(1280)->Arg(1920);

// The hook's write-back of a whole changed picture.
void BM_BitmapToPicture(benchmark::State& state) {
    std::string error;
    if (!tovik::LoadEngineLibraries("", error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    const int width = static_cast<int>(state.range(0));
    const int height = width * 9 / 16;
    tovik::TFramePtr frame = tovik::MakeFrame();
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = width;
    frame->height = height;
    ff::av_frame_get_buffer(frame.get(), 0);
    tovik::TPictureConverter converter;
    tovik::TBitmap bitmap(width, height);
    for (auto _ : state)
        benchmark::DoNotOptimize(converter.BitmapRowsToPicture(
            bitmap, 0, height, frame->data, frame->linesize, AV_PIX_FMT_YUV420P));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BitmapToPicture)->Arg(1280)->Arg(1920);

} // namespace

BENCHMARK_MAIN();
