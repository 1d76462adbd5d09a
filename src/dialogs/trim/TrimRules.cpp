#include "dialogs/trim/TrimRules.h"
#include "platform/PathText.h"

#include <algorithm>

namespace tovik {

void TTrimMarks::Opened(int64_t duration) {
    duration_ = std::max<int64_t>(duration, 0);
    start_ = 0;
    end_ = 0;
}

void TTrimMarks::Load(int64_t trimStart, int64_t trimLength) {
    start_ = trimStart >= 0 ? trimStart : 0;
    end_ = trimLength > 0 ? start_ + trimLength : duration_;
}

bool TTrimMarks::SetStart(int64_t position) {
    if (position <= 0 || position == start_)
        return false;
    start_ = position;
    return true;
}

bool TTrimMarks::SetEnd(int64_t position) {
    if (position <= 0 || position == end_)
        return false;
    end_ = position;
    return true;
}

void TTrimMarks::Reset() {
    start_ = 0;
    end_ = duration_;
}

bool TTrimMarks::MarksValid() const {
    return start_ >= 0 && end_ > 0 && start_ < end_ && end_ <= duration_;
}

int64_t TTrimMarks::Length() const {
    return MarksValid() ? end_ - start_ : duration_;
}

TTrimResult TTrimMarks::Result() const {
    const int64_t length = Length();
    if (length <= 0)
        return {};
    TTrimResult result;
    // Marks that are not a part of the file mean the whole file, from its beginning: a start
    // kept from them would convert less than the list says.
    result.TrimStart = MarksValid() ? start_ : 0;
    // A part that runs to (nearly) the end is stored as "to the end", so the conversion
    // does not stop a few pictures early on a rounded duration.
    const int64_t end = result.TrimStart + length;
    if (length >= kSmallestPart && duration_ - end >= kSmallestPart)
        result.TrimLength = length;
    return result;
}

int TTrimMarks::BarValue(int64_t position, int maximum) const {
    if (duration_ <= 0 || maximum <= 0)
        return 0;
    const int64_t clamped = std::clamp<int64_t>(position, 0, duration_);
    return static_cast<int>(static_cast<int64_t>(maximum) * clamped / duration_);
}

int64_t TTrimMarks::BarPosition(int value, int maximum) const {
    if (duration_ <= 0 || maximum <= 0)
        return 0;
    const double fraction = static_cast<double>(std::clamp(value, 0, maximum)) / maximum;
    return static_cast<int64_t>(fraction * static_cast<double>(duration_));
}

std::pair<int, int> TTrimMarks::Selection(int maximum) const {
    if (duration_ <= 0)
        return {0, 0};
    return {BarValue(start_, maximum), BarValue(end_, maximum)};
}

std::string TrimCaption(const std::string& sourceFile) {
    if (sourceFile.size() <= 50)
        return sourceFile;
    return "Trim   " + sourceFile.substr(0, 50) + ".." + platform::FileExtension(sourceFile) + "  ";
}

int64_t FrameDuration(int frameRateNum, int frameRateDen) {
    if (frameRateNum <= 0 || frameRateDen <= 0)
        return 40000;
    return std::max<int64_t>(1, 1000000LL * frameRateDen / frameRateNum);
}

} // namespace tovik
