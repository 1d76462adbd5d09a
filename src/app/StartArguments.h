#pragma once
// The program's command line: options and the files to add on start.

#include <QString>
#include <QStringList>

class QCoreApplication;

namespace tovik {

// Reads the application's arguments; --help and --version print and end the process, a
// wrong option prints the reason and ends it with status 2. Returns the files given.
QStringList ParseStartArguments(const QCoreApplication& application);

// names as absolute, clean paths, relative ones taken from workingDir; file: addresses
// (some launchers pass them) become local paths, other addresses are dropped.
QStringList AbsoluteFileNames(const QStringList& names, const QString& workingDir);

} // namespace tovik
