#pragma once
// The seven built-in colour themes: their names as the "&Skin" menu shows them, their
// colours, and the palette and style sheet made from them.

#include <QColor>
#include <QPalette>
#include <QString>

namespace tovik {

inline constexpr int kThemeCount = 7;
// No theme applied yet (or the stored index named none): windows keep their designed look.
inline constexpr int kNoTheme = -1;

struct TThemeColors {
    QColor Accent;      // title strip, menu bar and tool row
    QColor AccentLight; // top of the accent gradients
    QColor AccentText;  // text on the accent
    QColor Window;      // window and dialog background
    QColor Base;        // edit boxes and lists
    QColor RowTint;     // odd rows of the file list
    QColor Border;      // frames of controls
    QColor ButtonTop;   // push button gradient
    QColor ButtonBottom;
};

bool IsThemeIndex(int index);
// "Default", "Gray", ... "Light blue"; empty for an index outside 0..6.
QString ThemeName(int index);
// Colours of theme index; theme 0's colours for any other index (the designed look).
const TThemeColors& ThemeColors(int index);
// The file list's odd-row tint: the theme's own, RGB(235,235,235) when no theme is active.
QColor ListRowTint(int index);

QPalette ThemePalette(const TThemeColors& colors);
QString ThemeStyleSheet(const TThemeColors& colors);

} // namespace tovik
