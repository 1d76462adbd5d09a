#include "app/StartArguments.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QUrl>
#include <cstdio>

namespace tovik {

QStringList ParseStartArguments(const QCoreApplication& application) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Converts video and audio files. The files given are added to the list; "
                       "a folder adds the media files inside it. When the program runs already, "
                       "its window gets the files."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral("Files to add."),
                                 QStringLiteral("[FILE...]"));
    if (!parser.parse(application.arguments())) {
        std::fprintf(stderr, "tovik-converter: %s\n", qPrintable(parser.errorText()));
        std::exit(2);
    }
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();
    return AbsoluteFileNames(parser.positionalArguments(), QDir::currentPath());
}

QStringList AbsoluteFileNames(const QStringList& names, const QString& workingDir) {
    QStringList files;
    const QDir base(workingDir);
    for (const QString& name : names) {
        if (name.isEmpty())
            continue;
        QString path = name;
        if (name.startsWith(QStringLiteral("file:"), Qt::CaseInsensitive)) {
            const QUrl url(name);
            if (!url.isLocalFile())
                continue;
            path = url.toLocalFile();
        } else if (name.contains(QStringLiteral("://"))) {
            continue;
        }
        files.append(QDir::cleanPath(base.absoluteFilePath(path)));
    }
    return files;
}

} // namespace tovik
