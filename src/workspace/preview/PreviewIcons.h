#pragma once
// The glyphs of the preview panel's four speed buttons, drawn at run time.

#include <QIcon>

namespace tovik {

enum class TPreviewGlyph { pgPlay, pgPause, pgStop, pgCapture };

QIcon PreviewIcon(TPreviewGlyph glyph);

} // namespace tovik
