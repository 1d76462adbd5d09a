// The probe's readable description of a file (FileInfoText) and its pieces.
#include "media/DisplayRotation.h"
#include "media/FFmpegPtr.h"
#include "media/MediaProbe.h"
#include "media/MediaProbeDetail.h"
#include "media/MyUtils.h"
#include "media/TextFormat.h"

#include <cmath>
#include <cstdlib>
#include <vector>

namespace tovik {

using namespace probe_detail;

namespace {

constexpr const char* kLineBreak = "\r\n";

std::string Trimmed(const char* text) {
    if (!text)
        return std::string();
    std::string result = text;
    const size_t first = result.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return std::string();
    const size_t last = result.find_last_not_of(" \t\r\n");
    return result.substr(first, last - first + 1);
}

bool IsPrintable(unsigned value) {
    return value >= 32 && value <= 126;
}

// The value's lines; a value with line breaks would otherwise break the layout.
std::vector<std::string> ValueLines(const char* value) {
    std::vector<std::string> lines(1);
    for (const char* at = value ? value : ""; *at; ++at) {
        if (*at == '\r' || *at == '\n') {
            if (*at == '\r' && at[1] == '\n')
                ++at;
            lines.emplace_back();
        } else {
            lines.back() += *at;
        }
    }
    return lines;
}

// "<indent>Metadata:" and one line per entry except "language"; nothing when the
// dictionary is empty or holds only the language.
std::string MetadataBlock(const AVDictionary* metadata, const std::string& indent) {
    const int count = metadata ? ff::av_dict_count(metadata) : 0;
    if (count == 0)
        return std::string();
    if (count == 1 && ff::av_dict_get(metadata, "language", nullptr, 0))
        return std::string();
    std::string block = indent + "Metadata:" + kLineBreak;
    const AVDictionaryEntry* entry = nullptr;
    while ((entry = ff::av_dict_get(metadata, "", entry, AV_DICT_IGNORE_SUFFIX))) {
        if (std::string(entry->key) == "language")
            continue;
        const std::vector<std::string> lines = ValueLines(entry->value);
        const std::string key = probe_text::DisplayKey(entry->key);
        for (size_t i = 0; i < lines.size(); ++i)
            block += FormatText("%s  %-16s: %s", indent.c_str(), i == 0 ? key.c_str() : "",
                                lines[i].c_str()) +
                     kLineBreak;
    }
    return block;
}

std::string MetadataOr(const AVDictionary* metadata, const char* key, const char* otherKey) {
    std::string value = MetadataValue(metadata, key);
    if (value.empty())
        value = MetadataValue(metadata, otherKey);
    return value.empty() ? std::string("N/A") : value;
}

} // namespace

namespace probe_text {

std::string DisplayKey(const std::string& key) {
    struct TKeyName {
        const char* key;
        const char* shown;
    };
    static constexpr TKeyName kNames[] = {
        {"TALB", "album"},      {"TAL", "album"},      {"TCOM", "composer"}, {"TCON", "genre"},
        {"TCO", "genre"},       {"TCOP", "copyright"}, {"TDRL", "date"},     {"TENC", "encoder"},
        {"TEN", "encoder"},     {"TIT2", "title"},     {"TT2", "title"},     {"TYER", "year"},
        {"TLAN", "language"},   {"TPE1", "artist"},    {"TP1", "artist"},    {"TPOS", "disc"},
        {"TPUB", "publisher"},  {"TRCK", "track"},     {"TRK", "track"},     {"TSOA", "albumsort"},
        {"TSOP", "authorsort"}, {"TSOT", "titlesort"},
    };
    for (const TKeyName& name : kNames)
        if (key == name.key)
            return name.shown;
    return key;
}

std::string RateText(double rate, const char* unit) {
    const long long hundredths = std::llround(rate * 100);
    if (hundredths % 100 != 0)
        return FormatText(", %3.2f %s", rate, unit);
    if (hundredths % 100000 != 0)
        return FormatText(", %1.0f %s", rate, unit);
    return FormatText(", %1.0fk %s", rate / 1000, unit);
}

std::string SecondsText(int64_t microseconds) {
    // Split the magnitude so that a negative start reads "-0.023220", not "0.-23220".
    const char* sign = microseconds < 0 ? "-" : "";
    const unsigned long long magnitude = microseconds < 0
                                             ? 0ULL - static_cast<unsigned long long>(microseconds)
                                             : static_cast<unsigned long long>(microseconds);
    return FormatText("%s%llu.%.6llu", sign, magnitude / 1000000, magnitude % 1000000);
}

std::string CodecNameOf(const AVCodecParameters* parameters) {
    if (const AVCodec* decoder = ff::avcodec_find_decoder(parameters->codec_id)) {
        const std::string longName = Trimmed(decoder->long_name);
        std::string name = decoder->name ? decoder->name : "";
        return longName.empty() ? name : FormatText("%s(%s)", name.c_str(), longName.c_str());
    }
    if (parameters->codec_id == AV_CODEC_ID_MPEG2TS)
        return "mpeg2ts";
    // Streams no longer carry a codec name of their own; the codec's registered name is the
    // nearest thing when this build has no decoder for it.
    if (parameters->codec_id != AV_CODEC_ID_NONE) {
        const AVCodecDescriptor* descriptor = ff::avcodec_descriptor_get(parameters->codec_id);
        std::string name = Trimmed(descriptor ? descriptor->name : nullptr);
        if (!name.empty())
            return name;
    }
    const uint32_t tag = parameters->codec_tag;
    const unsigned bytes[4] = {tag & 0xFF, (tag >> 8) & 0xFF, (tag >> 16) & 0xFF,
                               (tag >> 24) & 0xFF};
    if (IsPrintable(bytes[0]) && IsPrintable(bytes[1]) && IsPrintable(bytes[2]) &&
        IsPrintable(bytes[3]))
        return FormatText("%c%c%c%c / 0x%04X", bytes[0], bytes[1], bytes[2], bytes[3], tag);
    return FormatText("0x%04x", tag);
}

} // namespace probe_text

std::string TCustomMediaProbe::StreamLine(int index) const {
    const AVStream* stream = context_->streams[index];
    const AVCodecParameters* parameters = stream->codecpar;
    std::string line = FormatText("Stream #%d", index);
    if (context_->iformat && (context_->iformat->flags & AVFMT_SHOW_IDS))
        line += FormatText("[0x%x]", static_cast<unsigned>(stream->id));
    const std::string language = MetadataValue(stream->metadata, "language");
    if (!language.empty())
        line += "(" + language + ")";

    const AVRational timeBase = stream->time_base;
    int64_t divisor = ff::av_gcd(timeBase.num, timeBase.den);
    if (divisor == 0)
        divisor = 1;
    line += FormatText(", %lld/%lld", static_cast<long long>(timeBase.num / divisor),
                       static_cast<long long>(timeBase.den / divisor));

    // The libraries describe a codec from a codec context, not from stream parameters.
    TCodecContextPtr codec(ff::avcodec_alloc_context3(nullptr));
    AVRational codecTimeBase{0, 1};
    if (codec && ff::avcodec_parameters_to_context(codec.get(), parameters) >= 0) {
        char description[256] = {};
        ff::avcodec_string(description, sizeof description, codec.get(), 0);
        line += std::string(": ") + description;
        codecTimeBase = codec->time_base;
    } else {
        line += ": " + probe_text::CodecNameOf(parameters);
    }

    const AVRational sar = stream->sample_aspect_ratio;
    if (sar.num != 0 && av_cmp_q(sar, parameters->sample_aspect_ratio) != 0) {
        int darNum = 0;
        int darDen = 0;
        ff::av_reduce(&darNum, &darDen, static_cast<int64_t>(parameters->width) * sar.num,
                      static_cast<int64_t>(parameters->height) * sar.den, 1024 * 1024);
        line += FormatText(", PAR %d:%d DAR %d:%d", sar.num, sar.den, darNum, darDen);
    }

    if (parameters->codec_type == AVMEDIA_TYPE_VIDEO) {
        const auto addRate = [&line](AVRational rate, const char* unit) {
            if (rate.num != 0 && rate.den != 0)
                line += probe_text::RateText(static_cast<double>(rate.num) / rate.den, unit);
        };
        addRate(stream->avg_frame_rate, "fps");
        addRate(stream->r_frame_rate, "tbr");
        addRate(AVRational{timeBase.den, timeBase.num}, "tbn");
        addRate(AVRational{codecTimeBase.den, codecTimeBase.num}, "tbc");
        const int rotation = DisplayRotation(*stream);
        if (rotation != 0)
            line += FormatText(", Rotation: %d degrees", rotation);
    }

    if (stream->start_time != AV_NOPTS_VALUE)
        line += ", StartTime: " +
                probe_text::SecondsText(StreamToMicroseconds(stream->start_time, timeBase));
    if (stream->duration == AV_NOPTS_VALUE)
        line += ", Duration: N/A";
    else
        line += ", Duration: " + DurationText(StreamToMicroseconds(stream->duration, timeBase));
    return line + kLineBreak + MetadataBlock(stream->metadata, "  ");
}

std::string TCustomMediaProbe::FileInfoText() {
    if (!context_) {
        Report(TLogLevel::llWarning, "file not loaded.");
        return std::string();
    }
    const AVInputFormat* format = context_->iformat;
    std::string text;
    const auto addLine = [&text](const std::string& line) { text += line + kLineBreak; };
    addLine("File Name: " + FileName());
    addLine("Format Name: " + FormatName());
    addLine(std::string("Format Long Name: ") +
            (format && format->long_name ? format->long_name : ""));
    addLine("File Size: " + SizeText(fileSize_));
    const int64_t duration = context_->duration;
    addLine(duration == AV_NOPTS_VALUE || duration < 0 ? std::string("Duration: N/A")
                                                       : "Duration: " + DurationText(duration));
    if (context_->start_time != AV_NOPTS_VALUE && context_->start_time >= 0)
        addLine("StartTime: " + probe_text::SecondsText(context_->start_time));
    addLine(context_->bit_rate < 1 ? std::string("Bit Rate: N/A")
                                   : FormatText("Bit Rate: %lld kb/s",
                                                static_cast<long long>(context_->bit_rate / 1000)));
    const int64_t timestamp = CreationTime(context_->metadata);
    if (timestamp > 0)
        addLine("Time Stamp: " + DateTimeText(UnixToLocal(timestamp)));
    text += MetadataBlock(context_->metadata, "");

    std::vector<bool> described(context_->nb_streams, false);
    for (unsigned p = 0; p < context_->nb_programs; ++p) {
        const AVProgram* program = context_->programs[p];
        // Today's demuxers name the provider and service "service_provider"/"service_name".
        addLine(
            FormatText("Program %d %s@%s", program->id,
                       MetadataOr(program->metadata, "provider_name", "service_provider").c_str(),
                       MetadataOr(program->metadata, "name", "service_name").c_str()));
        text += MetadataBlock(program->metadata, "  ");
        std::vector<bool> inThisProgram(context_->nb_streams, false);
        for (unsigned s = 0; s < program->nb_stream_indexes; ++s) {
            const unsigned index = program->stream_index[s];
            if (index >= context_->nb_streams || inThisProgram[index])
                continue;
            inThisProgram[index] = true;
            described[index] = true;
            text += StreamLine(static_cast<int>(index));
        }
    }
    for (unsigned index = 0; index < context_->nb_streams; ++index)
        if (!described[index])
            text += StreamLine(static_cast<int>(index));
    return text;
}

} // namespace tovik
