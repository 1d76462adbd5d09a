#pragma once
// The per-row part of the conversion start, without any window: from a job and the facts of
// its source to the input and output records of one engine task. The program's Start
// command and the command-line conversion both use it.

#include "workspace/core/OutputName.h"
#include "workspace/core/TaskOptionsBuilder.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tovik {

// What the start needs of a file-list row's job record.
struct TTaskJob {
    std::string SourceFile;
    int64_t TrimStart = 0;  // microseconds
    int64_t TrimLength = 0; // microseconds; 0 = up to the end
    TJobGeometry Geometry;  // its ZoomMode is replaced by the format's stored zoom mode
};

struct TPreparedTask {
    TInputOptions Input;
    TOutputOptions Output;
    int FormatCode = 1;
};

// Reads the current format code ([settings] "FormatCode", default 1), names the output with
// the output-name rule (probedFileName is the name the probe loaded), takes the format's
// "parazoom" (default "lbox") as the job's zoom mode, carries the job's crop and trim and
// builds the options. A positive TrimLength limits the output's duration. Throws what
// BuildTaskOptions throws, and std::runtime_error with a readable text when the format
// cannot be converted to (FormatProblem). A stored code the profile has no section for
// stands for the profile's first format. A given formatCode replaces the stored one (the command
// line's
// "--format"); the settings file is not changed by it. A given outputDirectory (which must
// exist) replaces the stored output directory ("--outdir") the same way.
TPreparedTask
PrepareConversionTask(TTaskJob& job, const std::string& probedFileName, const TSourceFacts& source,
                      const TBuildContext& context, const TWarningCallback& warn,
                      std::optional<int> formatCode = std::nullopt,
                      const std::optional<std::string>& outputDirectory = std::nullopt);

} // namespace tovik
