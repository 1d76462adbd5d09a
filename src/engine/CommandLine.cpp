#include "engine/CommandLine.h"

#include "engine/FFmpeg.h"

#include <set>

namespace tovik {

bool IsSwitchOption(const std::string& name) {
    static const std::set<std::string> names = {
        "dump",   "hex", "re",       "loop_input",  "shortest",    "isync",  "intra",     "vn",
        "an",     "sn",  "sameq",    "deinterlace", "psnr",        "qphist", "force_fps", "copyts",
        "xerror", "y",   "newvideo", "newaudio",    "newsubtitle", "vstats", "benchmark", "join"};
    return names.count(name) > 0;
}

void ApplyCommandLine(TCustomFFmpeg& task, const std::vector<std::string>& arguments) {
    bool join = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument.size() > 1 && argument[0] == '-') {
            const std::string name = argument.substr(1);
            if (name == "i") {
                if (++i >= arguments.size())
                    throw FFmpegException("Missing input file name after -i");
                if (!task.AddInputFile(arguments[i]))
                    throw FFmpegException(task.LastError());
            } else if (name == "join") {
                join = true;
            } else if (name == "nullhook") {
                // Every picture takes the hook's round trip through a bitmap unchanged:
                // measures what the hook path itself costs.
                task.SetHookCallback([](TCustomFFmpeg&, TBitmap&, int, int64_t, bool&, bool&) {});
            } else if (IsSwitchOption(name)) {
                task.SetOption(name, "1");
            } else {
                if (++i >= arguments.size())
                    throw FFmpegException("Missing value for option -" + name);
                task.SetOption(name, arguments[i]);
            }
        } else if (task.AddOutputFile(argument, join) < 0) {
            throw FFmpegException(task.LastError());
        }
    }
}

} // namespace tovik
