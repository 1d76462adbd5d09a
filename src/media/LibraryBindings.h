#pragma once
// Process-wide entry points of the FFmpeg libraries and of the C runtime they share with
// the kit. The kit never links these libraries: the loader binds every pointer below at run
// time (see FFmpegLoader) and clears it again when the library is unloaded. Call them as
// ff::avcodec_open2(...); a pointer is null while its library is not loaded.

#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/bsf.h>
#include <libavdevice/avdevice.h>
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavformat/avformat.h>
#include <libavformat/avio.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/avstring.h>
#include <libavutil/channel_layout.h>
#include <libavutil/cpu.h>
#include <libavutil/display.h>
#include <libavutil/fifo.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libavutil/parseutils.h>
#include <libavutil/pixdesc.h>
#include <libavutil/samplefmt.h>
#include <libavutil/time.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

// NOLINTNEXTLINE(bugprone-macro-parentheses): name is a declared name, not an expression
#define TOVIK_EXPORT(name) inline decltype(&::name) name = nullptr;

namespace ff {
#include "media/exports/AVCodec.inc"
#include "media/exports/AVDevice.inc"
#include "media/exports/AVFilter.inc"
#include "media/exports/AVFormat.inc"
#include "media/exports/AVUtil.inc"
#include "media/exports/SwResample.inc"
#include "media/exports/SwScale.inc"
// Data export of avutil: the version text of the FFmpeg build ("5.1.x").
inline const char* av_util_version_text = nullptr;
} // namespace ff

namespace crt {
#include "media/exports/CRuntime.inc"
} // namespace crt

#undef TOVIK_EXPORT
