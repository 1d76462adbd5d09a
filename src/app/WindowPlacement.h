#pragma once
// Where the main window stands: stored at a granted close, read back at the next start, and
// fitted onto the screens there are now (a screen may be gone or smaller since).

#include <QList>
#include <QRect>
#include <QSize>
#include <optional>

class QWidget;

namespace tovik {

class TIniFile;

// The first size of the main window when no placement is stored.
inline constexpr QSize kFirstWindowSize{786, 480};

struct TWindowPlacement {
    QRect Normal;           // client area when not maximised
    bool Maximized = false; // the window filled its screen
};

// The stored placement; none when a key is missing or the size is not positive.
std::optional<TWindowPlacement> ReadWindowPlacement(const TIniFile& settings);
void WriteWindowPlacement(TIniFile& settings, const TWindowPlacement& placement);

// The rectangle wanted, moved and shrunk to lie wholly on the screen it overlaps most
// (screens: the available areas, the primary first). A rectangle that overlaps none is
// centred on the primary screen. No screens: the rectangle as it is.
QRect FitOnScreens(const QRect& wanted, const QList<QRect>& screens);

// Sets a top-level window to the stored placement, fitted onto today's screens; without one
// the window keeps its size and place. Call before the window is mapped.
void RestoreWindowPlacement(QWidget& window, const TIniFile& settings);
// Stores the window's normal geometry and whether it is maximised.
void StoreWindowPlacement(const QWidget& window, TIniFile& settings);

} // namespace tovik
