#include "dialogs/watermark/WaterMarkHelp.h"

#include "platform/Environment.h"

#include <filesystem>

namespace tovik {

std::string WaterMarkHelpFileOf(const std::string& programDir) {
    if (programDir.empty())
        return {};
    namespace fs = std::filesystem;
    const fs::path program(programDir);
    for (const fs::path& candidate :
         {program / "help" / kWaterMarkHelpName,
          program.parent_path() / "share" / "tovik" / "help" / kWaterMarkHelpName}) {
        std::error_code error;
        if (fs::is_regular_file(candidate, error))
            return candidate.lexically_normal().string();
    }
    return {};
}

std::string WaterMarkHelpFile() {
    return WaterMarkHelpFileOf(platform::ExecutableDir());
}

} // namespace tovik
