#include "app/theme/Themes.h"

#include <array>

namespace tovik {

namespace {
const char* const kThemeNames[kThemeCount] = {"Default", "Gray",  "Orange",    "Purple",
                                              "Red",     "Green", "Light blue"};

TThemeColors MakeColors(QColor accent, QColor accentLight, QColor window, QColor rowTint,
                        QColor border) {
    TThemeColors colors;
    colors.Accent = accent;
    colors.AccentLight = accentLight;
    colors.AccentText = QColor(255, 255, 255);
    colors.Window = window;
    colors.Base = QColor(255, 255, 255);
    colors.RowTint = rowTint;
    colors.Border = border;
    colors.ButtonTop = QColor(255, 255, 255);
    colors.ButtonBottom = window.darker(108);
    return colors;
}

// The odd-row tints are the list's own; the other colours are chosen to go with them.
const std::array<TThemeColors, kThemeCount>& AllColors() {
    static const std::array<TThemeColors, kThemeCount> colors = {
        MakeColors({58, 96, 168}, {104, 140, 206}, {234, 238, 248}, {226, 230, 246},
                   {150, 166, 204}),
        MakeColors({96, 100, 106}, {150, 154, 160}, {238, 238, 238}, {236, 236, 236},
                   {168, 168, 168}),
        MakeColors({214, 122, 30}, {244, 170, 86}, {250, 244, 232}, {248, 242, 224},
                   {216, 184, 140}),
        MakeColors({124, 72, 148}, {170, 120, 192}, {246, 238, 244}, {246, 230, 241},
                   {196, 160, 188}),
        MakeColors({178, 44, 40}, {220, 96, 88}, {248, 238, 238}, {247, 225, 225}, {214, 160, 160}),
        MakeColors({52, 134, 66}, {104, 184, 112}, {238, 248, 238}, {226, 247, 225},
                   {156, 200, 156}),
        MakeColors({38, 140, 196}, {104, 188, 232}, {236, 246, 251}, {225, 240, 247},
                   {146, 192, 216}),
    };
    return colors;
}

QString Rgb(const QColor& colour) {
    return colour.name(QColor::HexRgb);
}
} // namespace

bool IsThemeIndex(int index) {
    return index >= 0 && index < kThemeCount;
}

QString ThemeName(int index) {
    return IsThemeIndex(index) ? QString::fromLatin1(kThemeNames[index]) : QString();
}

const TThemeColors& ThemeColors(int index) {
    return AllColors()[IsThemeIndex(index) ? index : 0];
}

QColor ListRowTint(int index) {
    return IsThemeIndex(index) ? ThemeColors(index).RowTint : QColor(235, 235, 235);
}

QPalette ThemePalette(const TThemeColors& colors) {
    QPalette palette;
    palette.setColor(QPalette::Window, colors.Window);
    palette.setColor(QPalette::WindowText, QColor(32, 32, 32));
    palette.setColor(QPalette::Base, colors.Base);
    palette.setColor(QPalette::AlternateBase, colors.RowTint);
    palette.setColor(QPalette::Text, QColor(24, 24, 24));
    palette.setColor(QPalette::Button, colors.Window.darker(104));
    palette.setColor(QPalette::ButtonText, QColor(24, 24, 24));
    palette.setColor(QPalette::Highlight, QColor(185, 204, 236));
    palette.setColor(QPalette::HighlightedText, QColor(0, 0, 0));
    palette.setColor(QPalette::Link, colors.Accent);
    palette.setColor(QPalette::ToolTipBase, QColor(255, 255, 225));
    palette.setColor(QPalette::ToolTipText, QColor(0, 0, 0));
    palette.setColor(QPalette::Light, colors.Window.lighter(120));
    palette.setColor(QPalette::Mid, colors.Border);
    palette.setColor(QPalette::Dark, colors.Border.darker(130));
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(150, 150, 150));
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(150, 150, 150));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(150, 150, 150));
    return palette;
}

QString ThemeStyleSheet(const TThemeColors& c) {
    // One sheet per theme: accent strips for the menu bar and the tool row, soft gradient
    // buttons, thin frames. Only selectors by class or object name, so dialogs share it.
    return QStringLiteral(
               "QMainWindow, QDialog { background: %1; }"
               "QMenuBar { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %2, "
               "stop:1 %3); color: %4; padding: 1px; }"
               "QMenuBar::item { background: transparent; padding: 3px 10px; }"
               "QMenuBar::item:selected { background: rgba(255,255,255,60); border-radius: 3px; }"
               "QMenu { background: #ffffff; border: 1px solid %5; }"
               "QMenu::item { padding: 4px 24px 4px 24px; color: #202020; }"
               "QMenu::item:selected { background: #b9ccec; color: #000000; }"
               "QMenu::item:disabled { color: #a0a0a0; }"
               "QMenu::separator { height: 1px; background: %5; margin: 3px 6px; }"
               "QWidget#ToolRow { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, "
               "stop:0 %3, stop:1 %6); border-bottom: 1px solid %5; }"
               "QWidget#ToolRow QToolButton { color: %4; background: transparent; border: 1px "
               "solid transparent; border-radius: 4px; padding: 2px 6px; font-weight: bold; }"
               "QWidget#ToolRow QToolButton:hover { background: rgba(255,255,255,50); border: "
               "1px solid rgba(255,255,255,110); }"
               "QWidget#ToolRow QToolButton:pressed { background: rgba(0,0,0,40); }"
               "QWidget#ToolRow QToolButton:disabled { color: rgba(255,255,255,110); }"
               "QPushButton { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %7, "
               "stop:1 %8); border: 1px solid %5; border-radius: 3px; padding: 3px 12px; "
               "min-width: 56px; }"
               "QPushButton:hover { border-color: %2; }"
               "QPushButton:pressed { background: %8; }"
               "QPushButton:disabled { color: #a0a0a0; }"
               "QLineEdit, QComboBox, QPlainTextEdit { background: #f6f7f8; border: 1px solid "
               "%5; border-radius: 2px; padding: 2px; }"
               "QTreeView, QTreeWidget, QListWidget { background: #ffffff; border: 1px solid "
               "%5; }"
               "QHeaderView::section { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, "
               "stop:0 #ffffff, stop:1 %1); border: none; border-right: 1px solid %5; "
               "border-bottom: 1px solid %5; padding: 3px 4px; }"
               "QGroupBox { border: 1px solid %5; border-radius: 4px; margin-top: 8px; }"
               // Captions on the light window colour take the full accent: the light one
               // fades on the orange, gray and light blue windows.
               "QGroupBox::title { subcontrol-origin: margin; left: 8px; color: %3; }"
               "QLabel#PanelCaption { color: %3; font-weight: bold; }")
        .arg(Rgb(c.Window), Rgb(c.AccentLight), Rgb(c.Accent), Rgb(c.AccentText), Rgb(c.Border),
             Rgb(c.Accent.darker(115)), Rgb(c.ButtonTop), Rgb(c.ButtonBottom));
}

} // namespace tovik
