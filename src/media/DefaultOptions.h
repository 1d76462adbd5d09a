#pragma once
// Option-default contexts: one codec context per media type, a format context and a
// scaling context that collect the generic library options a task was given ("g", "bf",
// "flags", ...) so that they can be copied onto the real contexts when those are created.

#include "media/FFmpegPtr.h"
#include "media/LegacyOptions.h"

#include <string>
#include <vector>

namespace tovik {

// A private option of an encoder or a muxer (libx264 "partitions", mpeg "muxrate" ...):
// the default contexts have no private data, so these are kept as text and handed to the
// encoder or muxer when it is opened.
struct TPrivateOption {
    AVMediaType Type = AVMEDIA_TYPE_UNKNOWN; // media type of the encoder; unknown for muxers
    std::string Name;
    std::string Value;
};

class TDefaultOptions {
public:
    // swsFlags: the scaling flags the scaling context starts with.
    explicit TDefaultOptions(int swsFlags = SWS_BICUBIC);
    ~TDefaultOptions();
    TDefaultOptions(const TDefaultOptions&) = delete;
    TDefaultOptions& operator=(const TDefaultOptions&) = delete;

    // Sets a library option on every context that knows it. Names and values of the 0.6-era
    // libraries are translated first (LegacyOptions.h); a name no context knows is looked up
    // among the private options of the encoders, then of the muxers. False when nobody knows
    // the name (silently) or the value was refused (logged as "Invalid value ..."); an old
    // option without an equivalent today is logged as a warning, skipped, and gives true.
    bool SetDefaultOption(std::string name, std::string value);
    // Sets a codec option on one media type's context only ("vb" is video "b").
    bool SetTypedOption(AVMediaType type, const std::string& name, const std::string& value);
    // Copies every option set so far whose flags contain all of flags from source to target
    // (an option set for one media type only is copied only for that type's flags).
    void ApplyDefaultOptions(void* source, void* target, int flags) const;

    // The private options given so far that this encoder (or muxer) knows, as a dictionary
    // for avcodec_open2 (avformat_write_header); the caller frees it with av_dict_free.
    AVDictionary* EncoderOptions(const AVCodec* codec) const;
    AVDictionary* MuxerOptions(const AVOutputFormat* format) const;
    const std::vector<TPrivateOption>& PrivateOptions() const { return private_; }

    AVCodecContext* CodecContext(AVMediaType type) const;
    AVFormatContext* FormatContext() const { return format_; }
    SwsContext* ScaleContext() const { return scale_.get(); }
    const std::vector<std::string>& OptionNames() const { return names_; }

private:
    // The generic lookup of one option over the codec, format and scaling contexts.
    // found: some context knows the name.
    bool SetGenericOption(const std::string& name, const std::string& value, bool& found);
    // The private lookup; encoder names the only encoder to try (empty: every encoder,
    // then every muxer).
    bool SetPrivateOption(const std::string& name, const std::string& value,
                          const std::string& encoder, bool& found);
    void RememberName(const std::string& name, unsigned typeMask);

    static constexpr int kTypeCount = 5; // video, audio, data, subtitle, attachment
    TCodecContextPtr codec_[kTypeCount];
    AVFormatContext* format_ = nullptr; // freed with avformat_free_context
    TSwsContextPtr scale_;
    std::vector<std::string> names_;
    std::vector<unsigned> nameTypes_; // per name: bit n set when media type n has it
    std::vector<TPrivateOption> private_;
    TLegacyOptionTranslator translator_;
};

} // namespace tovik
