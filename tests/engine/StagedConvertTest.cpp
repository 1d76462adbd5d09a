// The staged engine (encoders on threads of their own) against the same conversion with every
// stage in the converting thread: the files must hold the same packets, in the same order,
// with the same times and bytes.
#include "ConvertTestSupport.h"

#include "media/UnicodeProtocol.h"

#include <algorithm>
#include <functional>
#include <sstream>

namespace tovik {
namespace {

using test::MediaFile;

// Every packet of a file in file order: stream, times, size, flags and a hash of its bytes.
std::vector<std::string> PacketList(const std::string& fileName) {
    std::vector<std::string> packets;
    AVFormatContext* context = nullptr;
    if (OpenInputFormat(&context, NameForLibrary(fileName), nullptr, nullptr) < 0)
        return packets;
    TPacketPtr packet = MakePacket();
    while (ff::av_read_frame(context, packet.get()) >= 0) {
        uint64_t hash = 1469598103934665603ull; // FNV-1a
        for (int i = 0; i < packet->size; ++i)
            hash = (hash ^ packet->data[i]) * 1099511628211ull;
        std::ostringstream line;
        line << packet->stream_index << " pts=" << packet->pts << " dts=" << packet->dts
             << " dur=" << packet->duration << " size=" << packet->size
             << " key=" << (packet->flags & AV_PKT_FLAG_KEY) << " hash=" << hash;
        packets.push_back(line.str());
        ff::av_packet_unref(packet.get());
    }
    CloseInputFormat(&context);
    return packets;
}

class StagedConvertTest : public ::testing::Test {
protected:
    void SetUp() override { test::LoadEngineLibrariesOrFail(); }

    // Converts into the folder's file of that name (the next numbered one when empty); its
    // path.
    std::string ConvertTo(std::vector<std::string> arguments, std::string name = {},
                          const std::function<void(TFFmpeg&)>& prepare = {}) {
        const std::string out = dir_.File(name.empty() ? std::to_string(count_++) + ".avi" : name);
        arguments.push_back(out);
        const auto result = test::Convert(arguments, prepare);
        EXPECT_TRUE(result.Ok) << result.Error;
        EXPECT_TRUE(result.Finished);
        return out;
    }

    // Converts with and without stage threads; the two files' packet lists.
    std::pair<std::vector<std::string>, std::vector<std::string>>
    BothWays(const std::vector<std::string>& options, const std::string& extension) {
        std::vector<std::string> lists[2];
        for (int threaded = 0; threaded < 2; ++threaded)
            lists[threaded] =
                PacketList(ConvertTo(options, std::to_string(count_++) + "." + extension,
                                     [&](TFFmpeg& task) { task.SetStageThreads(threaded == 1); }));
        return {lists[0], lists[1]};
    }

