// The tags an output takes over from its source: title, artist, comment, dates and the rest,
// as the ffmpeg tool copies them, and the creation time too, which the tool leaves behind by
// default but a person converting recordings wants to keep.

#include "engine/FFmpeg.h"
#include "media/LibraryBindings.h"

#include <cstring>
#include <string>

namespace tovik {

namespace {
// Tags that describe the source file rather than its content: the program that wrote it
// and the company behind it. The output's muxer names its own writer.
constexpr const char* kSourceOnlyTags[] = {"encoder", "company_name", "product_name",
                                           "product_version"};
} // namespace

void TCustomFFmpeg::CopySourceTags(AVFormatContext& output, const AVFormatContext& input) const {
    // Tags set for this output ("metadata", "timestamp") win over the source's.
    ff::av_dict_copy(&output.metadata, input.metadata, AV_DICT_DONT_OVERWRITE);
    for (const char* key : kSourceOnlyTags)
        ff::av_dict_set(&output.metadata, key, nullptr, 0);
    // A shortened output no longer lasts as long as the source said.
    if (settings_.RecordingTime != INT64_MAX || settings_.StartTime != 0)
        ff::av_dict_set(&output.metadata, "duration", nullptr, 0);
    // AVI keeps no creation time, only a creation date (ICRD, "date"): the day is kept.
    if (output.oformat && std::strcmp(output.oformat->name, "avi") == 0 &&
        !ff::av_dict_get(output.metadata, "date", nullptr, 0)) {
        if (const AVDictionaryEntry* created =
                ff::av_dict_get(output.metadata, "creation_time", nullptr, 0);
            created && std::strlen(created->value) >= 10)
            ff::av_dict_set(&output.metadata, "date", std::string(created->value, 10).c_str(), 0);
    }
}

} // namespace tovik
