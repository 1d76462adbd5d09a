#include "engine/CommandLine.h"

#include "engine/FFmpeg.h"

#include <map>
#include <set>

namespace tovik {

bool IsSwitchOption(const std::string& name) {
    static const std::set<std::string> names = {
        "dump",   "hex", "re",       "loop_input",  "shortest",    "isync",  "intra",     "vn",
        "an",     "sn",  "sameq",    "deinterlace", "psnr",        "qphist", "force_fps", "copyts",
        "xerror", "y",   "newvideo", "newaudio",    "newsubtitle", "vstats", "benchmark", "join"};
    return names.count(name) > 0;
}

namespace {

// The ffmpeg tool's names with a stream type ("-c:v", "-b:a") in the engine's older
// vocabulary, which gives each stream type options of its own.
std::string EngineOptionName(const std::string& name) {
    static const std::map<std::string, std::string> names = {
        {"c:v", "vcodec"},       {"codec:v", "vcodec"},  {"c:a", "acodec"}, {"codec:a", "acodec"},
        {"c:s", "scodec"},       {"codec:s", "scodec"},  {"b:v", "b"},      {"b:a", "ab"},
        {"q:v", "qscale"},       {"qscale:v", "qscale"}, {"q:a", "aq"},     {"qscale:a", "aq"},
        {"filter:v", "vf"},      {"tag:v", "vtag"},      {"tag:a", "atag"}, {"tag:s", "stag"},
        {"bsf:v", "vbsf"},       {"bsf:a", "absf"},      {"bsf:s", "sbsf"}, {"frames:v", "vframes"},
        {"frames:a", "aframes"}, {"pre:v", "vpre"},      {"pre:a", "apre"}, {"pre:s", "spre"}};
    if (const auto found = names.find(name); found != names.end())
        return found->second;
    // Other options of one stream type are the engine's for the next stream of that type.
    const size_t colon = name.find(':');
    if (colon != std::string::npos && colon + 2 == name.size() &&
        std::string("vas").find(name.back()) != std::string::npos)
        return name.substr(0, colon);
    return name;
}

void SetOptionOrFail(TCustomFFmpeg& task, const std::string& name, const std::string& value) {
    if (!task.SetOption(name, value))
        throw FFmpegException("Unrecognized option '" + name + "' or invalid value '" + value +
                              "'");
}

} // namespace

void ApplyCommandLine(TCustomFFmpeg& task, const std::vector<std::string>& arguments) {
    bool join = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument.size() > 1 && argument[0] == '-') {
            const std::string name = EngineOptionName(argument.substr(1));
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
                SetOptionOrFail(task, name, "1");
            } else if (name == "c" || name == "codec") {
                // One codec for every stream type, as "-c copy" asks.
                if (++i >= arguments.size())
                    throw FFmpegException("Missing value for option -" + name);
                for (const char* typed : {"vcodec", "acodec", "scodec"})
                    SetOptionOrFail(task, typed, arguments[i]);
            } else {
                if (++i >= arguments.size())
                    throw FFmpegException("Missing value for option -" + name);
                SetOptionOrFail(task, name, arguments[i]);
            }
        } else if (task.AddOutputFile(argument, join) < 0) {
            throw FFmpegException(task.LastError());
        }
    }
}

} // namespace tovik
