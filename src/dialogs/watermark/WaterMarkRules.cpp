#include "dialogs/watermark/WaterMarkRules.h"

#include "media/MyUtils.h"
#include "platform/PathText.h"

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <limits>

namespace tovik {

namespace {

// The byte offsets at which the UTF-8 characters of text start.
std::vector<size_t> CharacterStarts(const std::string& text) {
    std::vector<size_t> starts;
    for (size_t i = 0; i < text.size(); ++i)
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80)
            starts.push_back(i);
    return starts;
}

} // namespace

std::string WaterMarkCaption(const std::string& path) {
    const std::string caption = "Water Mark  ";
    const std::vector<size_t> starts = CharacterStarts(path);
    if (starts.size() < 56)
        return caption + path;
    return caption + path.substr(0, starts[50]) + ".." + platform::FileExtension(path) + "  ";
}

int32_t NewLayerEnd(int64_t sourceDuration) {
    // A window that ends in second 0 would show the layer for one second of a file whose
    // length nobody knows.
    if (sourceDuration <= 0)
        return kUntilTheEnd;
    return static_cast<int32_t>(std::min<int64_t>(sourceDuration / 1000000, kUntilTheEnd));
}

std::string WindowText(int32_t second) {
    return second == kUntilTheEnd ? "end" : SecondsToText(second);
}

int32_t RoundToInt(double value) {
    // nearbyint rounds in the current mode; the default is to nearest, ties to even.
    const int saved = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(value);
    std::fesetround(saved);
    constexpr double low = std::numeric_limits<int32_t>::min();
    constexpr double high = std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(rounded < low ? low : (rounded > high ? high : rounded));
}

TWmRec LayerRecord(const TWmRec& row, const std::string& text, const layers::TRectF& location,
                   int masterAlpha) {
    TWmRec rec;
    rec.Kind = row.Kind;
    rec.StartSecond = row.StartSecond;
    rec.EndSecond = row.EndSecond;
    const int32_t left = RoundToInt(location.Left);
    const int32_t top = RoundToInt(location.Top);
    const int32_t width = RoundToInt(location.Width());
    const int32_t height = RoundToInt(location.Height());
    if (row.Kind == TWmRec::kText) {
        rec.Text = text;
        rec.TextLeft = left;
        rec.TextTop = top;
        rec.TextWidth = width;
        rec.TextHeight = height;
        rec.TextOpacity = masterAlpha;
        rec.Font = row.Font;
        rec.BackColor = row.BackColor;
        rec.BackFilled = row.BackFilled;
    } else {
        rec.PictureFile = row.PictureFile;
        rec.PictureLeft = left;
        rec.PictureTop = top;
        rec.PictureWidth = width;
        rec.PictureHeight = height;
        rec.PictureOpacity = masterAlpha;
    }
    return rec;
}

const std::vector<TColorChoice>& ColorChoices() {
    static const std::vector<TColorChoice> choices = {
        {"Black", 0x000000},
        {"Maroon", 0x000080},
        {"Green", 0x008000},
        {"Olive", 0x008080},
        {"Navy", 0x800000},
        {"Purple", 0x800080},
        {"Teal", 0x808000},
        {"Gray", 0x808080},
        {"Silver", 0xC0C0C0},
        {"Red", 0x0000FF},
        {"Lime", 0x00FF00},
        {"Yellow", 0x00FFFF},
        {"Blue", 0xFF0000},
        {"Fuchsia", 0xFF00FF},
        {"Aqua", 0xFFFF00},
        {"White", 0xFFFFFF},
        {"Money Green", 0xC0DCC0},
        {"Sky Blue", 0xF0CAA6},
        {"Cream", 0xF0FBFF},
        {"Medium Gray", 0xA4A0A0},
        {"Window Background", kSystemColorFlag | 5},
        {"Window Text", kSystemColorFlag | 8},
        {"Highlight", kSystemColorFlag | 13},
        {"Highlight Text", kSystemColorFlag | 14},
        {"Button Face", kSystemColorFlag | 15},
        {"Button Shadow", kSystemColorFlag | 16},
        {"Button Text", kSystemColorFlag | 18},
    };
    return choices;
}

} // namespace tovik
