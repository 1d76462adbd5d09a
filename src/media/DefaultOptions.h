#pragma once
// Option-default contexts: one codec context per media type, a format context and a
// scaling context that collect the generic library options a task was given ("g", "bf",
// "flags", ...) so that they can be copied onto the real contexts when those are created.

#include "media/FFmpegPtr.h"

#include <string>
#include <vector>

namespace tovik {

class TDefaultOptions {
public:
    // swsFlags: the scaling flags the scaling context starts with.
    explicit TDefaultOptions(int swsFlags = SWS_BICUBIC);
    ~TDefaultOptions();
    TDefaultOptions(const TDefaultOptions&) = delete;
    TDefaultOptions& operator=(const TDefaultOptions&) = delete;

    // Sets a library option on every context that knows it. False when no context knows
    // the name (silently) or the value was refused (logged as "Invalid value ...").
    bool SetDefaultOption(std::string name, std::string value);
    // Copies every option set so far whose flags contain all of flags from source to target.
    void ApplyDefaultOptions(void* source, void* target, int flags) const;

    AVCodecContext* CodecContext(AVMediaType type) const;
    AVFormatContext* FormatContext() const { return format_; }
    SwsContext* ScaleContext() const { return scale_.get(); }
    const std::vector<std::string>& OptionNames() const { return names_; }

private:
    static constexpr int kTypeCount = 5; // video, audio, data, subtitle, attachment
    TCodecContextPtr codec_[kTypeCount];
    AVFormatContext* format_ = nullptr; // freed with avformat_free_context
    TSwsContextPtr scale_;
    std::vector<std::string> names_;
};

} // namespace tovik
