#include "media/UnicodeProtocol.h"

#include "media/FFmpegPtr.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

namespace tovik {
namespace {

TEST(NameForLibraryTest, PlainAndNetworkNamesPassUnchanged) {
    EXPECT_EQ(NameForLibrary("/home/anna/film.avi"), "/home/anna/film.avi");
    EXPECT_EQ(NameForLibrary("/tmp/Überfahrt 日本.avi"), "/tmp/Überfahrt 日本.avi");
    EXPECT_EQ(NameForLibrary("http://example.com/a.avi"), "http://example.com/a.avi");
    EXPECT_EQ(NameForLibrary("udp://239.0.0.1:1234"), "udp://239.0.0.1:1234");
    EXPECT_EQ(NameForLibrary("pipe:0"), "pipe:0");
}

TEST(NameForLibraryTest, NamesTheLibrariesWouldMisreadTakeTheUnicodeForm) {
    // An upper-case scheme is not a known protocol: the name is a file name.
    EXPECT_EQ(NameForLibrary("HTTP://example.com/a.avi"), "unicode:utf8:HTTP://example.com/a.avi");
    EXPECT_EQ(NameForLibrary("/tmp/clip 10:30.avi"), "unicode:utf8:/tmp/clip 10:30.avi");
    EXPECT_EQ(NameForLibrary("c:video.avi"), "unicode:utf8:c:video.avi");
    const std::string notUtf8 = "/tmp/\xff\xfe.avi";
    EXPECT_EQ(NameForLibrary(notUtf8), "unicode:utf8:" + notUtf8);
}

TEST(NameForLibraryTest, RoundTripsThroughNameFromLibrary) {
    for (const std::string name : {"/tmp/a:b ü.avi", "/tmp/plain.avi", "http://h/x"})
        EXPECT_EQ(NameFromLibrary(NameForLibrary(name)), name);
    EXPECT_EQ(NameFromLibrary("unicode:utf8:"), "unicode:utf8:") << "too short to carry a name";
}

TEST(NameForLibraryTest, OverlongNamesAreRefused) {
    const std::string longName = "/tmp/" + std::string(kMaxLibraryNameLength, 'a');
    EXPECT_THROW(NameForLibrary(longName), std::length_error);
}

TEST(NameForLibraryTest, ConcurrentCallersEachGetTheirOwnName) {
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t, &wrong] {
            const std::string name = "/tmp/thread" + std::to_string(t) + ":file.avi";
            for (int i = 0; i < 2000; ++i)
                if (NameForLibrary(name) != std::string(kUnicodePrefix) + name)
                    ++wrong;
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(wrong.load(), 0);
}

class KitFileIOTest : public ::testing::Test {
protected:
    void SetUp() override { test::LoadEngineLibrariesOrFail(); }

    // Copies every packet of source into target (any library name) as an AVI file.
    void Remux(const std::string& source, const std::string& target) {
        AVFormatContext* input = nullptr;
        ASSERT_EQ(OpenInputFormat(&input, NameForLibrary(source), nullptr, nullptr), 0);
        ASSERT_GE(ff::avformat_find_stream_info(input, nullptr), 0);
        AVFormatContext* output = nullptr;
        ASSERT_GE(ff::avformat_alloc_output_context2(&output, nullptr, "avi", nullptr), 0);
        for (unsigned i = 0; i < input->nb_streams; ++i) {
            AVStream* stream = ff::avformat_new_stream(output, nullptr);
            ff::avcodec_parameters_copy(stream->codecpar, input->streams[i]->codecpar);
            stream->codecpar->codec_tag = 0;
            stream->time_base = input->streams[i]->time_base;
        }
        ASSERT_EQ(OpenLibraryIO(&output->pb, NameForLibrary(target), AVIO_FLAG_WRITE), 0);
        ASSERT_GE(ff::avformat_write_header(output, nullptr), 0);
        TPacketPtr packet = MakePacket();
        while (ff::av_read_frame(input, packet.get()) >= 0) {
            ff::av_packet_rescale_ts(packet.get(), input->streams[packet->stream_index]->time_base,
                                     output->streams[packet->stream_index]->time_base);
            ASSERT_GE(ff::av_interleaved_write_frame(output, packet.get()), 0);
        }
        ASSERT_GE(ff::av_write_trailer(output), 0);
        CloseLibraryIO(&output->pb);
        ff::avformat_free_context(output);
        CloseInputFormat(&input);
        EXPECT_EQ(input, nullptr);
    }

