#include "media/LegacyOptions.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace tovik {

namespace {

// ---------------------------------------------------------------------------------------
// Translation table: option names of the 0.6-era libraries -> today's options.
//
// Whole options (name=value)
//   b, maxrate, minrate, bufsize, trellis
//                      the video context only: they were video options, today they are
//                      video and audio options and would reach the audio encoder too
//   coder              private "coder" (libx264: 0 cavlc, 1 cabac; ffv1: 0 golomb, 1 range);
//                      0.6 values raw/rle/deflate have no equivalent
//   me_method          libx264 "motion-est" (epzs/dia -> dia, hex, umh, full/esa -> esa,
//                      tesa; zero/log/phods/x1/iter -> dia) and mpegvideo "motion_est"
//                      (zero, epzs, x1 -> xone; others -> epzs)
//   directpred         libx264 "direct-pred" (0 none, 1 spatial, 2 temporal, 3 auto)
//   wpredp             libx264 "weightp" (0 none, 1 simple, 2 smart)
//   cqp                private "qp" (libx264 constant quantiser)
//   crf                private "crf"
//   rc_lookahead       libx264 "rc-lookahead"
//   aq_mode            libx264 "aq-mode";  aq_strength -> "aq-strength"
//   psy_rd             libx264 "psy-rd"
//   complexityblur     libx264 "cplxblur"
//   bframebias         libx264 "b-bias"
//   deblockalpha/beta  libx264 "deblock" = "alpha:beta"
//   partitions         libx264 "partitions" list (parti4x4 i4x4, parti8x8 i8x8,
//                      partp4x4 p4x4, partp8x8 p8x8, partb8x8 b8x8; +/- relative to the
//                      partitions given so far)
//   nr                 private "noise_reduction"
//   me_penalty_compensation -> "mepc";  pre_me -> "mepre";  skipcmp -> "skip_cmp"
//   cmp, subcmp, mbcmp, ildctcmp, precmp, skip_cmp with "+chroma": "chroma" (the 0.6
//                      default was sad, 0, so "+chroma" is chroma alone)
//   rc_strategy, antialias, hurry_up, inter_threshold, mb_threshold, dtg_active_format,
//   color_table_id, sc_factor, error, use_lpc, request_channels
//                      no equivalent: warning, skipped
// Flags ("flags=+a-b", each token translated on its own; tokens not listed stay generic)
//   flags  loop        kept generic, and libx264 "deblock" true/false
//          scan_offset private "scan_offset" (mpeg2video)
//          mv0, naq, cbp, qprd  private "mpv_flags" +mv0, +naq, +cbp_rd, +qp_rd
//          gmc -> "gmc", part -> "data_partitioning", alt -> "alternate_scan",
//          umv -> "umv", aiv -> "aiv", obmc -> "obmc", slice -> "structured_slices"
//          qscale      no equivalent (the engine's "qscale" option sets it): skipped
//   flags2 bpyramid    libx264 "b-pyramid" normal/none
//          wpred       libx264 "weightb";  mixed_refs -> "mixed-refs";  dct8x8 -> "8x8dct"
//          fastpskip   libx264 "fast-pskip";  mbtree -> "mbtree";  aud -> "aud"
//          psy -> "psy", ssim -> "ssim", intra_refresh -> "intra-refresh"
//          non_linear_q -> "non_linear_quant", drop_frame_timecode -> same name,
//          ivlc -> "intra_vlc" (mpeg2video), reservoir -> same name (libmp3lame)
//          sgop, brdo, skiprd  no equivalent: skipped
// ---------------------------------------------------------------------------------------

struct TRename {
    const char* OldName;
    const char* NewName;
    const char* Encoder; // validating encoder, "" any
};

constexpr TRename kRenames[] = {
    {"directpred", "direct-pred", "libx264"},
    {"wpredp", "weightp", "libx264"},
    {"cqp", "qp", "libx264"},
    {"crf", "crf", "libx264"},
    {"rc_lookahead", "rc-lookahead", "libx264"},
    {"aq_mode", "aq-mode", "libx264"},
    {"aq_strength", "aq-strength", "libx264"},
    {"psy_rd", "psy-rd", "libx264"},
    {"complexityblur", "cplxblur", "libx264"},
    {"bframebias", "b-bias", "libx264"},
    {"nr", "noise_reduction", ""},
    {"me_penalty_compensation", "mepc", ""},
    {"pre_me", "mepre", ""},
    {"skipcmp", "skip_cmp", ""},
};

constexpr const char* kRemoved[] = {
    "rc_strategy",  "antialias",         "hurry_up",         "inter_threshold",
    "mb_threshold", "dtg_active_format", "color_table_id",   "sc_factor",
    "error",        "use_lpc",           "request_channels",
};

constexpr const char* kVideoOnly[] = {"b", "maxrate", "minrate", "bufsize", "trellis"};

constexpr const char* kCompareOptions[] = {"cmp",      "subcmp", "mbcmp",
                                           "ildctcmp", "precmp", "skip_cmp"};

struct TFlagToken {
    const char* Option; // "flags" or "flags2"
    const char* Token;
    const char* NewName; // private option; nullptr: no equivalent
    const char* OnValue;
    const char* OffValue;
    const char* Encoder;
    bool KeepGeneric; // the token also stays in the generic flags value
};

constexpr TFlagToken kFlagTokens[] = {
    {"flags", "loop", "deblock", "true", "false", "libx264", true},
    {"flags", "scan_offset", "scan_offset", "1", "0", "mpeg2video", false},
    {"flags", "mv0", "mpv_flags", "+mv0", "-mv0", "mpeg4", false},
    {"flags", "naq", "mpv_flags", "+naq", "-naq", "mpeg4", false},
    {"flags", "cbp", "mpv_flags", "+cbp_rd", "-cbp_rd", "mpeg4", false},
    {"flags", "qprd", "mpv_flags", "+qp_rd", "-qp_rd", "mpeg4", false},
    {"flags", "gmc", "gmc", "1", "0", "mpeg4", false},
    {"flags", "part", "data_partitioning", "1", "0", "mpeg4", false},
    {"flags", "alt", "alternate_scan", "1", "0", "mpeg4", false},
    {"flags", "umv", "umv", "1", "0", "h263p", false},
    {"flags", "aiv", "aiv", "1", "0", "h263p", false},
    {"flags", "obmc", "obmc", "1", "0", "h263", false},
    {"flags", "slice", "structured_slices", "1", "0", "h263p", false},
    {"flags", "qscale", nullptr, nullptr, nullptr, "", false},
    {"flags2", "bpyramid", "b-pyramid", "normal", "none", "libx264", false},
    {"flags2", "wpred", "weightb", "1", "0", "libx264", false},
    {"flags2", "mixed_refs", "mixed-refs", "1", "0", "libx264", false},
    {"flags2", "dct8x8", "8x8dct", "1", "0", "libx264", false},
    {"flags2", "fastpskip", "fast-pskip", "1", "0", "libx264", false},
    {"flags2", "mbtree", "mbtree", "1", "0", "libx264", false},
    {"flags2", "aud", "aud", "1", "0", "libx264", false},
    {"flags2", "psy", "psy", "1", "0", "libx264", false},
    {"flags2", "ssim", "ssim", "1", "0", "libx264", false},
    {"flags2", "intra_refresh", "intra-refresh", "1", "0", "libx264", false},
    {"flags2", "non_linear_q", "non_linear_quant", "1", "0", "mpeg2video", false},
    {"flags2", "drop_frame_timecode", "drop_frame_timecode", "1", "0", "mpeg2video", false},
    {"flags2", "ivlc", "intra_vlc", "1", "0", "mpeg2video", false},
    {"flags2", "reservoir", "reservoir", "1", "0", "libmp3lame", false},
    {"flags2", "sgop", nullptr, nullptr, nullptr, "", false},
    {"flags2", "brdo", nullptr, nullptr, nullptr, "", false},
    {"flags2", "skiprd", nullptr, nullptr, nullptr, "", false},
};

struct TPartition {
    const char* Token;
    unsigned Bit;
    const char* X264Name;
};

constexpr TPartition kPartitions[] = {
    {"parti4x4", 1u, "i4x4"}, {"parti8x8", 2u, "i8x8"},  {"partp4x4", 4u, "p4x4"},
    {"partp8x8", 8u, "p8x8"}, {"partb8x8", 16u, "b8x8"},
};

TTranslatedOption Generic(const std::string& name, const std::string& value) {
    return {TTranslatedOption::okGeneric, AVMEDIA_TYPE_UNKNOWN, name, value, {}};
}

TTranslatedOption Private(const std::string& name, const std::string& value,
                          const std::string& encoder) {
    return {TTranslatedOption::okPrivate, AVMEDIA_TYPE_UNKNOWN, name, value, encoder};
}

TTranslatedOption Skipped(const std::string& name, const std::string& value) {
    return {TTranslatedOption::okSkipped, AVMEDIA_TYPE_UNKNOWN, name, value, {}};
}

// Splits "+a-b" / "a+b" into signed tokens; a token without a sign keeps sign 0.
struct TToken {
    char Sign; // '+', '-' or 0
    std::string Name;
};

std::vector<TToken> SplitTokens(const std::string& value) {
    std::vector<TToken> tokens;
    size_t at = 0;
    while (at < value.size()) {
        char sign = 0;
        if (value[at] == '+' || value[at] == '-')
            sign = value[at++];
        const size_t end = value.find_first_of("+-", at);
        const std::string name = value.substr(at, end == std::string::npos ? end : end - at);
        if (!name.empty() || sign)
            tokens.push_back({sign, name});
        at = end == std::string::npos ? value.size() : end;
    }
    return tokens;
}

const char* MeMethodForX264(const std::string& value) {
    if (value == "hex" || value == "7")
        return "hex";
    if (value == "umh" || value == "8")
        return "umh";
    if (value == "esa" || value == "full" || value == "2")
        return "esa";
    if (value == "tesa" || value == "10")
        return "tesa";
    return "dia";
}

const char* MeMethodForMpegVideo(const std::string& value) {
    if (value == "zero" || value == "1")
        return "zero";
    if (value == "x1" || value == "6")
        return "xone";
    return "epzs";
}

} // namespace

