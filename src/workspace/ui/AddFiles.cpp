#include "workspace/ui/AddFiles.h"
#include "settings/SettingsKeys.h"

#include "platform/FileSystem.h"
#include "settings/IniFile.h"
#include "workspace/core/FormatProfile.h"
#include "workspace/core/FormatTable.h"
#include "workspace/ui/FileList.h"

#include <QDirIterator>
#include <QFileInfo>
#include <algorithm>

namespace tovik {

QStringList AddFilesFilters() {
    return {QStringLiteral("AVI files (*.avi)"),
            QStringLiteral("All media files (*.avi *.mov *.mp4 *.m4v *.mpg *.mpeg *.vob *.dat "
                           "*.wmv *.asf *.flv *.mkv *.webm *.3gp *.3g2 *.dv *.ts *.m2ts *.mts "
                           "*.ogv *.rm *.rmvb *.mp3 *.wav *.wma *.aac *.m4a *.ogg *.ac3 *.flac)"),
            QStringLiteral("All files (*)")};
}

QStringList MediaFilePatterns() {
    // The text between the parentheses of the second filter.
    const QString filter = AddFilesFilters().at(1);
    const qsizetype open = filter.indexOf(QLatin1Char('('));
    const qsizetype close = filter.lastIndexOf(QLatin1Char(')'));
    return filter.mid(open + 1, close - open - 1).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

QStringList WithFolderContents(const QStringList& paths) {
    QStringList result;
    QStringList patterns;
    for (const QString& path : paths) {
        if (!QFileInfo(path).isDir()) {
            result.append(path);
            continue;
        }
        if (patterns.isEmpty())
            patterns = MediaFilePatterns();
        QStringList found;
        // Without QDir::CaseSensitive the patterns match CLIP.AVI as well.
        QDirIterator files(QDir::cleanPath(path), patterns, QDir::Files | QDir::NoDotAndDotDot,
                           QDirIterator::Subdirectories);
        while (files.hasNext())
            found.append(files.next());
        std::sort(found.begin(), found.end());
        result.append(found);
    }
    return result;
}

int AddSourceFiles(TFileList& list, const QStringList& paths, const TAddFilesContext& context) {
    if (!context.Settings || !context.Profile || !context.Probe)
        return 0;
    // Read once for the whole batch.
    const int formatCode = context.Settings->ReadInteger(kSettingsSection, kFormatCodeKey, 1);
    const std::string section = FormatSection(formatCode);
    // A broken extension leaves the destination empty; Start then says why.
    const auto extension = OutputExtension(*context.Profile, formatCode);
    const std::string zoomMode = context.Settings->ReadString(section, kZoomKey, "lbox");

    // A new row never gets the name another row will write.
    TTakenNames taken;
    for (int row = 0; row < list.Jobs().Count(); ++row)
        taken.insert(list.Jobs().Row(row).Destination);
    int added = 0;
    std::string unreadable;
    for (const QString& path : paths) {
        const std::string source = path.toStdString();
        if (source.empty() || platform::DirectoryExists(source) || list.HasRow(path))
            continue;
        int64_t durationUs = -1;
        if (!context.Probe(source, durationUs)) {
            unreadable += "\n" + source;
            continue;
        }
        const std::string output =
            extension
                ? OutputFileName(*context.Settings, source, "." + *extension, context.Warn, &taken)
                : std::string();
        TJobRow row;
        row.Job.SourceFile = source;
        row.Job.ZoomMode = zoomMode;
        // An unknown duration shows 0.
        row.Duration = std::max<int64_t>(durationUs, 0);
        row.Destination = output;
        list.Jobs().Append(std::move(row));
        ++added;
    }
    if (added > 0) {
        list.SelectRow(0);
        list.viewport()->update();
    }
    // One message for the whole batch, so a folder of odd files is not a click per file.
    if (!unreadable.empty() && context.Warn)
        context.Warn(kUnreadableFilesText + unreadable);
    return added;
}

void RefreshDestinations(TFileList& list, const TAddFilesContext& context) {
    if (!context.Settings || !context.Profile)
        return;
    const int formatCode = context.Settings->ReadInteger(kSettingsSection, kFormatCodeKey, 1);
    const auto extension = OutputExtension(*context.Profile, formatCode);
    TJobList& jobs = list.Jobs();
    // Names are given in row order; a later row with the same source name gets the next one.
    TTakenNames taken;
    for (int row = 0; row < jobs.Count(); ++row)
        jobs.SetDestination(row, extension
                                     ? OutputFileName(*context.Settings, jobs.Job(row).SourceFile,
                                                      "." + *extension, context.Warn, &taken)
                                     : std::string());
}

} // namespace tovik
