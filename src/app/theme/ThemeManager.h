#pragma once
// Applies one colour theme to a set of windows: the main window and every window that
// follows it. A window that starts to follow takes the current theme at once.

#include "app/theme/Themes.h"

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <vector>

namespace tovik {

class TThemeManager : public QObject {
    Q_OBJECT
public:
    explicit TThemeManager(QObject* parent = nullptr) : QObject(parent) {}

    // Applies theme index (0..6) to every follower. Any other index applies nothing and
    // leaves the current theme as it was; returns false then.
    bool ApplyTheme(int index);
    // The theme applied last, kNoTheme when none has been.
    int CurrentTheme() const { return current_; }

    // The window (and its children, message boxes included) takes the current look from now
    // on. Destroyed followers drop out by themselves.
    void Follow(QWidget* window);
    bool IsFollowing(const QWidget* window) const;

signals:
    void ThemeChanged(int index);

private:
    void Dress(QWidget* window) const;

    int current_ = kNoTheme;
    std::vector<QPointer<QWidget>> followers_;
};

} // namespace tovik
