#include "engine/AudioConverter.h"

#include "media/MyUtils.h"
#include "media/TextFormat.h"

#include <algorithm>
#include <cmath>

namespace tovik {

TAudioConverter::~TAudioConverter() {
    Close();
}

void TAudioConverter::Close() {
    resampler_.reset();
    if (fifo_) {
        ff::av_audio_fifo_free(fifo_);
        fifo_ = nullptr;
    }
    if (convertBuffer_) {
        ff::av_freep(static_cast<void*>(&convertBuffer_[0]));
        ff::av_freep(static_cast<void*>(&convertBuffer_));
    }
    convertCapacity_ = 0;
    ff::av_channel_layout_uninit(&input_.Layout);
    ff::av_channel_layout_uninit(&output_.Layout);
}

TSwrContextPtr TAudioConverter::MakeResampler(bool compensation, std::string& error) {
    SwrContext* context = nullptr;
    int result =
        ff::swr_alloc_set_opts2(&context, &output_.Layout, output_.Format, output_.SampleRate,
                                &input_.Layout, input_.Format, input_.SampleRate, 0, nullptr);
    TSwrContextPtr made(context);
    if (result >= 0) {
        // Filter as the engine always resampled: 16 taps, 2^10 phases, cutoff 0.8; with
        // compensation, resample even at equal rates so that drift can be corrected.
        ff::av_opt_set_int(context, "filter_size", 16, 0);
        ff::av_opt_set_int(context, "phase_shift", 10, 0);
        ff::av_opt_set_double(context, "cutoff", 0.8, 0);
        if (compensation)
            ff::av_opt_set_double(context, "min_comp", 0.001, 0);
        result = ff::swr_init(context);
    }
    if (result < 0) {
        error = FormatText("Can not resample %d channels @ %d Hz to %d channels @ %d Hz",
                           input_.Layout.nb_channels, input_.SampleRate, output_.Layout.nb_channels,
                           output_.SampleRate);
        made.reset();
    }
    return made;
}

bool TAudioConverter::TakesInput(const TAudioFormat& input) const {
    return resampler_ && input.Format == input_.Format && input.SampleRate == input_.SampleRate &&
           ff::av_channel_layout_compare(&input.Layout, &input_.Layout) == 0;
}

bool TAudioConverter::ChangeInput(const TAudioFormat& input, std::string& error,
                                  bool compensation) {
    if (!resampler_ || Push(nullptr) < 0) {
        error = "Cannot drain the resampler";
        Close();
        return false;
    }
    ff::av_channel_layout_uninit(&input_.Layout);
    input_.Format = input.Format;
    input_.SampleRate = input.SampleRate;
    if (ff::av_channel_layout_copy(&input_.Layout, &input.Layout) < 0) {
        error = "Not enough memory";
        Close();
        return false;
    }
    resampler_ = MakeResampler(compensation, error);
    if (!resampler_) {
        Close();
        return false;
    }
    return true;
}

bool TAudioConverter::Open(const TAudioFormat& input, const TAudioFormat& output,
                           std::string& error, bool compensation) {
    Close();
    input_.Format = input.Format;
    input_.SampleRate = input.SampleRate;
    output_.Format = output.Format;
    output_.SampleRate = output.SampleRate;
    if (ff::av_channel_layout_copy(&input_.Layout, &input.Layout) < 0 ||
        ff::av_channel_layout_copy(&output_.Layout, &output.Layout) < 0) {
        error = "Not enough memory";
        return false;
    }
    resampler_ = MakeResampler(compensation, error);
    if (!resampler_) {
        Close();
        return false;
    }
    fifo_ = ff::av_audio_fifo_alloc(output_.Format, output_.Layout.nb_channels, 4096);
    if (!fifo_) {
        error = "Not enough memory";
        Close();
        return false;
    }
    return true;
}

int TAudioConverter::Push(const AVFrame* frame, int dropInputSamples) {
    if (!resampler_)
        return AVERROR(EINVAL);
    const uint8_t** in = nullptr;
    int inSamples = 0;
    const uint8_t* shifted[AV_NUM_DATA_POINTERS] = {};
    if (frame) {
        dropInputSamples = std::clamp(dropInputSamples, 0, frame->nb_samples);
        inSamples = frame->nb_samples - dropInputSamples;
        if (inSamples == 0)
            return 0;
        const int bytesPerSample = ff::av_get_bytes_per_sample(input_.Format);
        const bool planar = ff::av_sample_fmt_is_planar(input_.Format);
        const int planes = planar ? input_.Layout.nb_channels : 1;
        const int skipBytes =
            dropInputSamples * bytesPerSample * (planar ? 1 : input_.Layout.nb_channels);
        for (int plane = 0; plane < planes && plane < AV_NUM_DATA_POINTERS; ++plane)
            shifted[plane] = frame->extended_data[plane] + skipBytes;
        in = shifted;
    }
    const int outCapacity = ff::swr_get_out_samples(resampler_.get(), inSamples);
    if (outCapacity < 0)
        return outCapacity;
    if (outCapacity > convertCapacity_) {
        if (convertBuffer_) {
            ff::av_freep(static_cast<void*>(&convertBuffer_[0]));
            ff::av_freep(static_cast<void*>(&convertBuffer_));
        }
        convertCapacity_ = 0;
        int result = ff::av_samples_alloc_array_and_samples(
            &convertBuffer_, nullptr, output_.Layout.nb_channels, outCapacity, output_.Format, 0);
        if (result < 0)
            return result;
        convertCapacity_ = outCapacity;
    }
    const int converted =
        ff::swr_convert(resampler_.get(), convertBuffer_, convertCapacity_, in, inSamples);
    if (converted < 0)
        return converted;
    if (converted > 0) {
        int written =
            ff::av_audio_fifo_write(fifo_, reinterpret_cast<void**>(convertBuffer_), converted);
        if (written < converted)
            return written < 0 ? written : AVERROR(ENOMEM);
    }
    return converted;
}

int TAudioConverter::AddSilence(int samples) {
    if (!fifo_ || samples <= 0)
        return 0;
    uint8_t** silence = nullptr;
    int result = ff::av_samples_alloc_array_and_samples(
        &silence, nullptr, output_.Layout.nb_channels, samples, output_.Format, 0);
    if (result < 0)
        return result;
    ff::av_samples_set_silence(silence, 0, samples, output_.Layout.nb_channels, output_.Format);
    result = ff::av_audio_fifo_write(fifo_, reinterpret_cast<void**>(silence), samples);
    ff::av_freep(static_cast<void*>(&silence[0]));
    ff::av_freep(static_cast<void*>(&silence));
    return result;
}

int TAudioConverter::Compensate(int sampleDelta, int distance) {
    if (!resampler_)
        return AVERROR(EINVAL);
    return ff::swr_set_compensation(resampler_.get(), sampleDelta, distance);
}

int TAudioConverter::FifoSamples() const {
    return fifo_ ? ff::av_audio_fifo_size(fifo_) : 0;
}

int64_t TAudioConverter::Delay() const {
    return resampler_ ? ff::swr_get_delay(resampler_.get(), output_.SampleRate) : 0;
}

int TAudioConverter::Pop(AVFrame* frame, int samples, bool padToSize) {
    if (!fifo_ || samples <= 0)
        return AVERROR(EINVAL);
    const int available = std::min(samples, FifoSamples());
    if (available == 0)
        return 0;
    ff::av_frame_unref(frame);
    frame->format = output_.Format;
    frame->sample_rate = output_.SampleRate;
    frame->nb_samples = padToSize ? samples : available;
    int result = ff::av_channel_layout_copy(&frame->ch_layout, &output_.Layout);
    if (result < 0 || (result = ff::av_frame_get_buffer(frame, 0)) < 0)
        return result;
    result =
        ff::av_audio_fifo_read(fifo_, reinterpret_cast<void**>(frame->extended_data), available);
    if (result < 0)
        return result;
    if (frame->nb_samples > available)
        ff::av_samples_set_silence(frame->extended_data, available, frame->nb_samples - available,
                                   output_.Layout.nb_channels, output_.Format);
    return available;
}

namespace {

template <typename T>
void ScaleIntegers(T* samples, size_t count, int volume, int64_t low, int64_t high) {
    for (size_t i = 0; i < count; ++i) {
        const int64_t value = (static_cast<int64_t>(samples[i]) * volume + 128) >> 8;
        samples[i] = static_cast<T>(std::clamp(value, low, high));
    }
}

template <typename T> void ScaleFloats(T* samples, size_t count, int volume) {
    const T factor = static_cast<T>(volume) / static_cast<T>(256);
    for (size_t i = 0; i < count; ++i)
        samples[i] = std::clamp(samples[i] * factor, static_cast<T>(-1), static_cast<T>(1));
}

} // namespace

void ApplyVolume(AVFrame& frame, int volume) {
    if (volume == 256 || frame.nb_samples <= 0)
        return;
    const auto format = static_cast<AVSampleFormat>(frame.format);
    const bool planar = ff::av_sample_fmt_is_planar(format);
    const int channels = frame.ch_layout.nb_channels;
    const int planes = planar ? channels : 1;
    const size_t count = static_cast<size_t>(frame.nb_samples) * (planar ? 1 : channels);
    for (int plane = 0; plane < planes; ++plane) {
        uint8_t* data = frame.extended_data[plane];
        switch (ff::av_get_packed_sample_fmt(format)) {
        case AV_SAMPLE_FMT_S16:
            ScaleIntegers(reinterpret_cast<int16_t*>(data), count, volume, INT16_MIN, INT16_MAX);
            break;
        case AV_SAMPLE_FMT_S32:
            ScaleIntegers(reinterpret_cast<int32_t*>(data), count, volume, INT32_MIN, INT32_MAX);
            break;
        case AV_SAMPLE_FMT_FLT:
            ScaleFloats(reinterpret_cast<float*>(data), count, volume);
            break;
        case AV_SAMPLE_FMT_DBL:
            ScaleFloats(reinterpret_cast<double*>(data), count, volume);
            break;
        case AV_SAMPLE_FMT_U8:
            for (size_t i = 0; i < count; ++i) {
                const int centred = (static_cast<int>(data[i]) - 128) * volume;
                data[i] = static_cast<uint8_t>(std::clamp((centred + 128) / 256 + 128, 0, 255));
            }
            break;
        default:
            break;
        }
    }
}

} // namespace tovik