    static int StreamCountOf(const std::string& name) {
        AVFormatContext* input = nullptr;
        if (OpenInputFormat(&input, NameForLibrary(name), nullptr, nullptr) < 0)
            return -1;
        const int count = ff::avformat_find_stream_info(input, nullptr) >= 0
                              ? static_cast<int>(input->nb_streams)
                              : -1;
        CloseInputFormat(&input);
        return count;
    }
};

TEST_F(KitFileIOTest, NonAsciiNamesAreWrittenAndReadThroughTheLibraries) {
    test::TTempDir dir;
    const std::string plain = dir.File("Видео ü 日本.avi");
    const std::string withColon = dir.File("Видео 10:30 ü.avi");
    ASSERT_NO_FATAL_FAILURE(Remux(test::MediaFile("clip.avi"), plain));
    ASSERT_NO_FATAL_FAILURE(Remux(plain, withColon));
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::u8path(withColon)));
    EXPECT_GT(std::filesystem::file_size(std::filesystem::u8path(withColon)), 1000u);
    EXPECT_EQ(StreamCountOf(plain), 2);
    EXPECT_EQ(StreamCountOf(withColon), 2);
}

TEST_F(KitFileIOTest, MissingFilesAndFoldersFailWithTheLibrariesCodes) {
    AVIOContext* pb = nullptr;
    EXPECT_EQ(OpenLibraryIO(&pb, "unicode:utf8:/nonexistent/dir/x:y.avi", AVIO_FLAG_READ), -2);
    EXPECT_EQ(pb, nullptr);
    test::TTempDir dir;
    EXPECT_EQ(OpenLibraryIO(&pb, std::string(kUnicodePrefix) + dir.Path().string(), AVIO_FLAG_READ),
              AVERROR(EISDIR));
    AVFormatContext* input = nullptr;
    EXPECT_LT(OpenInputFormat(&input, "unicode:utf8:/nonexistent/x:y.avi", nullptr, nullptr), 0);
    EXPECT_EQ(input, nullptr);
}

TEST_F(KitFileIOTest, AFileThatIsNoMediaFailsToOpenAndLeaksNothing) {
    test::TTempDir dir;
    const std::string name = dir.File("text:file.avi");
    test::WriteTextFile(name, "this is not a video\n");
    AVFormatContext* input = nullptr;
    EXPECT_LT(OpenInputFormat(&input, NameForLibrary(name), nullptr, nullptr), 0);
    EXPECT_EQ(input, nullptr);
}

TEST_F(KitFileIOTest, ReadAndSeekThroughKitFileIO) {
    test::TTempDir dir;
    const std::string name = dir.File("bytes:1.bin");
    test::WriteTextFile(name, "0123456789");
    AVIOContext* pb = nullptr;
    ASSERT_EQ(OpenLibraryIO(&pb, NameForLibrary(name), AVIO_FLAG_READ), 0);
    EXPECT_TRUE(IsKitFileIO(pb));
    EXPECT_EQ(ff::avio_size(pb), 10);
    unsigned char buffer[4] = {};
    EXPECT_EQ(ff::avio_seek(pb, 6, SEEK_SET), 6);
    EXPECT_EQ(ff::avio_read(pb, buffer, 4), 4);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 4), "6789");
    EXPECT_EQ(ff::avio_read(pb, buffer, 4), AVERROR_EOF);
    CloseLibraryIO(&pb);
    EXPECT_EQ(pb, nullptr);
}

} // namespace
} // namespace tovik
