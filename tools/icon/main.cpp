// tovik-icon: draws the program icon into PNG files of the hicolor theme at build time, with
// the code that draws the window's icon. Usage: tovik-icon THEME_DIR NAME SIZE...
// writes THEME_DIR/<SIZE>x<SIZE>/apps/NAME.png for each size.
#include "app/Artwork.h"

#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <cstdio>

int main(int argc, char* argv[]) {
    QGuiApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 4) {
        std::fprintf(stderr, "usage: tovik-icon THEME_DIR NAME SIZE...\n");
        return 2;
    }
    const QString themeDir = arguments[1];
    const QString name = arguments[2];
    for (qsizetype i = 3; i < arguments.size(); ++i) {
        bool number = false;
        const int size = arguments[i].toInt(&number);
        if (!number || size < 8 || size > 1024) {
            std::fprintf(stderr, "tovik-icon: bad size %s\n", qPrintable(arguments[i]));
            return 2;
        }
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(themeDir).arg(size);
        const QString file = folder + QLatin1Char('/') + name + QStringLiteral(".png");
        if (!QDir().mkpath(folder) || !tovik::ProgramPixmap(size).save(file, "PNG")) {
            std::fprintf(stderr, "tovik-icon: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