    test::TTempDir dir_;
    int count_ = 0;
};

TEST_F(StagedConvertTest, SliceEncodersGetHalfTheCoresUnlessTheThreadsAreGiven) {
    // mpeg4 writes a slice per thread, so the thread count shows in the bytes.
    const std::vector<std::string> options = {
        "-i", MediaFile("long.avi"), "-vcodec", "mpeg4", "-qscale", "4", "-an"};
    const int half = std::max(1, ff::av_cpu_count() / 2);
    auto withThreads = [&options](int threads) {
        std::vector<std::string> given = {"-threads", std::to_string(threads)};
        given.insert(given.end(), options.begin(), options.end());
        return given;
    };
    const auto automatic = PacketList(ConvertTo(options));
    ASSERT_GE(automatic.size(), 50u);
    EXPECT_EQ(automatic, PacketList(ConvertTo(withThreads(half))));
    EXPECT_NE(automatic, PacketList(ConvertTo(withThreads(half + 2))))
        << "a given count is used as given";
}

TEST_F(StagedConvertTest, CopiedAndDeterministicallyEncodedFilesMatchTheOneThreadRun) {
    const std::string clip = MediaFile("long.avi");
    struct TCase {
        std::vector<std::string> Options;
        std::string Extension;
    };
    const std::vector<TCase> cases = {
        // Stream copy.
        {{"-i", clip, "-vcodec", "copy", "-acodec", "copy"}, "mkv"},
        // Fixed-quality MPEG-4 and PCM: the encoders give the same bytes every time.
        {{"-i", clip, "-vcodec", "mpeg4", "-qscale", "4", "-acodec", "pcm_s16le"}, "avi"},
        // B-frames (packets leave the encoder late and reordered), scaling, MP2 in MOV.
        {{"-i", clip, "-vcodec", "mpeg4", "-qscale", "3", "-bf", "2", "-s", "160x120", "-acodec",
          "mp2"},
         "mov"},
        // A cut part, with audio sync resampling at the start.
        {{"-ss", "0.5", "-i", clip, "-t", "2", "-vcodec", "mpeg4", "-qscale", "5", "-acodec",
          "pcm_s16le", "-async", "1"},
         "avi"},
        // Encoded video beside copied sound.
        {{"-i", clip, "-vcodec", "mpeg4", "-qscale", "6", "-acodec", "copy"}, "avi"},
    };
    for (const TCase& c : cases) {
        const auto [plain, staged] = BothWays(c.Options, c.Extension);
        std::string description;
        for (const std::string& option : c.Options)
            description += option + " ";
        ASSERT_GT(plain.size(), 100u) << description;
        EXPECT_EQ(plain, staged) << description;
    }
}

TEST_F(StagedConvertTest, WmvGroupsCodedSideBySideComeOutInOrderAsOneEncoderWouldCodeThem) {
    const std::vector<std::string> options = {
        "-i", MediaFile("long.avi"), "-vcodec", "wmv2", "-b", "300000", "-g", "10", "-an"};
    // Encoders side by side take turns without threads: the same file either way.
    const auto [plain, staged] = BothWays(options, "wmv");
    ASSERT_GE(staged.size(), 100u);
    EXPECT_EQ(plain, staged);
    std::vector<std::string> single = {"-threads", "1"};
    single.insert(single.end(), options.begin(), options.end());
    const auto one = PacketList(ConvertTo(single, "one.wmv"));
    ASSERT_EQ(one.size(), staged.size());
    // Every group starts with a key picture, where one encoder would put it; the times run
    // on without a gap or a step back.
    const auto field = [](const std::string& line, const std::string& name) {
        const size_t at = line.find(" " + name + "=") + name.size() + 2;
        return std::stoll(line.substr(at, line.find(' ', at) - at));
    };
    int64_t bytes = 0;
    int64_t oneBytes = 0;
    for (size_t i = 0; i < staged.size(); ++i) {
        EXPECT_EQ(field(staged[i], "key"), i % 10 == 0 ? 1 : 0) << i;
        EXPECT_EQ(field(staged[i], "key"), field(one[i], "key")) << i;
        EXPECT_EQ(field(staged[i], "pts"), field(one[i], "pts")) << i;
        bytes += field(staged[i], "size");
        oneBytes += field(one[i], "size");
    }
    // Each encoder's rate control is warmed up on the groups before its first, so the first
    // groups are the very ones one encoder codes (a cold start gave the second a third more
    // bytes), and later ones drift apart only as far as their rate controls learned apart.
    for (size_t i = 0; i < 20; ++i)
        EXPECT_EQ(staged[i], one[i]) << i;
    EXPECT_NEAR(static_cast<double>(bytes), static_cast<double>(oneBytes), oneBytes * 0.15);
    // And the pictures decode, every one.
    EXPECT_EQ(test::VideoFrameTimes(dir_.File("one.wmv")).size(), one.size());
    EXPECT_EQ(test::VideoFrameTimes(dir_.File("1.wmv")).size(), staged.size());
}

TEST_F(StagedConvertTest, DvWritesRepeatedPicturesAgainAsTheyWouldBeCoded) {
    // 25 to 29.97 pictures a second repeats one in six. DV codes each picture from that
    // picture alone, so a repeat's packet is written again rather than coded again. The
    // packets must be the ones DV gives when every picture is coded: those of the same
    // pictures stored raw first, then coded at their own rate.
    const std::vector<std::string> pictures = {"-an",     "-r",       "29.97",  "-s",
                                               "720x480", "-pix_fmt", "yuv411p"};
    std::vector<std::string> direct = {"-i", MediaFile("long.avi"), "-vcodec", "dvvideo"};
    direct.insert(direct.end(), pictures.begin(), pictures.end());
    std::vector<std::string> raw = {"-i", MediaFile("long.avi"), "-vcodec", "rawvideo"};
    raw.insert(raw.end(), pictures.begin(), pictures.end());
    const auto once = PacketList(ConvertTo(direct, "direct.avi"));
    const auto coded =
        PacketList(ConvertTo({"-i", ConvertTo(raw, "raw.avi"), "-vcodec", "dvvideo"}, "coded.avi"));
    ASSERT_GE(once.size(), 60u);
    EXPECT_EQ(once, coded);
    // The clip does have repeats: packets equal to the one before, but for their time.
    int repeated = 0;
    auto bytes = [](const std::string& line) { return line.substr(line.find(" size=")); };
    for (size_t i = 1; i < once.size(); ++i)
        repeated += bytes(once[i]) == bytes(once[i - 1]) ? 1 : 0;
    EXPECT_GE(repeated, static_cast<int>(once.size()) / 7);
}

TEST_F(StagedConvertTest, AJoinGroupMatchesTheOneThreadRun) {
    std::vector<std::string> lists[2];
    for (int threaded = 0; threaded < 2; ++threaded) {
        TFFmpeg task;
        task.ResetEngine();
        task.SetStageThreads(threaded == 1);
        ASSERT_TRUE(task.AddInputFile(MediaFile("clip.avi")));
        ASSERT_TRUE(task.AddInputFile(MediaFile("long.avi")));
        task.SetOption("vcodec", "mpeg4");
        task.SetOption("qscale", "4");
        task.SetOption("acodec", "pcm_s16le");
        const std::string out = dir_.File("joined" + std::to_string(threaded) + ".avi");
        ASSERT_EQ(task.AddOutputFile(out, true), 2);
        ASSERT_TRUE(task.RunConvert()) << task.ErrorMessage();
        lists[threaded] = PacketList(out);
    }
    ASSERT_GT(lists[0].size(), 200u);
    EXPECT_EQ(lists[0], lists[1]);
}

} // namespace
} // namespace tovik