std::vector<TTranslatedOption> TLegacyOptionTranslator::Translate(const std::string& name,
                                                                  const std::string& value) {
    for (const char* removed : kRemoved)
        if (name == removed)
            return {Skipped(name, value)};
    for (const TRename& rename : kRenames)
        if (name == rename.OldName)
            return {Private(rename.NewName, value, rename.Encoder)};
    for (const char* compare : kCompareOptions)
        if (name == compare && value.size() > 1 && value[0] == '+')
            return {Generic(name, value.substr(1))};

    for (const char* videoOnly : kVideoOnly)
        if (name == videoOnly)
            return {{TTranslatedOption::okTyped, AVMEDIA_TYPE_VIDEO, name, value, {}}};
    if (name == "coder") {
        if (value == "raw" || value == "rle" || value == "deflate" || std::atoi(value.c_str()) > 1)
            return {Skipped(name, value)};
        return {Private("coder", value, "")};
    }
    if (name == "me_method")
        return {Private("motion-est", MeMethodForX264(value), "libx264"),
                Private("motion_est", MeMethodForMpegVideo(value), "mpeg4")};
    if (name == "deblockalpha" || name == "deblockbeta") {
        (name == "deblockalpha" ? deblockAlpha_ : deblockBeta_) = std::atoi(value.c_str());
        return {Private("deblock",
                        std::to_string(deblockAlpha_) + ":" + std::to_string(deblockBeta_),
                        "libx264")};
    }
    if (name == "partitions")
        return TranslatePartitions(value);
    if (name == "flags" || name == "flags2")
        return TranslateFlags(name, value);
    return {Generic(name, value)};
}

