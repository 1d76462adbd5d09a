#pragma once
// Audio between decoder and encoder: converts sample format, channel layout and rate with
// libswresample, corrects drift, adds or drops samples to hold sync, and keeps the result in
// a FIFO from which the encoder takes frames of its own size.

#include "media/FFmpegPtr.h"

#include <string>

namespace tovik {

struct TAudioFormat {
    AVSampleFormat Format = AV_SAMPLE_FMT_NONE;
    AVChannelLayout Layout{};
    int SampleRate = 0;
};

class TAudioConverter {
public:
    TAudioConverter() = default;
    ~TAudioConverter();
    TAudioConverter(const TAudioConverter&) = delete;
    TAudioConverter& operator=(const TAudioConverter&) = delete;

    // Prepares the conversion from input to output. False with a reason on failure.
    // compensation: keep the resampler running at equal rates, so that Compensate works.
    bool Open(const TAudioFormat& input, const TAudioFormat& output, std::string& error,
              bool compensation = true);
    bool IsOpen() const { return resampler_ != nullptr; }
    const TAudioFormat& Output() const { return output_; }
    // Whether frames of this format are what the open conversion takes.
    bool TakesInput(const TAudioFormat& input) const;
    // The decoder changed its sound format mid-stream: what the old resampler still holds goes
    // into the FIFO, and a new one takes the new format to the same output. False with a
    // reason (the conversion is then closed).
    bool ChangeInput(const TAudioFormat& input, std::string& error, bool compensation = true);

    // Converts a decoded frame into the FIFO, leaving out its first dropInputSamples
    // samples. A null frame drains what the resampler still holds.
    int Push(const AVFrame* frame, int dropInputSamples = 0);
    // Appends silence (in output samples) to the FIFO.
    int AddSilence(int samples);
    // Spreads sampleDelta output samples of correction over the next distance samples.
    int Compensate(int sampleDelta, int distance);

    int FifoSamples() const;
    // Moves up to samples samples from the FIFO into frame (allocated here with the output
    // format). With padToSize, a short tail is filled up with silence. Returns the number
    // of real samples moved, 0 when the FIFO is empty, or a negative error.
    int Pop(AVFrame* frame, int samples, bool padToSize);
    // Output samples still inside the resampler.
    int64_t Delay() const;

    void Close();

private:
    // A resampler from input_ to output_, or null with a reason.
    TSwrContextPtr MakeResampler(bool compensation, std::string& error);

    TSwrContextPtr resampler_;
    AVAudioFifo* fifo_ = nullptr; // owned; freed in Close()
    TAudioFormat input_;
    TAudioFormat output_;
    uint8_t** convertBuffer_ = nullptr; // owned (av_samples_alloc); reused between calls
    int convertCapacity_ = 0;
};

// Scales the samples of a decoded frame by volume / 256 with clipping; 256 leaves them.
// Integer samples follow (s * volume + 128) >> 8.
void ApplyVolume(AVFrame& frame, int volume);

} // namespace tovik
