// The tags a conversion keeps: every container gets the source's title, comment and the
// time it was recorded, where the container can hold them; compared with what the ffmpeg
// tool keeps of the same file.
#include "ConvertTestSupport.h"

#include "media/LibraryBindings.h"

#include <algorithm>
#include <cctype>
#include <map>

namespace tovik {
namespace {

using test::Convert;
using test::MediaFile;

constexpr const char* kCreated = "2019-05-04T10:20:30.000000Z";

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The file's own tags, keys in lower case (Matroska writes them in capitals).
std::map<std::string, std::string> FileTags(const std::string& fileName) {
    std::map<std::string, std::string> tags;
    AVFormatContext* context = nullptr;
    if (ff::avformat_open_input(&context, fileName.c_str(), nullptr, nullptr) < 0)
        return tags;
    const AVDictionaryEntry* entry = nullptr;
    while ((entry = ff::av_dict_get(context->metadata, "", entry, AV_DICT_IGNORE_SUFFIX)))
        tags[Lower(entry->key)] = entry->value;
    ff::avformat_close_input(&context);
    return tags;
}

class MetadataTest : public ::testing::Test {
protected:
    void SetUp() override { test::LoadEngineLibrariesOrFail(); }
    test::TTempDir dir_;
};

TEST_F(MetadataTest, TitleCommentAndRecordingTimeReachEveryContainer) {
    const std::string source = MediaFile("tagged.mov");
    ASSERT_EQ(FileTags(source).at("creation_time"), kCreated);
    for (const std::string ext : {"mov", "mp4", "mkv", "avi"}) {
        const std::string out = dir_.File("out." + ext);
        const auto result = Convert({"-i", source, "-vcodec", "mpeg4", "-acodec", "aac", out});
        ASSERT_TRUE(result.Ok) << ext << ": " << result.Error;
        const auto tags = FileTags(out);
        EXPECT_EQ(tags.count("title") ? tags.at("title") : "", "Holiday at the Lake") << ext;
        EXPECT_EQ(tags.count("comment") ? tags.at("comment") : "", "second day") << ext;
        if (ext == "avi") {
            // AVI has a creation date only.
            EXPECT_EQ(tags.count("date") ? tags.at("date") : "", "2019-05-04");
        } else {
            EXPECT_EQ(tags.count("creation_time") ? tags.at("creation_time") : "", kCreated) << ext;
        }
        // Whatever the ffmpeg tool keeps, this output keeps too, apart from the name of the
        // writing program.
        for (const auto& [key, value] : FileTags(MediaFile("tagged.ref." + ext))) {
            if (key == "encoder" || key == "software")
                continue;
            EXPECT_EQ(tags.count(key) ? tags.at(key) : "<missing>", value) << ext << " " << key;
        }
    }
}

TEST_F(MetadataTest, TagsGivenForTheOutputWinOverTheSources) {
    const std::string out = dir_.File("out.mkv");
    const auto result = Convert({"-i", MediaFile("tagged.mov"), "-t", "0.5", "-vcodec", "mpeg4",
                                 "-acodec", "aac", "-metadata", "title=Mine", out});
    ASSERT_TRUE(result.Ok) << result.Error;
    const auto tags = FileTags(out);
    EXPECT_EQ(tags.at("title"), "Mine");
    EXPECT_EQ(tags.at("creation_time"), kCreated);
    EXPECT_EQ(tags.at("comment"), "second day");
}

// The tags of a file's first stream of a type, keys in lower case.
std::map<std::string, std::string> StreamTags(const std::string& fileName, AVMediaType type) {
    std::map<std::string, std::string> tags;
    AVFormatContext* context = nullptr;
    if (ff::avformat_open_input(&context, fileName.c_str(), nullptr, nullptr) < 0)
        return tags;
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        if (context->streams[i]->codecpar->codec_type != type)
            continue;
        const AVDictionaryEntry* entry = nullptr;
        while ((entry = ff::av_dict_get(context->streams[i]->metadata, "", entry,
                                        AV_DICT_IGNORE_SUFFIX)))
            tags[Lower(entry->key)] = entry->value;
        break;
    }
    ff::avformat_close_input(&context);
    return tags;
}

TEST_F(MetadataTest, AStreamCodedAnewDoesNotNameTheSourcesEncoder) {
    const std::string source = MediaFile("tagged.mov");
    ASSERT_NE(StreamTags(source, AVMEDIA_TYPE_VIDEO).at("encoder").find("mpeg4"),
              std::string::npos);
    const std::string coded = dir_.File("coded.mov");
    ASSERT_TRUE(Convert({"-i", source, "-vcodec", "mpeg2video", "-acodec", "copy", coded}).Ok);
    const auto video = StreamTags(coded, AVMEDIA_TYPE_VIDEO);
    EXPECT_EQ(video.count("encoder") ? video.at("encoder") : "", "");
    // The stream's other tags stay.
    EXPECT_EQ(video.count("creation_time") ? video.at("creation_time") : "", kCreated);
    // A copied stream is still the source encoder's work.
    const std::string copied = dir_.File("copied.mov");
    ASSERT_TRUE(Convert({"-i", source, "-vcodec", "copy", "-acodec", "copy", copied}).Ok);
    EXPECT_EQ(StreamTags(copied, AVMEDIA_TYPE_VIDEO).at("encoder"),
              StreamTags(source, AVMEDIA_TYPE_VIDEO).at("encoder"));
}

} // namespace
} // namespace tovik
