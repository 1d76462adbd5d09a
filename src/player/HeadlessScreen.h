#pragma once
// A screen without a window, for tests and benchmarks: it keeps the last picture it was
// shown and, when asked, a record of every picture (when it came, where it went, how bright
// it was).

#include "player/PlayerScreen.h"

#include <atomic>
#include <chrono>
#include <vector>

namespace tovik {

struct THeadlessShow {
    std::chrono::steady_clock::time_point Time;
    TScreenRect Target;
    int64_t PTS = -1;
    double Brightness = 0; // mean of all colour bytes, 0 .. 255
};

class THeadlessScreen : public TPlayerScreen {
public:
    THeadlessScreen(int width, int height) : width_(width), height_(height) {}

    int ScreenWidth() const override { return width_.load(); }
    int ScreenHeight() const override { return height_.load(); }
    void ShowPicture(const TScreenPicture& picture) override;
    void Fill(const TScreenRect& area, uint32_t colour) override;

    // Changes the size and reports it, as a host window being resized.
    void Resize(int width, int height);
    // Keep a record of every picture (costs a pass over each picture).
    void SetRecording(bool recording) { recording_.store(recording); }

    int ShowCount() const;
    int FillCount() const;
    TScreenPicture LastPicture() const;
    std::vector<THeadlessShow> Shows() const;
    void ClearShows();

private:
    std::atomic<int> width_;
    std::atomic<int> height_;
    std::atomic<bool> recording_{false};
    mutable std::mutex mutex_; // guards everything below
    int showCount_ = 0;
    int fillCount_ = 0;
    TScreenPicture last_;
    std::vector<THeadlessShow> shows_;
};

// Mean of all colour bytes of a bitmap.
double MeanBrightness(const TBitmap& bitmap);

} // namespace tovik
