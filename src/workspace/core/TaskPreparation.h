#pragma once
// The per-row part of the conversion start, without any window: from a job and the facts of
// its source to the input and output records of one engine task. The program's Start
// command and the command-line conversion both use it.

#include "workspace/core/FilesRecord.h"
#include "workspace/core/OutputName.h"
#include "workspace/core/TaskOptionsBuilder.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tovik {

struct TPreparedTask {
    TInputOptions Input;
    TOutputOptions Output;
    int FormatCode = 1;
    // The format's stored zoom mode, which the task was built with; the job takes it over.
    std::string ZoomMode;
};

// Reads the current format code ([settings] "FormatCode", default 1), names the output with
// the output-name rule (probedFileName is the name the probe loaded), takes the format's
// "parazoom" (default "lbox") as the task's zoom mode, carries the job's crop and trim and
// builds the options. A positive TrimLength limits the output's duration. Throws what
// BuildTaskOptions throws, and std::runtime_error with a readable text when the format
// cannot be converted to (FormatProblem). A stored code the profile has no section for
// stands for the profile's first format. A given formatCode replaces the stored one (the command
// line's
// "--format"); the settings file is not changed by it. A given outputDirectory (which must
// exist) replaces the stored output directory ("--outdir") the same way. A given taken set
// holds the names the run's earlier tasks write: the output gets another, which joins them.
TPreparedTask
PrepareConversionTask(const TlvFilesRecord& job, const std::string& probedFileName,
                      const TSourceFacts& source, const TBuildContext& context,
                      const TWarningCallback& warn, std::optional<int> formatCode = std::nullopt,
                      const std::optional<std::string>& outputDirectory = std::nullopt,
                      TTakenNames* taken = nullptr);

} // namespace tovik
