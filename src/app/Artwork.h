#pragma once
// Pictures the program draws itself instead of shipping files: the program icon, the
// built-in splash picture and the tool button glyphs.

#include <QColor>
#include <QIcon>
#include <QPixmap>

namespace tovik {

enum class TToolGlyph { tgAdd, tgRemove, tgClear, tgEdit, tgStart, tgExit, tgSettings };

QIcon ProgramIcon();
QPixmap ProgramPixmap(int size);
// The 399 x 239 picture the splash window shows when "skin/avimovcover.jpg" is missing.
QPixmap BuiltInCoverPicture();
QIcon ToolIcon(TToolGlyph glyph, const QColor& colour);

} // namespace tovik
