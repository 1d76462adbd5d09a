#pragma once
// Adding source files to the file list: directories, files already listed and files that
// cannot be opened are skipped without a word; each new row gets its destination name, its
// length and a fresh job record.

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
    TWarningCallback Warn; // the output directory cannot be created
};

// The open dialog's filters: AVI files first, then every media file, then all files.
QStringList AddFilesFilters();

// Adds paths in order; returns how many rows were added. Selects the first row when any
// was added.
int AddSourceFiles(TFileList& list, const QStringList& paths, const TAddFilesContext& context);

} // namespace tovik
