#pragma once
// Shortening a file path to a width so that its file name stays readable: the folders give
// way in the middle ("/home/…/holiday.avi"), the name only when nothing else is left.

#include <QFontMetrics>
#include <QString>

namespace tovik {

// path as it is when it fits into width pixels; otherwise the beginning of its folder part,
// an ellipsis and the whole file name with the separator before it. When even "…/" and the
// name do not fit, the name itself is shortened in its middle.
QString ElidePath(const QString& path, const QFontMetrics& metrics, int width);

} // namespace tovik
