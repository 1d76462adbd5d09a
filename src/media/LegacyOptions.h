#pragma once
// Translation of generic library options of the FFmpeg 0.6 era (option texts, profiles and
// the built-in libx264 presets were written for them) into the options of today's libraries.
//
// Many of those options left AVCodecContext: some became private options of one encoder
// (libx264 "coder", "partitions", "weightp" ...), some flags of "flags"/"flags2" became
// private booleans ("flags2=+dct8x8" is libx264 "8x8dct=1"), a few changed their value form
// ("cmp=+chroma") or their media type ("b" was a video option only). The table and the
// rules live in LegacyOptions.cpp; TDefaultOptions::SetDefaultOption applies them before it
// looks the name up.

#include <string>
#include <vector>

extern "C" {
#include <libavutil/avutil.h>
}

namespace tovik {

struct TTranslatedOption {
    enum TKind {
        okGeneric, // a generic option of the default contexts (any media type that has it)
        okTyped,   // a codec option of one media type's context only
        okPrivate, // a private option of an encoder (Encoder names it, empty: any encoder)
        okSkipped, // no equivalent today: logged as a warning, then ignored
    };
    TKind Kind = okGeneric;
    AVMediaType Type = AVMEDIA_TYPE_UNKNOWN; // okTyped only
    std::string Name;
    std::string Value;
    std::string Encoder; // okPrivate: the encoder the option belongs to, for validation
};

// Holds what accumulates over several lines ("partitions" flags, deblocking strengths).
class TLegacyOptionTranslator {
public:
    // The options of today that carry the meaning of name=value. A name the table does not
    // know comes back unchanged as one okGeneric entry.
    std::vector<TTranslatedOption> Translate(const std::string& name, const std::string& value);

private:
    std::vector<TTranslatedOption> TranslateFlags(const std::string& name,
                                                  const std::string& value);
    std::vector<TTranslatedOption> TranslatePartitions(const std::string& value);

    unsigned partitions_ = 0; // libx264 partition bits given so far
    int deblockAlpha_ = 0;
    int deblockBeta_ = 0;
};

} // namespace tovik
