#include "media/DefaultOptions.h"

#include "media/MediaLogger.h"

#include <algorithm>
#include <cctype>

namespace tovik {

namespace {

// The option class each media type's context takes (0: any codec option).
constexpr int kTypeOptionFlags[] = {AV_OPT_FLAG_VIDEO_PARAM, AV_OPT_FLAG_AUDIO_PARAM, 0,
                                    AV_OPT_FLAG_SUBTITLE_PARAM, 0};

std::string Trim(const std::string& text) {
    auto begin =
        std::find_if_not(text.begin(), text.end(), [](unsigned char c) { return std::isspace(c); });
    auto end = std::find_if_not(text.rbegin(), text.rend(), [](unsigned char c) {
                   return std::isspace(c);
               }).base();
    return begin < end ? std::string(begin, end) : std::string();
}

bool DebugOptionSet(void* context) {
    int64_t value = 0;
    return context && ff::av_opt_get_int(context, "debug", 0, &value) >= 0 && value != 0;
}

} // namespace

TDefaultOptions::TDefaultOptions(int swsFlags) {
    for (int type = 0; type < kTypeCount; ++type) {
        codec_[type].reset(ff::avcodec_alloc_context3(nullptr));
        if (codec_[type])
            codec_[type]->codec_type = static_cast<AVMediaType>(type);
    }
    format_ = ff::avformat_alloc_context();
    scale_.reset(ff::sws_getContext(16, 16, AV_PIX_FMT_YUV420P, 16, 16, AV_PIX_FMT_YUV420P,
                                    swsFlags, nullptr, nullptr, nullptr));
}

TDefaultOptions::~TDefaultOptions() {
    if (format_)
        ff::avformat_free_context(format_);
}

AVCodecContext* TDefaultOptions::CodecContext(AVMediaType type) const {
    const int index = static_cast<int>(type);
    return index >= 0 && index < kTypeCount ? codec_[index].get() : nullptr;
}

bool TDefaultOptions::SetDefaultOption(std::string name, std::string value) {
    name = Trim(name);
    value = Trim(value);
    if (name.empty() || value.empty())
        return false;

    bool found = false;
    int result = 0;
    for (int type = 0; type < kTypeCount && result >= 0; ++type) {
        const int flags = kTypeOptionFlags[type];
        if (codec_[0] && ff::av_opt_find(codec_[0].get(), name.c_str(), nullptr, flags, 0)) {
            found = true;
            result = ff::av_opt_set(codec_[type].get(), name.c_str(), value.c_str(), 0);
        }
    }
    auto trySet = [&](void* context, const std::string& optionName) {
        if (found || !context || !ff::av_opt_find(context, optionName.c_str(), nullptr, 0, 0))
            return;
        found = true;
        result = ff::av_opt_set(context, optionName.c_str(), value.c_str(), 0);
    };
    trySet(format_, name);
    trySet(scale_.get(), name);
    if (!found && name.size() > 1) {
        // "ab", "vb", "sxyz": the option of one media type's context.
        const char first = name[0];
        const int type = first == 'a'   ? AVMEDIA_TYPE_AUDIO
                         : first == 'v' ? AVMEDIA_TYPE_VIDEO
                         : first == 's' ? AVMEDIA_TYPE_SUBTITLE
                                        : -1;
        if (type >= 0)
            trySet(codec_[type].get(), name.substr(1));
    }
    if (found && result < 0) {
        ff::av_log(nullptr, AV_LOG_ERROR, "Invalid value \"%s\" for option \"%s\"\n", value.c_str(),
                   name.c_str());
        return false;
    }
    if (!found)
        return false;
    if (std::find(names_.begin(), names_.end(), name) == names_.end())
        names_.push_back(name);
    if (DebugOptionSet(codec_[0].get()) || DebugOptionSet(format_))
        LoggerInstance().SetLogLevel(TLogLevel::llDebug);
    return true;
}

void TDefaultOptions::ApplyDefaultOptions(void* source, void* target, int flags) const {
    if (!source || !target)
        return;
    for (const std::string& name : names_) {
        const AVOption* option = ff::av_opt_find(source, name.c_str(), nullptr, 0, 0);
        if (!option || (option->flags & flags) != flags)
            continue;
        uint8_t* text = nullptr;
        if (ff::av_opt_get(source, name.c_str(), 0, &text) >= 0 && text) {
            ff::av_opt_set(target, name.c_str(), reinterpret_cast<const char*>(text), 0);
            ff::av_free(text);
        }
    }
}

} // namespace tovik
