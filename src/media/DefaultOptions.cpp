#include "media/DefaultOptions.h"

#include "media/MediaLogger.h"
#include "media/TextFormat.h"

#include <algorithm>
#include <cctype>

namespace tovik {

namespace {

// The option class each media type's context takes (0: any codec option).
constexpr int kTypeOptionFlags[] = {AV_OPT_FLAG_VIDEO_PARAM, AV_OPT_FLAG_AUDIO_PARAM, 0,
                                    AV_OPT_FLAG_SUBTITLE_PARAM, 0};

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
    name = TrimText(name);
    value = TrimText(value);
    if (name.empty() || value.empty())
        return false;

    bool accepted = true;
    for (const TTranslatedOption& part : translator_.Translate(name, value)) {
        bool found = false;
        switch (part.Kind) {
        case TTranslatedOption::okSkipped:
            LoggerInstance().LogFmt(nullptr, TLogLevel::llWarning,
                                    "Option \"%s=%s\" has no equivalent in the current "
                                    "libraries and is skipped",
                                    part.Name.c_str(), part.Value.c_str());
            break;
        case TTranslatedOption::okTyped:
            accepted = SetTypedOption(part.Type, part.Name, part.Value) && accepted;
            break;
        case TTranslatedOption::okPrivate:
            accepted = SetPrivateOption(part.Name, part.Value, part.Encoder, found) && accepted;
            break;
        case TTranslatedOption::okGeneric:
            if (SetGenericOption(part.Name, part.Value, found))
                break;
            if (!found && SetPrivateOption(part.Name, part.Value, std::string(), found))
                break;
            accepted = false;
            break;
        }
    }
    if (DebugOptionSet(codec_[0].get()) || DebugOptionSet(format_))
        LoggerInstance().SetLogLevel(TLogLevel::llDebug);
    return accepted;
}

bool TDefaultOptions::SetGenericOption(const std::string& name, const std::string& value,
                                       bool& found) {
    found = false;
    int result = 0;
    unsigned typeMask = 0;
    for (int type = 0; type < kTypeCount && result >= 0; ++type) {
        const int flags = kTypeOptionFlags[type];
        if (codec_[0] && ff::av_opt_find(codec_[0].get(), name.c_str(), nullptr, flags, 0)) {
            found = true;
            result = ff::av_opt_set(codec_[type].get(), name.c_str(), value.c_str(), 0);
            typeMask |= 1u << type;
        }
    }
    auto trySet = [&](void* context, const std::string& optionName, unsigned mask) {
        if (found || !context || !ff::av_opt_find(context, optionName.c_str(), nullptr, 0, 0))
            return;
        found = true;
        result = ff::av_opt_set(context, optionName.c_str(), value.c_str(), 0);
        typeMask = mask;
    };
    trySet(format_, name, ~0u);
    trySet(scale_.get(), name, ~0u);
    if (!found && name.size() > 1) {
        // "ab", "vb", "sxyz": the option of one media type's context.
        const char first = name[0];
        const int type = first == 'a'   ? AVMEDIA_TYPE_AUDIO
                         : first == 'v' ? AVMEDIA_TYPE_VIDEO
                         : first == 's' ? AVMEDIA_TYPE_SUBTITLE
                                        : -1;
        if (type >= 0)
            trySet(codec_[type].get(), name.substr(1), 1u << type);
    }
    if (found && result < 0) {
        ff::av_log(nullptr, AV_LOG_ERROR, "Invalid value \"%s\" for option \"%s\"\n", value.c_str(),
                   name.c_str());
        return false;
    }
    if (!found)
        return false;
    RememberName(name, typeMask);
    return true;
}

bool TDefaultOptions::SetTypedOption(AVMediaType type, const std::string& name,
                                     const std::string& value) {
    AVCodecContext* context = CodecContext(type);
    if (!context || !ff::av_opt_find(context, name.c_str(), nullptr, 0, 0))
        return false;
    if (ff::av_opt_set(context, name.c_str(), value.c_str(), 0) < 0) {
        ff::av_log(nullptr, AV_LOG_ERROR, "Invalid value \"%s\" for option \"%s\"\n", value.c_str(),
                   name.c_str());
        return false;
    }
    RememberName(name, 1u << static_cast<int>(type));
    return true;
}

bool TDefaultOptions::SetPrivateOption(const std::string& name, const std::string& value,
                                       const std::string& encoder, bool& found) {
    found = false;
    auto knows = [&](const AVClass* const* privateClass) {
        return privateClass && *privateClass &&
               ff::av_opt_find(const_cast<AVClass**>(privateClass), name.c_str(), nullptr, 0,
                               AV_OPT_SEARCH_FAKE_OBJ);
    };
    auto tryEncoder = [&](const AVCodec* codec) {
        if (!codec || !knows(&codec->priv_class))
            return false;
        found = true;
        // A throw-away context of that encoder checks the value against the option.
        TCodecContextPtr context(ff::avcodec_alloc_context3(codec));
        if (!context || !context->priv_data ||
            ff::av_opt_set(context->priv_data, name.c_str(), value.c_str(), 0) < 0)
            return false;
        private_.push_back({codec->type, name, value});
        return true;
    };

    if (!encoder.empty()) {
        const AVCodec* codec = ff::avcodec_find_encoder_by_name(encoder.c_str());
        if (!codec) {
            LoggerInstance().LogFmt(nullptr, TLogLevel::llWarning,
                                    "Option \"%s=%s\" needs the encoder %s, which this build "
                                    "lacks; skipped",
                                    name.c_str(), value.c_str(), encoder.c_str());
            found = true;
            return true;
        }
        if (tryEncoder(codec))
            return true;
    } else {
        void* iterator = nullptr;
        while (const AVCodec* codec = ff::av_codec_iterate(&iterator))
            if (ff::av_codec_is_encoder(codec) && tryEncoder(codec))
                return true;
        if (!found) {
            iterator = nullptr;
            while (const AVOutputFormat* format = ff::av_muxer_iterate(&iterator)) {
                if (!knows(&format->priv_class))
                    continue;
                found = true;
                AVFormatContext* context = nullptr;
                bool valid = false;
                if (ff::avformat_alloc_output_context2(&context, format, nullptr, nullptr) >= 0 &&
                    context) {
                    valid = context->priv_data &&
                            ff::av_opt_set(context->priv_data, name.c_str(), value.c_str(), 0) >= 0;
                    ff::avformat_free_context(context);
                }
                if (valid) {
                    private_.push_back({AVMEDIA_TYPE_UNKNOWN, name, value});
                    return true;
                }
            }
        }
    }
    if (found)
        ff::av_log(nullptr, AV_LOG_ERROR, "Invalid value \"%s\" for option \"%s\"\n", value.c_str(),
                   name.c_str());
    return false;
}

void TDefaultOptions::RememberName(const std::string& name, unsigned typeMask) {
    const auto at = std::find(names_.begin(), names_.end(), name);
    if (at == names_.end()) {
        names_.push_back(name);
        nameTypes_.push_back(typeMask);
    } else {
        nameTypes_[static_cast<size_t>(at - names_.begin())] |= typeMask;
    }
}

void TDefaultOptions::ApplyDefaultOptions(void* source, void* target, int flags) const {
    if (!source || !target)
        return;
    unsigned targetMask = ~0u;
    if (flags & AV_OPT_FLAG_VIDEO_PARAM)
        targetMask = 1u << AVMEDIA_TYPE_VIDEO;
    else if (flags & AV_OPT_FLAG_AUDIO_PARAM)
        targetMask = 1u << AVMEDIA_TYPE_AUDIO;
    else if (flags & AV_OPT_FLAG_SUBTITLE_PARAM)
        targetMask = 1u << AVMEDIA_TYPE_SUBTITLE;
    for (size_t index = 0; index < names_.size(); ++index) {
        const std::string& name = names_[index];
        if (!(nameTypes_[index] & targetMask))
            continue;
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

namespace {

// Builds the dictionary of the private options one object class knows; values of flag
// options given as "+a" / "-b" accumulate, others replace the earlier value.
AVDictionary* PrivateDictionary(const std::vector<TPrivateOption>& options,
                                const AVClass* const* privateClass, bool isMuxer,
                                AVMediaType type) {
    AVDictionary* dictionary = nullptr;
    if (!privateClass || !*privateClass)
        return nullptr;
    for (const TPrivateOption& option : options) {
        if (isMuxer != (option.Type == AVMEDIA_TYPE_UNKNOWN) || (!isMuxer && option.Type != type))
            continue;
        const AVOption* found =
            ff::av_opt_find(const_cast<AVClass**>(privateClass), option.Name.c_str(), nullptr, 0,
                            AV_OPT_SEARCH_FAKE_OBJ);
        if (!found)
            continue;
        const bool relative =
            !option.Value.empty() && (option.Value[0] == '+' || option.Value[0] == '-');
        const int flags = found->type == AV_OPT_TYPE_FLAGS && relative ? AV_DICT_APPEND : 0;
        ff::av_dict_set(&dictionary, option.Name.c_str(), option.Value.c_str(), flags);
    }
    return dictionary;
}

} // namespace

AVDictionary* TDefaultOptions::EncoderOptions(const AVCodec* codec) const {
    return codec ? PrivateDictionary(private_, &codec->priv_class, false, codec->type) : nullptr;
}

AVDictionary* TDefaultOptions::MuxerOptions(const AVOutputFormat* format) const {
    return format ? PrivateDictionary(private_, &format->priv_class, true, AVMEDIA_TYPE_UNKNOWN)
                  : nullptr;
}

} // namespace tovik
