#include "player/HeadlessScreen.h"

namespace tovik {

double MeanBrightness(const TBitmap& bitmap) {
    if (bitmap.Empty())
        return 0;
    uint64_t sum = 0;
    const int rowBytes = bitmap.Width() * 3;
    for (int y = 0; y < bitmap.Height(); ++y) {
        const uint8_t* row = bitmap.ScanLine(y);
        for (int x = 0; x < rowBytes; ++x)
            sum += row[x];
    }
    return static_cast<double>(sum) / (static_cast<double>(rowBytes) * bitmap.Height());
}

void THeadlessScreen::ShowPicture(const TScreenPicture& picture) {
    THeadlessShow show;
    show.Time = std::chrono::steady_clock::now();
    show.Target = picture.Target;
    show.PTS = picture.PTS;
    const bool recording = recording_.load();
    if (recording && picture.Picture)
        show.Brightness = MeanBrightness(*picture.Picture);
    std::lock_guard lock(mutex_);
    ++showCount_;
    last_ = picture;
    if (recording)
        shows_.push_back(show);
}

void THeadlessScreen::Fill(const TScreenRect&, uint32_t) {
    std::lock_guard lock(mutex_);
    ++fillCount_;
}

void THeadlessScreen::Resize(int width, int height) {
    width_.store(width);
    height_.store(height);
    ReportResize(width, height);
}

int THeadlessScreen::ShowCount() const {
    std::lock_guard lock(mutex_);
    return showCount_;
}

int THeadlessScreen::FillCount() const {
    std::lock_guard lock(mutex_);
    return fillCount_;
}

TScreenPicture THeadlessScreen::LastPicture() const {
    std::lock_guard lock(mutex_);
    return last_;
}

std::vector<THeadlessShow> THeadlessScreen::Shows() const {
    std::lock_guard lock(mutex_);
    return shows_;
}

void THeadlessScreen::ClearShows() {
    std::lock_guard lock(mutex_);
    shows_.clear();
}

} // namespace tovik
