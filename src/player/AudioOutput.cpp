// Sound: the SDL2 audio device, its callback, and the decoding of audio blocks on demand,
// converted by libswresample to what the device opened with (any sample format, layout
// and rate; 5.1 and 7.1 are mixed down).

#include "media/TextFormat.h"
#include "player/MediaPlayer.h"
#include "player/Playback.h"

#include <algorithm>
#include <cstring>

namespace tovik {

bool TPlayback::OpenAudioDevice(int channels, int sampleRate) {
    SDL_AudioSpec wanted{};
    wanted.freq = sampleRate;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = static_cast<Uint8>(channels);
    wanted.samples = kSoundBlockFrames;
    wanted.callback = &TPlayback::SdlAudioCallback;
    wanted.userdata = this;
    audioDevice_ = sdl::SDL_OpenAudioDevice(nullptr, 0, &wanted, &audioSpec_,
                                            SDL_AUDIO_ALLOW_FREQUENCY_CHANGE |
                                                SDL_AUDIO_ALLOW_CHANNELS_CHANGE);
    if (audioDevice_ == 0) {
        player_.ReportError(std::string("SDL_OpenAudio() failed: ") + sdl::SDL_GetError(), false);
        return false;
    }
    waveformChannels_ = audioSpec_.channels;
    return true;
}

void TPlayback::SdlAudioCallback(void* userData, Uint8* stream, int length) {
    static_cast<TPlayback*>(userData)->AudioCallback(stream, length);
}

void TPlayback::AudioCallback(uint8_t* stream, int length) {
    const double bytesPerSecond = static_cast<double>(audioSpec_.freq) * 2 * audioSpec_.channels;
    int written = 0;
    if (!paused_.load()) {
        const int volume = std::clamp(player_.AudioVolume(), 0, kMaxAudioVolume);
        const bool mute = player_.Mute() || volume == 0;
        uint8_t* out = stream;
        int wanted = length;
        while (wanted > 0) {
            if (soundBufferIndex_ >= soundBufferSize_) {
                const int bytes = DecodeAudioBlock();
                if (bytes <= 0)
                    break;
                soundBufferSize_ = bytes;
                soundBufferIndex_ = 0;
            }
            const int chunk = std::min(wanted, soundBufferSize_ - soundBufferIndex_);
            const uint8_t* source = soundBuffer_.data() + soundBufferIndex_;
            if (mute) {
                std::memset(out, 0, static_cast<size_t>(chunk));
            } else if (volume == kMaxAudioVolume) {
                std::memcpy(out, source, static_cast<size_t>(chunk));
            } else {
                std::memset(out, 0, static_cast<size_t>(chunk));
                sdl::SDL_MixAudioFormat(out, source, AUDIO_S16SYS, static_cast<Uint32>(chunk),
                                        volume);
            }
            out += chunk;
            wanted -= chunk;
            soundBufferIndex_ += chunk;
            written += chunk;
        }
    }
    if (written < length)
        std::memset(stream + written, 0, static_cast<size_t>(length - written));

    const double now = Now();
    std::lock_guard lock(audioMutex_);
    if (written > 0) {
        // The first sample handed out now is heard from now on.
        const double endOfBlock =
            audioDecodedClock_ - (soundBufferSize_ - soundBufferIndex_) / bytesPerSecond;
        audioBlockSeconds_ = written / bytesPerSecond;
        audioBlockStart_ = endOfBlock - audioBlockSeconds_;
        audioClockRuns_ = true;
    } else if (audioClockRuns_) {
        // Silence: the clock stops where the sound stopped.
        audioBlockStart_ += std::clamp(now - audioCallbackTime_, 0.0, audioBlockSeconds_);
        audioClockRuns_ = false;
    }
    audioClockSet_ = true;
    audioCallbackTime_ = now;
    waveformUnread_ = (soundBufferSize_ - soundBufferIndex_) / (2 * audioSpec_.channels);
}

bool TPlayback::ConvertAudio(const AVFrame& frame, int& bytes) {
    AVChannelLayout layout{};
    if (frame.ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
        ff::av_channel_layout_default(&layout, frame.ch_layout.nb_channels);
    else
        ff::av_channel_layout_copy(&layout, &frame.ch_layout);
    if (!resampler_ || frame.format != resamplerFormat_ || frame.sample_rate != resamplerRate_ ||
        ff::av_channel_layout_compare(&layout, &resamplerLayout_) != 0) {
        resampler_.reset();
        AVChannelLayout output{};
        ff::av_channel_layout_default(&output, audioSpec_.channels);
        SwrContext* context = nullptr;
        if (ff::swr_alloc_set_opts2(&context, &output, AV_SAMPLE_FMT_S16, audioSpec_.freq, &layout,
                                    static_cast<AVSampleFormat>(frame.format), frame.sample_rate, 0,
                                    nullptr) < 0 ||
            ff::swr_init(context) < 0) {
            ff::swr_free(&context);
            const char* name =
                ff::av_get_sample_fmt_name(static_cast<AVSampleFormat>(frame.format));
            player_.ReportError(FormatText("Cannot convert %s sample format to %s sample format",
                                           name ? name : "none", "s16"),
                                false);
            ff::av_channel_layout_uninit(&layout);
            ff::av_channel_layout_uninit(&output);
            return false;
        }
        ff::av_channel_layout_uninit(&output);
        resampler_.reset(context);
        ff::av_channel_layout_uninit(&resamplerLayout_);
        ff::av_channel_layout_copy(&resamplerLayout_, &layout);
        resamplerFormat_ = frame.format;
        resamplerRate_ = frame.sample_rate;
    }
    ff::av_channel_layout_uninit(&layout);
    const int frameBytes = 2 * audioSpec_.channels;
    const int room = ff::swr_get_out_samples(resampler_.get(), frame.nb_samples);
    if (room < 0)
        return false;
    if (static_cast<size_t>(room) * frameBytes > soundBuffer_.size())
        soundBuffer_.resize(static_cast<size_t>(room) * frameBytes);
    uint8_t* out[1] = {soundBuffer_.data()};
    const int converted =
        ff::swr_convert(resampler_.get(), out, room,
                        const_cast<const uint8_t**>(frame.extended_data), frame.nb_samples);
    if (converted < 0) {
        player_.ReportError("av_audio_convert() failed", false);
        return false;
    }
    bytes = converted * frameBytes;
    return true;
}

int TPlayback::DecodeAudioBlock() {
    AVCodecContext* codec = audioCodec_.get();
    const double timeBase = ::av_q2d(audioStream_->time_base);
    TPacketPtr packet;
    for (;;) {
        const int result = ff::avcodec_receive_frame(codec, audioFrame_.get());
        if (result >= 0) {
            AVFrame& frame = *audioFrame_;
            const int64_t timestamp = frame.best_effort_timestamp;
            const double start =
                timestamp != AV_NOPTS_VALUE ? timestamp * timeBase : audioDecodedClock_;
            const double duration = frame.sample_rate > 0
                                        ? static_cast<double>(frame.nb_samples) / frame.sample_rate
                                        : 0;
            // After an exact seek: samples before the target are not played.
            if (start + duration <= audioSkipUntil_.load()) {
                ff::av_frame_unref(&frame);
                continue;
            }
            int bytes = 0;
            const bool converted = ConvertAudio(frame, bytes);
            ff::av_frame_unref(&frame);
            if (!converted || bytes <= 0)
                continue;
            audioDecodedClock_ = start + duration;
            if (waveformOn_) {
                std::lock_guard lock(audioMutex_);
                const auto* samples = reinterpret_cast<const int16_t*>(soundBuffer_.data());
                const int count = bytes / 2;
                for (int i = 0; i < count; ++i) {
                    waveform_[static_cast<size_t>(waveformIndex_)] = samples[i];
                    waveformIndex_ = (waveformIndex_ + 1) % kWaveformSamples;
                }
            }
            return bytes;
        }
        if (result == AVERROR_EOF) {
            audioEnded_ = true;
        } else if (result != AVERROR(EAGAIN)) {
            player_.Log(TLogLevel::llInfo, "avcodec_decode_audio2() failed");
        }
        if (paused_.load())
            return -1;
        bool aborted = false;
        const TQueueEntry entry = audioQueue_.Get(packet, false, &aborted);
        if (entry == TQueueEntry::qeNone)
            return -1;
        if (entry == TQueueEntry::qeFlush) {
            ff::avcodec_flush_buffers(codec);
            resampler_.reset();
            audioEnded_ = false;
            continue;
        }
        if (entry == TQueueEntry::qeEnd) {
            if (!audioEnded_)
                ff::avcodec_send_packet(codec, nullptr);
            continue;
        }
        if (audioEnded_) {
            ff::avcodec_flush_buffers(codec);
            audioEnded_ = false;
        }
        const int error = ff::avcodec_send_packet(codec, packet.get());
        packet.reset();
        if (error < 0 && error != AVERROR(EAGAIN))
            player_.Log(TLogLevel::llInfo, "avcodec_decode_audio2() failed");
    }
}

} // namespace tovik
