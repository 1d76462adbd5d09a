#include "app/theme/ThemeManager.h"

#include <algorithm>

namespace tovik {

bool TThemeManager::ApplyTheme(int index) {
    if (!IsThemeIndex(index))
        return false;
    current_ = index;
    std::erase_if(followers_, [](const QPointer<QWidget>& window) { return window.isNull(); });
    for (const QPointer<QWidget>& window : followers_)
        Dress(window.data());
    emit ThemeChanged(index);
    return true;
}

void TThemeManager::Follow(QWidget* window) {
    if (!window || IsFollowing(window))
        return;
    // Message boxes and other child windows take the palette of their parent window.
    window->setAttribute(Qt::WA_WindowPropagation);
    followers_.emplace_back(window);
    Dress(window);
}

bool TThemeManager::IsFollowing(const QWidget* window) const {
    return std::any_of(followers_.begin(), followers_.end(),
                       [window](const QPointer<QWidget>& follower) { return follower == window; });
}

void TThemeManager::Dress(QWidget* window) const {
    // Without an applied theme a window keeps the designed look, which is theme 0.
    const TThemeColors& colors = ThemeColors(current_);
    window->setPalette(ThemePalette(colors));
    window->setStyleSheet(ThemeStyleSheet(colors));
}

} // namespace tovik
