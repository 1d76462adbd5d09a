#pragma once
// A video filter graph with one input and one output: a "buffer" source for decoded frames,
// optional crop and scale steps, the user's filter chain, and a "buffersink" that hands out
// frames in the encoder's pixel format.

#include "media/FFmpegPtr.h"

#include <string>

namespace tovik {

struct TVideoFilterSpec {
    // What the decoder delivers.
    int InputWidth = 0;
    int InputHeight = 0;
    AVPixelFormat InputFormat = AV_PIX_FMT_NONE;
    AVRational TimeBase{1, 1000000};
    AVRational SampleAspect{0, 1};
    // Filters that come first and turn the stored picture upright ("transpose=clock",
    // "hflip,vflip"); with UprightSwapsSize they swap width and height.
    std::string Upright;
    bool UprightSwapsSize = false;
    // Bands cut off each edge of the upright picture before scaling.
    int CropTop = 0;
    int CropBottom = 0;
    int CropLeft = 0;
    int CropRight = 0;
    // What the encoder takes; the scale step is added when the cropped size differs.
    int OutputWidth = 0;
    int OutputHeight = 0;
    AVPixelFormat OutputFormat = AV_PIX_FMT_NONE;
    int64_t ScaleFlags = SWS_BICUBIC;
    // The user's chain ("vf"), placed between the crop/scale steps and the sink; may be
    // empty.
    std::string Chain;
};

class TVideoFilterGraph {
public:
    // Builds and configures the graph. On failure returns false with error describing it.
    bool Build(const TVideoFilterSpec& spec, std::string& error);
    bool Built() const { return graph_ != nullptr; }

    // Adds a decoded frame (null: end of stream). Returns a library error code.
    int Push(AVFrame* frame);
    // Takes the next filtered frame: 0, AVERROR(EAGAIN) when the graph needs more input,
    // AVERROR_EOF after the end.
    int Pull(AVFrame* frame);

    // The sink's properties once built; the encoder's size comes from here.
    int OutputWidth() const;
    int OutputHeight() const;
    AVRational OutputTimeBase() const;
    AVRational OutputSampleAspect() const;

    void Reset();

private:
    TFilterGraphPtr graph_;
    AVFilterContext* source_ = nullptr; // owned by graph_
    AVFilterContext* sink_ = nullptr;   // owned by graph_
};

} // namespace tovik
