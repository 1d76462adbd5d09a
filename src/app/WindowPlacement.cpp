#include "app/WindowPlacement.h"

#include "settings/IniFile.h"
#include "settings/SettingsKeys.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace tovik {

std::optional<TWindowPlacement> ReadWindowPlacement(const TIniFile& settings) {
    for (const char* key : {kWindowLeftKey, kWindowTopKey, kWindowWidthKey, kWindowHeightKey})
        if (!settings.ValueExists(kMainWindowSection, key))
            return std::nullopt;
    TWindowPlacement placement;
    placement.Normal = QRect(settings.ReadInteger(kMainWindowSection, kWindowLeftKey, 0),
                             settings.ReadInteger(kMainWindowSection, kWindowTopKey, 0),
                             settings.ReadInteger(kMainWindowSection, kWindowWidthKey, 0),
                             settings.ReadInteger(kMainWindowSection, kWindowHeightKey, 0));
    if (placement.Normal.width() <= 0 || placement.Normal.height() <= 0)
        return std::nullopt;
    placement.Maximized = settings.ReadBool(kMainWindowSection, kWindowMaximizedKey, false);
    return placement;
}

void WriteWindowPlacement(TIniFile& settings, const TWindowPlacement& placement) {
    settings.WriteInteger(kMainWindowSection, kWindowLeftKey, placement.Normal.x());
    settings.WriteInteger(kMainWindowSection, kWindowTopKey, placement.Normal.y());
    settings.WriteInteger(kMainWindowSection, kWindowWidthKey, placement.Normal.width());
    settings.WriteInteger(kMainWindowSection, kWindowHeightKey, placement.Normal.height());
    settings.WriteBool(kMainWindowSection, kWindowMaximizedKey, placement.Maximized);
}

namespace {
int64_t Area(const QRect& rect) {
    return rect.isEmpty() ? 0 : int64_t{rect.width()} * rect.height();
}
} // namespace

QRect FitOnScreens(const QRect& wanted, const QList<QRect>& screens) {
    if (screens.isEmpty())
        return wanted;
    const QRect* home = &screens.front();
    int64_t homeArea = 0;
    for (const QRect& screen : screens) {
        const int64_t area = Area(screen.intersected(wanted));
        if (area > homeArea) {
            homeArea = area;
            home = &screen;
        }
    }
    QRect fitted(wanted.topLeft(), wanted.size().boundedTo(home->size()));
    if (homeArea == 0) {
        // Its screen is gone (or it never was on one): centred on the primary screen.
        fitted.moveCenter(home->center());
        return fitted;
    }
    fitted.moveTopLeft(QPoint(
        std::clamp(wanted.x(), home->left(), home->left() + home->width() - fitted.width()),
        std::clamp(wanted.y(), home->top(), home->top() + home->height() - fitted.height())));
    return fitted;
}

namespace {
QList<QRect> AvailableScreens() {
    QList<QRect> areas;
    if (const QScreen* primary = QGuiApplication::primaryScreen())
        areas << primary->availableGeometry();
    for (const QScreen* screen : QGuiApplication::screens())
        if (screen != QGuiApplication::primaryScreen())
            areas << screen->availableGeometry();
    return areas;
}
} // namespace

void RestoreWindowPlacement(QWidget& window, const TIniFile& settings) {
    const std::optional<TWindowPlacement> placement = ReadWindowPlacement(settings);
    if (!placement)
        return;
    window.setGeometry(FitOnScreens(placement->Normal, AvailableScreens()));
    if (placement->Maximized)
        window.setWindowState(window.windowState() | Qt::WindowMaximized);
}

void StoreWindowPlacement(const QWidget& window, TIniFile& settings) {
    TWindowPlacement placement;
    placement.Maximized = window.isMaximized();
    // A maximised window remembers the size it had before, to go back to it.
    placement.Normal = placement.Maximized ? window.normalGeometry() : window.geometry();
    if (placement.Normal.isValid())
        WriteWindowPlacement(settings, placement);
}

} // namespace tovik
