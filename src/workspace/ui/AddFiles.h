#pragma once
// Adding source files to the file list: directories and files already listed are skipped
// without a word, files that cannot be opened are skipped and named in one warning; each new
// row gets its destination name, its length and a fresh job record.

#include "workspace/core/OutputName.h"

#include <QStringList>
#include <cstdint>
#include <functional>
#include <string>

namespace tovik {

class TFileList;
class TIniFile;

// Opens a source the way a probe task does; false when it cannot be opened. durationUs is
// the container's duration in microseconds, negative when unknown.
using TProbeSource = std::function<bool(const std::string& path, int64_t& durationUs)>;

struct TAddFilesContext {
    TIniFile* Settings = nullptr;
    const TIniFile* Profile = nullptr;
    TProbeSource Probe;
    TWarningCallback Warn; // the output directory cannot be created, files cannot be read
};

// The start of the warning that names the files an add skipped (one per line after it).
inline constexpr const char* kUnreadableFilesText =
    "These files cannot be read as media and were not added:";

// The open dialog's filters: AVI files first, then every media file, then all files.
QStringList AddFilesFilters();

// The media file name patterns of the open dialog's "All media files" filter.
QStringList MediaFilePatterns();

// paths with every folder replaced by the media files inside it, sub-folders included (in
// name order, hidden files and links to folders left out); other paths stay as they are.
QStringList WithFolderContents(const QStringList& paths);

// Adds paths in order; returns how many rows were added. Selects the first row when any
// was added.
int AddSourceFiles(TFileList& list, const QStringList& paths, const TAddFilesContext& context);

// Names every row's destination again with the current format's extension (after another
// format was chosen); empty when the profile's extension cannot be used.
void RefreshDestinations(TFileList& list, const TAddFilesContext& context);

} // namespace tovik
