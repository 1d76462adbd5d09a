#include "media/MediaProbe.h"

#include "media/CodecLock.h"
#include "media/DisplayRotation.h"
#include "media/FFmpegLoader.h"
#include "media/LibraryBindings.h"
#include "media/MediaProbeDetail.h"
#include "media/MyUtils.h"
#include "media/TextFormat.h"
#include "media/UnicodeProtocol.h"

#include <cmath>
#include <limits>
#include <stdexcept>

namespace tovik {

namespace probe_detail {

int32_t ClampToInt32(int64_t value) {
    if (value > std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    if (value < std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

std::string MetadataValue(const AVDictionary* metadata, const char* key) {
    const AVDictionaryEntry* entry = ff::av_dict_get(metadata, key, nullptr, 0);
    return entry && entry->value ? std::string(entry->value) : std::string();
}

int32_t LeadingNumber(const std::string& text) {
    size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t'))
        ++at;
    int64_t value = 0;
    bool any = false;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        any = true;
        value = value * 10 + (text[at] - '0');
        if (value > std::numeric_limits<int32_t>::max())
            return 0; // not a year or a track number
    }
    return any ? static_cast<int32_t>(value) : 0;
}

int64_t CreationTime(const AVDictionary* metadata) {
    // Today's demuxers keep the creation time as ISO 8601 text ("2020-01-02T03:04:05Z").
    const std::string text = MetadataValue(metadata, "creation_time");
    if (text.empty())
        return 0;
    int64_t microseconds = 0;
    if (ff::av_parse_time(&microseconds, text.c_str(), 0) < 0)
        return 0;
    return microseconds / 1000000;
}

AVRational RepairedTimeBase(AVRational timeBase) {
    if (timeBase.den == 0)
        timeBase.den = timeBase.num != 0 ? timeBase.num : 1;
    return timeBase;
}

int64_t StreamToMicroseconds(int64_t value, AVRational timeBase) {
    if (value == AV_NOPTS_VALUE)
        return -1;
    return ff::av_rescale_q(value, RepairedTimeBase(timeBase), AVRational{1, 1000000});
}

} // namespace probe_detail

using namespace probe_detail;

TCustomMediaProbe::TCustomMediaProbe() = default;

TCustomMediaProbe::~TCustomMediaProbe() {
    ReleaseContext();
}

void TCustomMediaProbe::CheckLibraries() const {
    const TFFmpegLoader& loader = FFmpegLoader();
    if (!loader.LibLoaded(TLibraryId::libAVCodec))
        throw std::runtime_error("LibAVCodec not loaded.");
    if (!loader.LibLoaded(TLibraryId::libAVFormat))
        throw std::runtime_error("LibAVFormat not loaded.");
    if (!loader.LibLoaded(TLibraryId::libAVUtil))
        throw std::runtime_error("LibAVUtil not loaded.");
    if (!loader.LibLoaded(TLibraryId::libSwScale))
        throw std::runtime_error("LibSwScale not loaded.");
}

void TCustomMediaProbe::Report(TLogLevel level, const std::string& message) {
    lastErrMsg_ = message;
    LoggerInstance().Log(this, level, message);
}

bool TCustomMediaProbe::LoadFile(const std::string& fileName, const std::string& formatName) {
    CheckLibraries();
    CloseFile();

    const AVInputFormat* format = nullptr;
    if (!formatName.empty()) {
        format = ff::av_find_input_format(formatName.c_str());
        if (!format) {
            lastErrMsg_ = FormatText("Unknown input format: %s", formatName.c_str());
            return false;
        }
    }

    std::string libraryName;
    try {
        libraryName = NameForLibrary(fileName);
    } catch (const std::length_error& error) {
        Report(TLogLevel::llError, error.what());
        return false;
    }

    AVFormatContext* context = ff::avformat_alloc_context();
    if (!context) {
        Report(TLogLevel::llError, ErrorText(fileName, AVERROR(ENOMEM)));
        return false;
    }
    // Reading must not wait on a slow source: the probe runs on the main thread.
    context->flags |= AVFMT_FLAG_NONBLOCK;
    const int opened = OpenInputFormat(&context, libraryName, format, nullptr);
    if (opened < 0) {
        // The libraries free a context they could not open; free what may be left.
        CloseInputFormat(&context);
        Report(TLogLevel::llError, ErrorText(fileName, opened));
        CloseFile();
        return false;
    }
    context_ = context;
    ownsContext_ = true;

    int found;
    {
        std::lock_guard<std::mutex> lock(CodecLock());
        found = ff::avformat_find_stream_info(context_, nullptr);
    }
    if (found < 0) {
        lastErrMsg_ = FormatText("%s: could not find codec parameters", fileName.c_str());
        CloseFile();
        return false;
    }
    ReadStreamFacts();
    return true;
}

void TCustomMediaProbe::AttachContext(AVFormatContext* context) {
    CheckLibraries();
    if (context && context == context_) {
        // Attaching the context we already hold must not close it under its owner.
        ReadStreamFacts();
        return;
    }
    CloseFile();
    context_ = context;
    ownsContext_ = false;
    ReadStreamFacts();
}

void TCustomMediaProbe::ReleaseContext() {
    if (context_ && ownsContext_ && ff::avformat_close_input) {
        std::lock_guard<std::mutex> lock(CodecLock());
        CloseInputFormat(&context_);
    }
    // A context whose library is already gone cannot be closed any more; forget it.
    context_ = nullptr;
    ownsContext_ = false;
}

void TCustomMediaProbe::CloseFile() {
    ReleaseContext();
    ReadStreamFacts();
}

void TCustomMediaProbe::ReadStreamFacts() {
    fileSize_ = -1;
    streamCount_ = -1;
    programCount_ = -1;
    audioStreamCount_ = -1;
    videoStreamCount_ = -1;
    subtitleStreamCount_ = -1;
    firstAudioStreamIndex_ = -1;
    firstVideoStreamIndex_ = -1;
    firstSubtitleStreamIndex_ = -1;
    if (!context_)
        return;

    int64_t containerSize = context_->pb ? ff::avio_size(context_->pb) : -1;
    if (containerSize < 0)
        containerSize = -1; // an error code, not a size
    if (containerSize > 0) {
        fileSize_ = containerSize;
    } else {
        const std::string name = FileName();
        fileSize_ = FileExistsNotDirectory(name) ? FileSizeOf(name) : containerSize;
    }

    streamCount_ = static_cast<int>(context_->nb_streams);
    programCount_ = static_cast<int>(context_->nb_programs);
    audioStreamCount_ = 0;
    videoStreamCount_ = 0;
    subtitleStreamCount_ = 0;
    for (int index = 0; index < streamCount_; ++index) {
        const AVStream* stream = context_->streams[index];
        switch (stream->codecpar->codec_type) {
        case AVMEDIA_TYPE_VIDEO:
            ++videoStreamCount_;
            if (firstVideoStreamIndex_ < 0)
                firstVideoStreamIndex_ = index;
            break;
        case AVMEDIA_TYPE_AUDIO:
            ++audioStreamCount_;
            if (firstAudioStreamIndex_ < 0)
                firstAudioStreamIndex_ = index;
            break;
        case AVMEDIA_TYPE_SUBTITLE:
            ++subtitleStreamCount_;
            if (firstSubtitleStreamIndex_ < 0)
                firstSubtitleStreamIndex_ = index;
            break;
        default: // data and attachments are not counted
            break;
        }
    }
}

std::string TCustomMediaProbe::FileName() const {
    if (!context_ || !context_->url)
        return std::string();
    return NameFromLibrary(context_->url);
}

std::string TCustomMediaProbe::FormatName() const {
    if (!context_ || !context_->iformat || !context_->iformat->name)
        return std::string();
    return context_->iformat->name;
}

TFileStreamInfo TCustomMediaProbe::GetFileStreamInfo() {
    TFileStreamInfo info;
    if (!context_) {
        Report(TLogLevel::llWarning, "file not loaded.");
        return info;
    }
    info.StartTime = context_->start_time == AV_NOPTS_VALUE ? -1 : context_->start_time;
    info.Duration = context_->duration == AV_NOPTS_VALUE ? -1 : context_->duration;
    info.BitRate = ClampToInt32(context_->bit_rate);
    // Today's libraries keep creation time, year and track as metadata.
    const AVDictionary* metadata = context_->metadata;
    info.Timestamp = CreationTime(metadata);
    std::string year = MetadataValue(metadata, "year");
    if (year.empty())
        year = MetadataValue(metadata, "date");
    info.Year = LeadingNumber(year);
    info.Track = LeadingNumber(MetadataValue(metadata, "track"));
    info.Title = MetadataValue(metadata, "title");
    info.Author = MetadataValue(metadata, "author");
    if (info.Author.empty()) // the name today's demuxers give this tag
        info.Author = MetadataValue(metadata, "artist");
    info.RightsNote = MetadataValue(metadata, "copyright");
    info.Comment = MetadataValue(metadata, "comment");
    info.Album = MetadataValue(metadata, "album");
    info.Genre = MetadataValue(metadata, "genre");
    return info;
}

AVStream* TCustomMediaProbe::FindStream(int index, int wantedType) {
    const bool audio = wantedType == AVMEDIA_TYPE_AUDIO;
    if (!context_) {
        Report(TLogLevel::llWarning, "file not loaded.");
        return nullptr;
    }
    if (index < 0) {
        index = audio ? firstAudioStreamIndex_ : firstVideoStreamIndex_;
        if (index < 0) {
            Report(TLogLevel::llError, audio ? "no audio stream." : "no video stream.");
            return nullptr;
        }
    }
    if (index >= streamCount_) {
        Report(TLogLevel::llError, FormatText("stream index #%d is invalid.", index));
        return nullptr;
    }
    AVStream* stream = context_->streams[index];
    if (stream->codecpar->codec_type != wantedType) {
        Report(TLogLevel::llError, FormatText(audio ? "stream #%d is not audio stream."
                                                    : "stream #%d is not video stream.",
                                              index));
        return nullptr;
    }
    return stream;
}

namespace {

// The fields audio and video records share.
template <typename TRecord> void FillCommonFacts(TRecord& info, AVStream* stream) {
    info.Language = MetadataValue(stream->metadata, "language");
    info.CodecName = probe_text::CodecNameOf(stream->codecpar);
    info.StartTime = stream->start_time;
    info.Duration = stream->duration;
    // A broken time base is repaired where it lives, so later users of the stream agree.
    stream->time_base = RepairedTimeBase(stream->time_base);
    info.StartTimeUS = StreamToMicroseconds(stream->start_time, stream->time_base);
    info.DurationUS = StreamToMicroseconds(stream->duration, stream->time_base);
    info.BitRate = ClampToInt32(stream->codecpar->bit_rate);
}

bool IsUsableRate(AVRational rate) {
    return rate.num > 0 && rate.den > 0;
}

// The container's frame count when it keeps one (AVI, MP4); otherwise the stream's length,
// or the file's, at its average rate (Matroska and transport streams keep no count).
int64_t FrameCountOf(const AVStream& stream, int64_t fileDurationUs) {
    if (stream.nb_frames > 0)
        return stream.nb_frames;
    const AVRational rate =
        IsUsableRate(stream.avg_frame_rate) ? stream.avg_frame_rate : stream.r_frame_rate;
    int64_t durationUs = StreamToMicroseconds(stream.duration, stream.time_base);
    if (durationUs <= 0)
        durationUs = fileDurationUs;
    if (!IsUsableRate(rate) || durationUs <= 0)
        return -1;
    return std::llround(static_cast<double>(durationUs) / 1e6 * rate.num / rate.den);
}

} // namespace

TAudioStreamInfo TCustomMediaProbe::GetAudioStreamInfo(int index) {
    TAudioStreamInfo info;
    AVStream* stream = FindStream(index, AVMEDIA_TYPE_AUDIO);
    if (!stream)
        return info;
    FillCommonFacts(info, stream);
    const AVCodecParameters* parameters = stream->codecpar;
    info.Channels = parameters->ch_layout.nb_channels;
    info.SampleRate = parameters->sample_rate;
    info.SampleFormat = parameters->format;
    return info;
}

TVideoStreamInfo TCustomMediaProbe::GetVideoStreamInfo(int index) {
    TVideoStreamInfo info;
    AVStream* stream = FindStream(index, AVMEDIA_TYPE_VIDEO);
    if (!stream)
        return info;
    FillCommonFacts(info, stream);
    const AVCodecParameters* parameters = stream->codecpar;
    info.Height = parameters->height;
    info.Width = parameters->width;
    info.PixelFormat = parameters->format;
    const AVRational sar = parameters->sample_aspect_ratio;
    if (sar.num == 0 || sar.den == 0 || parameters->height <= 0)
        info.DisplayAspectRatio = 0.0f;
    else
        info.DisplayAspectRatio = static_cast<float>(static_cast<double>(sar.num) / sar.den *
                                                     parameters->width / parameters->height);
    info.FrameRateNum = stream->r_frame_rate.num;
    info.FrameRateDen = stream->r_frame_rate.den;
    info.FrameCount =
        FrameCountOf(*stream, context_->duration == AV_NOPTS_VALUE ? -1 : context_->duration);
    info.Rotation = DisplayRotation(*stream);
    return info;
}

bool TCustomMediaProbe::IsStreamOfType(int index, int type) {
    if (!context_) {
        Report(TLogLevel::llWarning, "file not loaded.");
        return false;
    }
    if (index < 0 || index >= streamCount_) {
        Report(TLogLevel::llError, FormatText("stream index #%d is invalid.", index));
        return false;
    }
    return context_->streams[index]->codecpar->codec_type == type;
}

bool TCustomMediaProbe::IsAudioStream(int index) {
    return IsStreamOfType(index, AVMEDIA_TYPE_AUDIO);
}

bool TCustomMediaProbe::IsVideoStream(int index) {
    return IsStreamOfType(index, AVMEDIA_TYPE_VIDEO);
}

void TMediaProbe::CloseFile() {
    TCustomMediaProbe::CloseFile();
}

void TMediaProbe::ReadStreamFacts() {
    TCustomMediaProbe::ReadStreamFacts();
}

} // namespace tovik
