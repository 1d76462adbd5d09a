#include "workspace/picture/FittedRect.h"

#include <cfenv>
#include <cmath>

namespace tovik {

TRect FittedRect(int sourceWidth, int sourceHeight, int areaWidth, int areaHeight) {
    if (sourceWidth <= 0 || sourceHeight <= 0 || areaWidth <= 0 || areaHeight <= 0)
        return {};
    const double a = static_cast<double>(sourceWidth) / areaWidth;
    const double b = static_cast<double>(sourceHeight) / areaHeight;
    // Margins round half to even.
    const int saved = std::fegetround();
    std::fesetround(FE_TONEAREST);
    TRect rect{0, 0, areaWidth, areaHeight};
    if (a >= b) {
        const int margin = static_cast<int>(std::nearbyint((areaHeight - sourceHeight / a) / 2));
        rect.Top = margin;
        rect.Bottom = areaHeight - margin;
    } else {
        const int margin = static_cast<int>(std::nearbyint((areaWidth - sourceWidth / b) / 2));
        rect.Left = margin;
        rect.Right = areaWidth - margin;
    }
    std::fesetround(saved);
    return rect;
}

} // namespace tovik
