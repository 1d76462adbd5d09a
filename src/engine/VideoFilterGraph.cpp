#include "engine/VideoFilterGraph.h"

#include "media/LibrarySets.h"
#include "media/MyUtils.h"
#include "media/TextFormat.h"

namespace tovik {

namespace {

// Adds a filter and links it after previous; returns the new filter or null.
AVFilterContext* Append(AVFilterGraph* graph, AVFilterContext* previous, const char* filterName,
                        const char* instanceName, const std::string& arguments,
                        std::string& error) {
    AVFilterContext* filter = nullptr;
    int result = ff::avfilter_graph_create_filter(&filter, ff::avfilter_get_by_name(filterName),
                                                  instanceName, arguments.c_str(), nullptr, graph);
    if (result < 0) {
        error = ErrorText(FormatText("%s filter \"%s\"", filterName, arguments.c_str()), result);
        return nullptr;
    }
    if (previous && (result = ff::avfilter_link(previous, 0, filter, 0)) < 0) {
        error = ErrorText(FormatText("linking %s filter", filterName), result);
        return nullptr;
    }
    return filter;
}

struct TInOutDeleter {
    void operator()(AVFilterInOut* inOut) const { ff::avfilter_inout_free(&inOut); }
};
using TInOutPtr = std::unique_ptr<AVFilterInOut, TInOutDeleter>;

} // namespace

bool TVideoFilterGraph::Build(const TVideoFilterSpec& spec, std::string& error) {
    Reset();
    if (!LoadFilterLibrary(error))
        return false;
    graph_.reset(ff::avfilter_graph_alloc());
    if (!graph_) {
        error = "Not enough memory";
        return false;
    }
    AVFilterGraph* graph = graph_.get();
    const std::string scalerOptions =
        FormatText("flags=0x%X", static_cast<unsigned>(spec.ScaleFlags));
    graph->scale_sws_opts = ff::av_strdup(scalerOptions.c_str());

    // 0/1 stands for an unknown aspect and passes through as such.
    const AVRational aspect = spec.SampleAspect.den > 0 ? spec.SampleAspect : AVRational{0, 1};
    source_ = Append(graph, nullptr, "buffer", "in",
                     FormatText("video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=%d/%d",
                                spec.InputWidth, spec.InputHeight, spec.InputFormat,
                                spec.TimeBase.num, spec.TimeBase.den, aspect.num, aspect.den),
                     error);
    if (!source_)
        return false;

    sink_ = Append(graph, nullptr, "buffersink", "out", "", error);
    if (!sink_)
        return false;
    if (spec.OutputFormat != AV_PIX_FMT_NONE) {
        const int formats[] = {spec.OutputFormat};
        int result =
            ff::av_opt_set_bin(sink_, "pix_fmts", reinterpret_cast<const uint8_t*>(formats),
                               sizeof formats, AV_OPT_SEARCH_CHILDREN);
        if (result < 0) {
            error = ErrorText("buffersink pix_fmts", result);
            return false;
        }
    }

    AVFilterContext* last = source_;
    // Upright first, then crop the bands, then scale what is left to the encoder's size.
    size_t start = 0;
    for (int step = 0; start < spec.Upright.size(); ++step) {
        size_t end = spec.Upright.find(',', start);
        if (end == std::string::npos)
            end = spec.Upright.size();
        const std::string item = spec.Upright.substr(start, end - start);
        start = end + 1;
        const size_t equals = item.find('=');
        const std::string name = item.substr(0, equals);
        const std::string arguments = equals == std::string::npos ? "" : item.substr(equals + 1);
        last = Append(graph, last, name.c_str(), FormatText("upright%d", step).c_str(), arguments,
                      error);
        if (!last)
            return false;
    }
    const int shownWidth = spec.UprightSwapsSize ? spec.InputHeight : spec.InputWidth;
    const int shownHeight = spec.UprightSwapsSize ? spec.InputWidth : spec.InputHeight;
    const int croppedWidth = shownWidth - spec.CropLeft - spec.CropRight;
    const int croppedHeight = shownHeight - spec.CropTop - spec.CropBottom;
    if (spec.CropLeft || spec.CropRight || spec.CropTop || spec.CropBottom) {
        last = Append(graph, last, "crop", "crop",
                      FormatText("w=%d:h=%d:x=%d:y=%d", croppedWidth, croppedHeight, spec.CropLeft,
                                 spec.CropTop),
                      error);
        if (!last)
            return false;
    }
    if (spec.OutputWidth > 0 && spec.OutputHeight > 0 &&
        (spec.OutputWidth != croppedWidth || spec.OutputHeight != croppedHeight)) {
        last = Append(graph, last, "scale", "scale",
                      FormatText("w=%d:h=%d:flags=%lld", spec.OutputWidth, spec.OutputHeight,
                                 static_cast<long long>(spec.ScaleFlags)),
                      error);
        if (!last)
            return false;
    }

    int result = 0;
    if (!spec.Chain.empty()) {
        TInOutPtr outputs(ff::avfilter_inout_alloc());
        TInOutPtr inputs(ff::avfilter_inout_alloc());
        if (!outputs || !inputs) {
            error = "Not enough memory";
            return false;
        }
        outputs->name = ff::av_strdup("in");
        outputs->filter_ctx = last;
        outputs->pad_idx = 0;
        inputs->name = ff::av_strdup("out");
        inputs->filter_ctx = sink_;
        inputs->pad_idx = 0;
        AVFilterInOut* openInputs = inputs.release();
        AVFilterInOut* openOutputs = outputs.release();
        result = ff::avfilter_graph_parse_ptr(graph, spec.Chain.c_str(), &openInputs, &openOutputs,
                                              nullptr);
        ff::avfilter_inout_free(&openInputs);
        ff::avfilter_inout_free(&openOutputs);
        if (result < 0) {
            error = ErrorText(FormatText("filter chain \"%s\"", spec.Chain.c_str()), result);
            return false;
        }
    } else if ((result = ff::avfilter_link(last, 0, sink_, 0)) < 0) {
        error = ErrorText("linking the output", result);
        return false;
    }
    if ((result = ff::avfilter_graph_config(graph, nullptr)) < 0) {
        error = ErrorText("configuring the filter graph", result);
        return false;
    }
    return true;
}

int TVideoFilterGraph::Push(AVFrame* frame) {
    if (!source_)
        return AVERROR(EINVAL);
    return ff::av_buffersrc_add_frame_flags(source_, frame, AV_BUFFERSRC_FLAG_KEEP_REF);
}

int TVideoFilterGraph::Pull(AVFrame* frame) {
    if (!sink_)
        return AVERROR(EINVAL);
    return ff::av_buffersink_get_frame(sink_, frame);
}

int TVideoFilterGraph::OutputWidth() const {
    return sink_ ? ff::av_buffersink_get_w(sink_) : 0;
}
int TVideoFilterGraph::OutputHeight() const {
    return sink_ ? ff::av_buffersink_get_h(sink_) : 0;
}
AVRational TVideoFilterGraph::OutputTimeBase() const {
    return sink_ ? ff::av_buffersink_get_time_base(sink_) : AVRational{0, 1};
}
AVRational TVideoFilterGraph::OutputSampleAspect() const {
    return sink_ ? ff::av_buffersink_get_sample_aspect_ratio(sink_) : AVRational{0, 1};
}

void TVideoFilterGraph::Reset() {
    source_ = nullptr;
    sink_ = nullptr;
    graph_.reset();
}

} // namespace tovik