std::vector<TTranslatedOption> TLegacyOptionTranslator::TranslateFlags(const std::string& name,
                                                                       const std::string& value) {
    std::vector<TTranslatedOption> result;
    std::string generic;
    for (const TToken& token : SplitTokens(value)) {
        const TFlagToken* known = nullptr;
        for (const TFlagToken& entry : kFlagTokens)
            if (name == entry.Option && token.Name == entry.Token)
                known = &entry;
        if (!known || known->KeepGeneric) {
            if (token.Sign)
                generic += token.Sign;
            else if (!generic.empty())
                generic += '+';
            generic += token.Name;
        }
        if (!known)
            continue;
        if (!known->NewName) {
            result.push_back(
                Skipped(name, std::string(token.Sign ? 1 : 0, token.Sign) + token.Name));
            continue;
        }
        result.push_back(Private(
            known->NewName, token.Sign == '-' ? known->OffValue : known->OnValue, known->Encoder));
    }
    if (!generic.empty())
        result.insert(result.begin(), Generic(name, generic));
    return result;
}

std::vector<TTranslatedOption>
TLegacyOptionTranslator::TranslatePartitions(const std::string& value) {
    for (const TToken& token : SplitTokens(value)) {
        const TPartition* known = nullptr;
        for (const TPartition& partition : kPartitions)
            if (token.Name == partition.Token)
                known = &partition;
        if (!known)
            return {Skipped("partitions", value)};
        if (token.Sign == '-')
            partitions_ &= ~known->Bit;
        else
            partitions_ |= known->Bit;
    }
    std::string list;
    for (const TPartition& partition : kPartitions)
        if (partitions_ & partition.Bit)
            list += (list.empty() ? "" : ",") + std::string(partition.X264Name);
    return {Private("partitions", list.empty() ? "none" : list, "libx264")};
}

} // namespace tovik
