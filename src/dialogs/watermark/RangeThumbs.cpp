#include "dialogs/watermark/RangeThumbs.h"

#include <algorithm>

namespace tovik {

void TRangeThumbs::SetRange(int minimum, int maximum) {
    minimum_ = minimum;
    maximum_ = std::max(minimum, maximum);
}

bool TRangeThumbs::SetLower(int value) {
    value = std::min(value, maximum_);
    value = std::max(value, minimum_);
    if (value >= upper_)
        value = upper_ - 1;
    lower_ = value;
    return true;
}

bool TRangeThumbs::SetUpper(int value) {
    value = std::min(value, maximum_);
    if (value <= lower_)
        value = lower_ + 1;
    upper_ = value;
    return true;
}

bool TRangeThumbs::UpperHalf(int value) const {
    if (value >= upper_)
        return true;
    if (value <= lower_)
        return false;
    return value - lower_ > upper_ - value;
}

} // namespace tovik
