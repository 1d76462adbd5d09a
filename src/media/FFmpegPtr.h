#pragma once
// Owning smart pointers for the libraries' objects. Every deleter goes through the bound
// entry points, so an object must be released before its library is unloaded.

#include "media/LibraryBindings.h"

#include <memory>

namespace tovik {

struct TFrameDeleter {
    void operator()(AVFrame* frame) const { ff::av_frame_free(&frame); }
};
struct TPacketDeleter {
    void operator()(AVPacket* packet) const { ff::av_packet_free(&packet); }
};
struct TCodecContextDeleter {
    void operator()(AVCodecContext* context) const { ff::avcodec_free_context(&context); }
};
struct TSwsContextDeleter {
    void operator()(SwsContext* context) const { ff::sws_freeContext(context); }
};
struct TSwrContextDeleter {
    void operator()(SwrContext* context) const { ff::swr_free(&context); }
};
struct TFilterGraphDeleter {
    void operator()(AVFilterGraph* graph) const { ff::avfilter_graph_free(&graph); }
};
struct TDictionaryDeleter {
    void operator()(AVDictionary* dictionary) const { ff::av_dict_free(&dictionary); }
};
struct TAvFreeDeleter {
    void operator()(void* memory) const { ff::av_free(memory); }
};

using TFramePtr = std::unique_ptr<AVFrame, TFrameDeleter>;
using TPacketPtr = std::unique_ptr<AVPacket, TPacketDeleter>;
using TCodecContextPtr = std::unique_ptr<AVCodecContext, TCodecContextDeleter>;
using TSwsContextPtr = std::unique_ptr<SwsContext, TSwsContextDeleter>;
using TSwrContextPtr = std::unique_ptr<SwrContext, TSwrContextDeleter>;
using TFilterGraphPtr = std::unique_ptr<AVFilterGraph, TFilterGraphDeleter>;
using TDictionaryPtr = std::unique_ptr<AVDictionary, TDictionaryDeleter>;

inline TFramePtr MakeFrame() {
    return TFramePtr(ff::av_frame_alloc());
}
inline TPacketPtr MakePacket() {
    return TPacketPtr(ff::av_packet_alloc());
}

} // namespace tovik
