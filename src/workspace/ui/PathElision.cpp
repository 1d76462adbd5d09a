#include "workspace/ui/PathElision.h"

namespace tovik {

namespace {
const QString kEllipsis = QString(QChar(0x2026));
} // namespace

QString ElidePath(const QString& path, const QFontMetrics& metrics, int width) {
    if (metrics.horizontalAdvance(path) <= width)
        return path;
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return metrics.elidedText(path, Qt::ElideMiddle, width);
    const QString tail = kEllipsis + path.mid(slash); // "…/name.ext"
    if (metrics.horizontalAdvance(tail) > width)
        return metrics.elidedText(path.mid(slash + 1), Qt::ElideMiddle, width);
    // The longest beginning of the folders that still leaves room for the tail; widths grow
    // with the length, so a binary search finds it.
    qsizetype low = 0;
    qsizetype high = slash; // the beginning path.left(slash) alone did not fit with the tail
    while (low < high) {
        const qsizetype middle = (low + high + 1) / 2;
        if (metrics.horizontalAdvance(path.left(middle) + tail) <= width)
            low = middle;
        else
            high = middle - 1;
    }
    // Whole folder names read better than a cut one: end at the last separator kept.
    const qsizetype lastKept = path.left(low).lastIndexOf(QLatin1Char('/'));
    if (lastKept > 0)
        low = lastKept + 1;
    return path.left(low) + tail;
}

} // namespace tovik
