#include "engine/OptionsPreset.h"

#include "engine/FFmpegException.h"
#include "media/TextFormat.h"

#include <algorithm>
#include <cctype>

namespace tovik {

namespace {

// Presets with a layout of their own, texts as written.
constexpr const char* kBaseline = "coder=0\nbf=0\nflags2=-wpred-dct8x8\nwpredp=0";
constexpr const char* kMain = "flags2=-dct8x8";
constexpr const char* kIpod320 = "coder=0\nbf=0\nflags2=-wpred-dct8x8\nlevel=13\nmaxrate=768000\n"
                                 "bufsize=3000000\nwpredp=0";
constexpr const char* kIpod640 = "coder=0\nbf=0\nrefs=1\nflags2=-wpred-dct8x8\nlevel=30\n"
                                 "maxrate=10000000\nbufsize=10000000\nwpredp=0";
constexpr const char* kPsp =
    "coder=1\nflags=+loop\nlevel=30\ncmp=+chroma\npartitions=+parti4x4+parti8x8+partp8x8+partb8x8\n"
    "me_method=umh\nsubq=7\nme_range=16\ng=250\nkeyint_min=25\nsc_threshold=40\ni_qfactor=0.71\n"
    "b_strategy=1\nqcomp=0.6\nqmin=10\nqmax=51\nqdiff=4\nbf=3\nrefs=1\ndirectpred=1\ntrellis=2\n"
    "b=1250000\nmaxrate=1500000\nbufsize=4000000\nbt=256000\nsc_threshold=40";
constexpr const char* kPs3 =
    "coder=1\nflags=+loop\nlevel=30\ncmp=+chroma\npartitions=+parti4x4+parti8x8+partp8x8+partb8x8\n"
    "me_method=umh\nsubq=7\nme_range=16\ng=250\nkeyint_min=25\nsc_threshold=40\ni_qfactor=0.71\n"
    "b_strategy=1\nqcomp=0.6\nqmin=10\nqmax=51\nqdiff=4\nbf=3\nrefs=1\ndirectpred=1\ntrellis=2\n"
    "maxrate=3500000\nbufsize=4000000\nbt=256000\nsc_threshold=40";
constexpr const char* kIpod =
    "coder=0\nflags=+loop\nlevel=30\ncmp=+chroma\npartitions=+parti4x4+parti8x8+partp8x8\n"
    "me_method=umh\nsubq=7\nme_range=16\ng=250\nkeyint_min=25\nsc_threshold=40\ni_qfactor=0.71\n"
    "b_strategy=1\nqcomp=0.6\nqmin=10\nqmax=51\nqdiff=4\nrefs=1\ndirectpred=1\ntrellis=2\n"
    "b=1000000\nmaxrate=1250000\nbufsize=4000000\nbt=256000\nsc_threshold=40";

// The shared layout: the values of the varying keys (nullptr: the line is left out).
struct TLayoutRow {
    const char* Name;
    const char* Coder;
    const char* Flags;
    const char* Partitions;
    const char* MeMethod;
    const char* Subq;
    const char* MeRange;
    const char* ScThreshold;
    const char* BStrategy;
    const char* Bf;
    const char* Refs;
    const char* DirectPred;
    const char* Trellis;
    const char* Flags2;
    const char* Cqp;
    const char* WPredP;
};

constexpr const char* kAll4 = "+parti8x8+parti4x4+partp8x8+partb8x8";
constexpr const char* kNone4 = "-parti8x8-parti4x4-partp8x8-partb8x8";
constexpr const char* kAll5 = "+parti8x8+parti4x4+partp8x8+partp4x4+partb8x8";
constexpr const char* kFirstPassFlags2 = "+bpyramid-mixed_refs+wpred-dct8x8+fastpskip";
constexpr const char* kFastFlags2 = "+bpyramid-mixed_refs+wpred-dct8x8+fastpskip-mbtree";
constexpr const char* kFull = "+bpyramid+mixed_refs+wpred+dct8x8+fastpskip";
constexpr const char* kUltra = "-bpyramid-mixed_refs-wpred-dct8x8+fastpskip-mbtree";
constexpr const char* kLossless = "+parti8x8+parti4x4+partp8x8+partp4x4-partb8x8";

// clang-format off
constexpr TLayoutRow kLayoutRows[] = {
//   name                         coder flags   partitions  me     subq  range  sc    bstr  bf    refs  dp   trel flags2  cqp  wpredp
    {"libx264-default",            "1", "+loop", kAll4,  "hex",  "7",  "16", "40", "1", "3", "3", "1", "1", "+mixed_refs+wpred+dct8x8+fastpskip", nullptr, "2"},
    {"libx264-fast",               "1", "+loop", kAll4,  "hex",  "6",  "16", "40", "1", "3", "2", "1", "1", kFull, nullptr, "2"},
    {"libx264-fast_firstpass",     "1", "+loop", kNone4, "dia",  "2",  "16", "40", "1", "3", "1", "1", "0", kFirstPassFlags2, nullptr, "2"},
    {"libx264-faster",             "1", "+loop", kAll4,  "hex",  "4",  "16", "40", "1", "3", "2", "1", "1", "+bpyramid-mixed_refs+wpred+dct8x8+fastpskip", nullptr, "1"},
    {"libx264-faster_firstpass",   "1", "+loop", kNone4, "dia",  "2",  "16", "40", "1", "3", "1", "1", "0", kFirstPassFlags2, nullptr, "1"},
    {"libx264-fastfirstpass",      "1", "+loop", "-parti8x8-parti4x4-partp8x8-partp4x4-partb8x8", "dia", "2", "16", "40", "1", "3", "1", "3", "0", "-bpyramid-wpred-mixed_refs-dct8x8+fastpskip", nullptr, "2"},
    {"libx264-hq",                 "1", "+loop", kAll4,  "umh",  "8",  "16", "40", "2", "3", "4", "3", "1", "+wpred+mixed_refs+dct8x8+fastpskip", nullptr, "2"},
    {"libx264-lossless_fast",      "0", "+loop", "-parti8x8+parti4x4+partp8x8-partp4x4-partb8x8", "hex", "3", "16", "40", "1", nullptr, nullptr, "1", nullptr, "+fastpskip", "0", "0"},
    {"libx264-lossless_max",       "1", "+loop", kLossless, "esa", "8", "16", "40", "1", nullptr, "16", "1", nullptr, "+mixed_refs+dct8x8+fastpskip", "0", "2"},
    {"libx264-lossless_medium",    "1", "+loop", "-parti8x8+parti4x4+partp8x8+partp4x4-partb8x8", "hex", "5", "16", "40", "1", nullptr, nullptr, "1", nullptr, "+fastpskip", "0", "2"},
    {"libx264-lossless_slow",      "1", "+loop", kLossless, "umh", "6", "16", "40", "1", nullptr, "2", "1", nullptr, "+dct8x8+fastpskip", "0", "2"},
    {"libx264-lossless_slower",    "1", "+loop", kLossless, "umh", "8", "16", "40", "1", nullptr, "4", "1", nullptr, "+mixed_refs+dct8x8+fastpskip", "0", "2"},
    {"libx264-lossless_ultrafast", "0", "+loop", "-parti8x8-parti4x4-partp8x8-partp4x4-partb8x8", "dia", "0", "16", "40", "1", nullptr, nullptr, "1", nullptr, "+fastpskip", "0", nullptr},
    {"libx264-max",                "1", "+loop", kAll5,  "tesa", "10", "24", "40", "2", "3", "16", "3", "2", "+wpred+mixed_refs+dct8x8-fastpskip", nullptr, "2"},
    {"libx264-medium",             "1", "+loop", kAll4,  "hex",  "7",  "16", "40", "1", "3", "3", "1", "1", kFull, nullptr, "2"},
    {"libx264-medium_firstpass",   "1", "+loop", kNone4, "dia",  "2",  "16", "40", "1", "3", "1", "1", "0", kFirstPassFlags2, nullptr, "2"},
    {"libx264-normal",             "1", "+loop", kAll4,  "hex",  "6",  "16", "40", "1", "3", "2", "3", "0", "+wpred+dct8x8+fastpskip", nullptr, "2"},
    {"libx264-placebo",            "1", "+loop", kAll5,  "tesa", "10", "24", "40", "2", "16", "16", "3", "2", "+bpyramid+mixed_refs+wpred+dct8x8-fastpskip", nullptr, "2"},
    {"libx264-placebo_firstpass",  "1", "+loop", kAll5,  "tesa", "10", "24", "40", "2", "16", "16", "3", "2", "+bpyramid+mixed_refs+wpred+dct8x8-fastpskip", nullptr, "2"},
    {"libx264-slow",               "1", "+loop", kAll4,  "umh",  "8",  "16", "40", "2", "3", "5", "3", "1", kFull, nullptr, "2"},
    {"libx264-slow_firstpass",     "1", "+loop", kNone4, "dia",  "2",  "16", "40", "2", "3", "1", "3", "0", kFirstPassFlags2, nullptr, "2"},
    {"libx264-slower",             "1", "+loop", kAll5,  "umh",  "9",  "16", "40", "2", "3", "8", "3", "2", kFull, nullptr, "2"},
    {"libx264-slower_firstpass",   "1", "+loop", kNone4, "dia",  "2",  "16", "40", "2", "3", "1", "3", "0", kFirstPassFlags2, nullptr, "2"},
    {"libx264-slowfirstpass",      "1", "+loop", kAll4,  "hex",  "6",  "16", "40", "2", "3", "1", "3", "0", "+wpred+dct8x8+fastpskip", nullptr, "2"},
    {"libx264-superfast",          "1", "+loop", "+parti8x8+parti4x4-partp8x8-partb8x8", "dia", "1", "16", "40", "1", "3", "1", "1", "0", "+bpyramid-mixed_refs+wpred+dct8x8+fastpskip-mbtree", nullptr, "0"},
    {"libx264-superfast_firstpass", "1", "+loop", kNone4, "dia", "1",  "16", "40", "1", "3", "1", "1", "0", kFastFlags2, nullptr, "0"},
    {"libx264-ultrafast",          "0", "-loop", kNone4, "dia",  "0",  "16", "0",  "0", "0", "1", "1", "0", kUltra, nullptr, "0"},
    {"libx264-ultrafast_firstpass", "0", "-loop", kNone4, "dia", "0",  "16", "0",  "0", "0", "1", "1", "0", kUltra, nullptr, "0"},
    {"libx264-veryfast",           "1", "+loop", kAll4,  "hex",  "2",  "16", "40", "1", "3", "1", "1", "0", "+bpyramid-mixed_refs+wpred+dct8x8+fastpskip-mbtree", nullptr, "0"},
    {"libx264-veryfast_firstpass", "1", "+loop", kNone4, "dia",  "2",  "16", "40", "1", "3", "1", "1", "0", kFastFlags2, nullptr, "0"},
    {"libx264-veryslow",           "1", "+loop", kAll5,  "umh",  "10", "24", "40", "2", "8", "16", "3", "2", kFull, nullptr, "2"},
    {"libx264-veryslow_firstpass", "1", "+loop", kNone4, "dia",  "2",  "24", "40", "2", "8", "1", "3", "0", kFirstPassFlags2, nullptr, "2"},
};
// clang-format on

std::string LayoutText(const TLayoutRow& row) {
    const std::pair<const char*, const char*> lines[] = {
        {"coder", row.Coder},
        {"flags", row.Flags},
        {"cmp", "+chroma"},
        {"partitions", row.Partitions},
        {"me_method", row.MeMethod},
        {"subq", row.Subq},
        {"me_range", row.MeRange},
        {"g", "250"},
        {"keyint_min", "25"},
        {"sc_threshold", row.ScThreshold},
        {"i_qfactor", "0.71"},
        {"b_strategy", row.BStrategy},
        {"qcomp", "0.6"},
        {"qmin", "10"},
        {"qmax", "51"},
        {"qdiff", "4"},
        {"bf", row.Bf},
        {"refs", row.Refs},
        {"directpred", row.DirectPred},
        {"trellis", row.Trellis},
        {"flags2", row.Flags2},
        {"cqp", row.Cqp},
        {"wpredp", row.WPredP},
    };
    std::string text;
    for (const auto& [key, value] : lines) {
        if (!value)
            continue;
        if (!text.empty())
            text += '\n';
        text += std::string(key) + "=" + value;
    }
    return text;
}

struct TPresetTable {
    std::vector<std::string> Names;
    std::vector<std::string> Texts;
};

const TPresetTable& Table() {
    static const TPresetTable table = [] {
        TPresetTable result;
        auto add = [&](const std::string& name, const std::string& text) {
            result.Names.push_back(name);
            result.Texts.push_back(text);
        };
        auto layout = [&](const char* name) {
            for (const TLayoutRow& row : kLayoutRows)
                if (std::string(row.Name) == name)
                    add(name, LayoutText(row));
        };
        // Table order.
        add("libx264-baseline", kBaseline);
        for (const char* name :
             {"libx264-default", "libx264-fast", "libx264-fast_firstpass", "libx264-faster",
              "libx264-faster_firstpass", "libx264-fastfirstpass", "libx264-hq"})
            layout(name);
        add("libx264-ipod320", kIpod320);
        add("libx264-ipod640", kIpod640);
        for (const char* name :
             {"libx264-lossless_fast", "libx264-lossless_max", "libx264-lossless_medium",
              "libx264-lossless_slow", "libx264-lossless_slower", "libx264-lossless_ultrafast"})
            layout(name);
        add("libx264-main", kMain);
        for (const char* name :
             {"libx264-max", "libx264-medium", "libx264-medium_firstpass", "libx264-normal",
              "libx264-placebo", "libx264-placebo_firstpass", "libx264-slow",
              "libx264-slow_firstpass", "libx264-slower", "libx264-slower_firstpass",
              "libx264-slowfirstpass", "libx264-superfast", "libx264-superfast_firstpass",
              "libx264-ultrafast", "libx264-ultrafast_firstpass", "libx264-veryfast",
              "libx264-veryfast_firstpass", "libx264-veryslow", "libx264-veryslow_firstpass"})
            layout(name);
        add("libx264-psp", kPsp);
        add("libx264-ps3", kPs3);
        add("libx264-ipod", kIpod);
        add("libx264-mp4", kPsp);
        return result;
    }();
    return table;
}

} // namespace

int TOptionsPreset::Count() {
    return static_cast<int>(Table().Names.size());
}

const std::string& TOptionsPreset::Name(int index) {
    return Table().Names.at(static_cast<size_t>(index));
}

const std::string& TOptionsPreset::Text(int index) {
    return Table().Texts.at(static_cast<size_t>(index));
}

const std::string* TOptionsPreset::Find(const std::string& name) {
    const std::string wanted = LowerText(name);
    const TPresetTable& table = Table();
    for (size_t index = 0; index < table.Names.size(); ++index)
        if (table.Names[index] == wanted)
            return &table.Texts[index];
    return nullptr;
}

std::vector<TPresetLine> TOptionsPreset::ParseLines(const std::string& presetName,
                                                    const std::string& text) {
    std::string normal = TrimText(text);
    std::string unified;
    for (size_t at = 0; at < normal.size(); ++at) {
        if (normal[at] == '\r') {
            unified += '\n';
            if (at + 1 < normal.size() && normal[at + 1] == '\n')
                ++at;
        } else {
            unified += normal[at];
        }
    }
    std::vector<TPresetLine> lines;
    size_t start = 0;
    while (start <= unified.size()) {
        size_t end = unified.find('\n', start);
        if (end == std::string::npos)
            end = unified.size();
        const std::string line = TrimText(unified.substr(start, end - start));
        start = end + 1;
        if (line.empty())
            continue;
        const size_t equals = line.find('=');
        TPresetLine parsed;
        parsed.Line = line;
        if (equals != std::string::npos) {
            parsed.Key = TrimText(line.substr(0, equals));
            parsed.Value = TrimText(line.substr(equals + 1));
        }
        if (parsed.Key.empty() || parsed.Value.empty())
            throw FFmpegException(
                FormatText("%s: Invalid syntax: \"%s\"", presetName.c_str(), line.c_str()));
        lines.push_back(std::move(parsed));
    }
    return lines;
}

} // namespace tovik
