#include "workspace/core/TaskPreparation.h"
#include "settings/SettingsKeys.h"

#include "settings/IniFile.h"
#include "workspace/core/FormatProfile.h"
#include "workspace/core/FormatTable.h"
#include "workspace/core/ProfileChoices.h"

#include <stdexcept>

namespace tovik {

TPreparedTask PrepareConversionTask(const TlvFilesRecord& job, const std::string& probedFileName,
                                    const TSourceFacts& source, const TBuildContext& context,
                                    const TWarningCallback& warn, std::optional<int> formatCode,
                                    const std::optional<std::string>& outputDirectory,
                                    TTakenNames* taken) {
    TIniFile settings(context.SettingsFile);
    const TIniFile profile(context.ProfileFile);
    TPreparedTask task;
    task.Input.FileName = job.SourceFile;
    if (job.TrimStart >= 0)
        task.Input.StartTime = job.TrimStart;

    // A stored code the profile has no section for (the first start's default) means the
    // profile's first format, as the format box shows it.
    task.FormatCode = formatCode.value_or(
        UsableFormatCode(profile, settings.ReadInteger(kSettingsSection, kFormatCodeKey, 1)));
    const std::string section = FormatSection(task.FormatCode);
    // A format whose parameters were never chosen takes the profile's defaults, as the
    // parameter controls' "Default" does; the builder's own fallbacks suit only some formats.
    if (!settings.ValueExists(section, kAudioEncoderKey) &&
        !settings.ValueExists(section, kVideoEncoderKey))
        ApplyProfileDefaults(settings, profile, task.FormatCode);
    if (const auto problem = FormatProblem(settings, profile, task.FormatCode))
        throw std::runtime_error(*problem);
    const std::string extension = "." + *OutputExtension(profile, task.FormatCode);
    const std::string outputName =
        outputDirectory ? UniqueOutputName(*outputDirectory, probedFileName, extension, taken)
                        : OutputFileName(settings, probedFileName, extension, warn, taken);
    TJobGeometry geometry = job.Geometry();
    geometry.ZoomMode = settings.ReadString(section, kZoomKey, "lbox");
    task.ZoomMode = geometry.ZoomMode;

    task.Output.FileName = outputName;
    if (geometry.HasCrop()) {
        task.Output.CropTop = geometry.CropTop;
        task.Output.CropBottom = geometry.CropBottom;
        task.Output.CropLeft = geometry.CropLeft;
        task.Output.CropRight = geometry.CropRight;
    }
    // The trimmed length is honoured: the list shows it as the length that will be converted.
    if (job.TrimLength > 0)
        task.Output.Duration = job.TrimLength;

    BuildTaskOptions(geometry, task.FormatCode, task.Output, source, task.Input, context);
    return task;
}

} // namespace tovik
