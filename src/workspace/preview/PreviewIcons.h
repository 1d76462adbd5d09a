#pragma once
// The glyphs of the preview panel's four speed buttons, drawn at run time, and the small
// flat button that carries such a glyph (the panel's and the editing dialogs' player bars).

#include <QIcon>

class QString;
class QToolButton;
class QWidget;

namespace tovik {

enum class TPreviewGlyph { pgPlay, pgPause, pgStop, pgCapture };

QIcon PreviewIcon(TPreviewGlyph glyph);

// A flat 16-pixel tool button named name, with the tooltip hint and the icon.
QToolButton* SpeedButton(QWidget* parent, const QString& name, const QString& hint,
                         const QIcon& icon);

} // namespace tovik
