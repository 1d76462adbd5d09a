#include "cli/ProbeJson.h"

#include "media/LibraryBindings.h"
#include "media/MediaProbe.h"

#include <cmath>

namespace tovik::cli {

namespace {

TJson Tags(const AVDictionary* metadata) {
    TJson tags = TJson::Object();
    const AVDictionaryEntry* entry = nullptr;
    while ((entry = ff::av_dict_get(metadata, "", entry, AV_DICT_IGNORE_SUFFIX)))
        tags.Set(entry->key ? entry->key : "", entry->value ? entry->value : "");
    return tags;
}

std::string RationalText(AVRational value) {
    return std::to_string(value.num) + "/" + std::to_string(value.den);
}

// Seconds from microseconds; null while unknown.
TJson Seconds(int64_t microseconds) {
    if (microseconds < 0 || microseconds == AV_NOPTS_VALUE)
        return {};
    return static_cast<double>(microseconds) / 1e6;
}

// A positive count, else null (the probe's -1 and the containers' 0 mean unknown).
TJson Known(int64_t value) {
    return value > 0 ? TJson(value) : TJson();
}

void SetIfKnown(TJson& object, const char* key, TJson value) {
    if (!value.IsNull())
        object.Set(key, std::move(value));
}

// The rotation of the stream's display matrix in degrees, as ffprobe gives it; null when
// the stream carries none.
TJson Rotation(const AVStream* stream) {
    for (int i = 0; i < stream->nb_side_data; ++i) {
        const AVPacketSideData& side = stream->side_data[i];
        if (side.type != AV_PKT_DATA_DISPLAYMATRIX || side.size < 9 * 4 ||
            !ff::av_display_rotation_get)
            continue;
        const double degrees =
            ff::av_display_rotation_get(reinterpret_cast<const int32_t*>(side.data));
        if (std::isfinite(degrees))
            return std::round(degrees * 100) / 100;
    }
    return {};
}

TJson StreamJson(TCustomMediaProbe& probe, int index) {
    const AVStream* stream = probe.Context()->streams[index];
    const AVCodecParameters* parameters = stream->codecpar;
    TJson json = TJson::Object();
    json.Set("index", index);
    const char* type = ff::av_get_media_type_string(parameters->codec_type);
    json.Set("codec_type", type ? type : "unknown");
    const char* codec = ff::avcodec_get_name(parameters->codec_id);
    json.Set("codec_name", codec ? codec : "none");
    if (const AVCodecDescriptor* descriptor = ff::avcodec_descriptor_get(parameters->codec_id))
        json.Set("codec_long_name", descriptor->long_name ? descriptor->long_name : "");
    json.Set("description", probe_text::CodecNameOf(parameters));
    if (probe.IsVideoStream(index)) {
        const TVideoStreamInfo video = probe.GetVideoStreamInfo(index);
        json.Set("width", video.Width);
        json.Set("height", video.Height);
        if (const char* format =
                ff::av_get_pix_fmt_name(static_cast<AVPixelFormat>(video.PixelFormat)))
            json.Set("pix_fmt", format);
        if (video.DisplayAspectRatio > 0)
            json.Set("display_aspect_ratio",
                     std::round(static_cast<double>(video.DisplayAspectRatio) * 10000) / 10000);
        if (video.FrameRateNum > 0 && video.FrameRateDen > 0) {
            json.Set("r_frame_rate",
                     std::to_string(video.FrameRateNum) + "/" + std::to_string(video.FrameRateDen));
            json.Set("frame_rate", static_cast<double>(video.FrameRateNum) / video.FrameRateDen);
        }
        if (stream->avg_frame_rate.num > 0 && stream->avg_frame_rate.den > 0)
            json.Set("avg_frame_rate", RationalText(stream->avg_frame_rate));
        SetIfKnown(json, "rotation", Rotation(stream));
        SetIfKnown(json, "bit_rate", Known(video.BitRate));
        SetIfKnown(json, "start_time", Seconds(video.StartTimeUS));
        SetIfKnown(json, "duration", Seconds(video.DurationUS));
        if (!video.Language.empty())
            json.Set("language", video.Language);
    } else if (probe.IsAudioStream(index)) {
        const TAudioStreamInfo audio = probe.GetAudioStreamInfo(index);
        json.Set("sample_rate", audio.SampleRate);
        json.Set("channels", audio.Channels);
        char layout[128] = "";
        if (ff::av_channel_layout_describe(&parameters->ch_layout, layout, sizeof layout) > 0)
            json.Set("channel_layout", layout);
        if (const char* format =
                ff::av_get_sample_fmt_name(static_cast<AVSampleFormat>(audio.SampleFormat)))
            json.Set("sample_fmt", format);
        SetIfKnown(json, "bit_rate", Known(audio.BitRate));
        SetIfKnown(json, "start_time", Seconds(audio.StartTimeUS));
        SetIfKnown(json, "duration", Seconds(audio.DurationUS));
        if (!audio.Language.empty())
            json.Set("language", audio.Language);
    } else {
        SetIfKnown(json, "bit_rate", Known(parameters->bit_rate));
    }
    json.Set("time_base", RationalText(stream->time_base));
    json.Set("tags", Tags(stream->metadata));
    return json;
}

} // namespace

TJson ProbeJson(TCustomMediaProbe& probe) {
    const AVFormatContext* context = probe.Context();
    TJson document = TJson::Object();
    document.Set("filename", probe.FileName());

    const TFileStreamInfo facts = probe.GetFileStreamInfo();
    TJson format = TJson::Object();
    format.Set("format_name", probe.FormatName());
    if (context->iformat && context->iformat->long_name)
        format.Set("format_long_name", context->iformat->long_name);
    format.Set("nb_streams", probe.StreamCount());
    format.Set("nb_programs", probe.ProgramCount());
    format.Set("start_time", Seconds(facts.StartTime));
    format.Set("duration", Seconds(facts.Duration));
    format.Set("size", Known(probe.FileSize()));
    format.Set("bit_rate", Known(facts.BitRate));
    format.Set("tags", Tags(context->metadata));
    document.Set("format", std::move(format));

    TJson programs = TJson::Array();
    for (unsigned p = 0; p < context->nb_programs; ++p) {
        const AVProgram* program = context->programs[p];
        TJson json = TJson::Object();
        json.Set("program_id", program->id);
        json.Set("program_num", program->program_num);
        TJson streams = TJson::Array();
        for (unsigned s = 0; s < program->nb_stream_indexes; ++s)
            if (program->stream_index[s] < context->nb_streams)
                streams.Append(static_cast<int64_t>(program->stream_index[s]));
        json.Set("streams", std::move(streams));
        json.Set("tags", Tags(program->metadata));
        programs.Append(std::move(json));
    }
    document.Set("programs", std::move(programs));

    TJson streams = TJson::Array();
    for (int index = 0; index < probe.StreamCount(); ++index)
        streams.Append(StreamJson(probe, index));
    document.Set("streams", std::move(streams));
    return document;
}

} // namespace tovik::cli
