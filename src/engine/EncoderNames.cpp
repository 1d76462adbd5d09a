#include "engine/EncoderNames.h"

#include "media/TextFormat.h"

namespace tovik {

namespace {

// Old name -> today's candidates, in order of preference.
//   libfaac, libvo_aacenc, libaacplus -> aac          (the native encoder is mature now)
//   libflac -> flac                                   (FLAC is encoded natively)
//   vorbis -> libvorbis, vorbis                       (the native one is experimental)
//   theora -> libtheora;  vp8 -> libvpx;  vp9 -> libvpx-vp9
//   mp3 -> libmp3lame;  h264 -> libx264;  hevc, h265 -> libx265
//   xvid, libxvidcore -> libxvid, mpeg4               (MPEG-4 part 2 either way)
//   libamr_nb -> libopencore_amrnb;  libamr_wb -> libvo_amrwbenc
//   msmpeg4v3 -> msmpeg4;  libdirac, libschroedinger -> dirac is gone: no candidate
struct TEncoderRename {
    const char* OldName;
    const char* Candidates[3];
};

constexpr TEncoderRename kEncoderRenames[] = {
    {"libfaac", {"aac", nullptr, nullptr}},
    {"libvo_aacenc", {"aac", nullptr, nullptr}},
    {"libaacplus", {"aac", nullptr, nullptr}},
    {"libflac", {"flac", nullptr, nullptr}},
    {"vorbis", {"libvorbis", "vorbis", nullptr}},
    {"theora", {"libtheora", nullptr, nullptr}},
    {"vp8", {"libvpx", nullptr, nullptr}},
    {"vp9", {"libvpx-vp9", nullptr, nullptr}},
    {"mp3", {"libmp3lame", nullptr, nullptr}},
    {"h264", {"libx264", nullptr, nullptr}},
    {"hevc", {"libx265", nullptr, nullptr}},
    {"h265", {"libx265", nullptr, nullptr}},
    {"xvid", {"libxvid", "mpeg4", nullptr}},
    {"libxvidcore", {"libxvid", "mpeg4", nullptr}},
    {"libamr_nb", {"libopencore_amrnb", nullptr, nullptr}},
    {"libamr_wb", {"libvo_amrwbenc", nullptr, nullptr}},
    {"msmpeg4v3", {"msmpeg4", nullptr, nullptr}},
};

} // namespace

std::string CurrentEncoderName(const std::string& name) {
    for (const TEncoderRename& rename : kEncoderRenames) {
        if (name != rename.OldName)
            continue;
        for (const char* candidate : rename.Candidates)
            if (candidate && ff::avcodec_find_encoder_by_name(candidate))
                return candidate;
    }
    return name;
}

const AVCodec* FindEncoderByName(const std::string& name, AVMediaType type, std::string& error) {
    const AVCodec* codec = ff::avcodec_find_encoder_by_name(CurrentEncoderName(name).c_str());
    if (!codec) {
        error = FormatText("Unknown %s '%s'", "encoder", name.c_str());
        return nullptr;
    }
    if (codec->type != type) {
        error = FormatText("Invalid %s type '%s'", "encoder", name.c_str());
        return nullptr;
    }
    return codec;
}

} // namespace tovik
