#pragma once
// The watermark dialog's rules, without Qt: its caption, the colour choices of its colour
// boxes, and the job record's layer made from one row of its layer list.

#include "dialogs/layers/LayerGeometry.h"
#include "effects/JobEffects.h"

#include <string>
#include <vector>

namespace tovik {

class TBitmapLayer;

// The object of one row of the layer list: the layer's fields the dialog keeps current
// (Kind, Font, BackColor, BackFilled, StartSecond, EndSecond and a picture's PictureFile),
// its view layer and, for a picture, the picture as read from its file. Geometry and
// opacity live in the view layer.
struct TWmItemRec {
    TWmRec Rec;
    TBitmapLayer* Layer = nullptr; // owned by the view
};

// "Water Mark  " and the path; a path of 56 characters or more is cut to its first 50, "..",
// its extension and two spaces.
std::string WaterMarkCaption(const std::string& path);

// The last second of a new layer's window: the source's last whole second, or, when the
// source's length is unknown (0), every second to the end.
inline constexpr int32_t kUntilTheEnd = 0x7FFFFFFF;
int32_t NewLayerEnd(int64_t sourceDuration);
// A second of a layer's window as the dialog shows it: SecondsToText, "end" for
// kUntilTheEnd.
std::string WindowText(int32_t second);

// Rounds to the nearest integer, ties to even.
int32_t RoundToInt(double value);

// The layer the job record gets for a row: text is the row's text (a text row), location
// and alpha the view layer's.
TWmRec LayerRecord(const TWmRec& row, const std::string& text, const layers::TRectF& location,
                   int masterAlpha);

// A colour box entry.
struct TColorChoice {
    const char* Name;
    TColorRef Color;
};
// The 16 standard colours, money green, sky blue, cream and medium grey, then the system
// colours.
const std::vector<TColorChoice>& ColorChoices();

} // namespace tovik
