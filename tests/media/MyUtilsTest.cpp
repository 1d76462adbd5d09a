#include "media/MyUtils.h"

#include "platform/Environment.h"
#include "support/TestSupport.h"

#include <cerrno>
#include <gtest/gtest.h>

extern "C" {
#include <libavutil/error.h>
}

namespace tovik {
namespace {

TEST(ErrorTextTest, ListedNumbersAndTodaysCodesForTheSameConditions) {
    EXPECT_EQ(ErrorText("a.avi", -2), "a.avi: No such file or directory");
    // Codes the list does not name take the system's text; others stay numbered.
    EXPECT_EQ(ErrorText("x", AVERROR(EROFS)), "x: Read-only file system");
    EXPECT_EQ(ErrorText("x", -7), "x: Argument list too long");
    EXPECT_EQ(ErrorText("x", -100000), "x: Error number -100000 occurred");
    EXPECT_EQ(ErrorNumberText(-1163346256), "Not yet implemented in FFmpeg");
    EXPECT_EQ(ErrorNumberText(-10043), "Unsupported network protocol");
    EXPECT_EQ(ErrorNumberText(-42), "Unknown format");
    EXPECT_EQ(ErrorNumberText(-33), "Number syntax expected in filename");
    EXPECT_EQ(ErrorNumberText(-32), "End of file");
    EXPECT_EQ(ErrorNumberText(-22), "Invalid data found when processing input");
    EXPECT_EQ(ErrorNumberText(-12), "Not enough memory");
    EXPECT_EQ(ErrorNumberText(-5), "I/O error");
    EXPECT_EQ(ErrorNumberText(AVERROR_EOF), "End of file");
    EXPECT_EQ(ErrorNumberText(AVERROR_INVALIDDATA), "Invalid data found when processing input");
    EXPECT_EQ(ErrorNumberText(AVERROR_PROTOCOL_NOT_FOUND), "Unsupported network protocol");
    EXPECT_EQ(ErrorNumberText(AVERROR_DEMUXER_NOT_FOUND), "Unknown format");
    EXPECT_EQ(ErrorNumberText(AVERROR(EACCES)), "Permission denied");
    EXPECT_EQ(ErrorNumberText(0), "Error number 0 occurred");
}

TEST(StreamTypeNameTest, NamesTheFiveTypes) {
    EXPECT_EQ(StreamTypeName(0), "Video");
    EXPECT_EQ(StreamTypeName(1), "Audio");
    EXPECT_EQ(StreamTypeName(2), "Data");
    EXPECT_EQ(StreamTypeName(3), "Subtitle");
    EXPECT_EQ(StreamTypeName(4), "Attachment");
    EXPECT_EQ(StreamTypeName(-1), "Unknown");
    EXPECT_EQ(StreamTypeName(5), "Unknown");
}

TEST(SplitAtTest, SplitsAtTheFirstSeparator) {
    std::string text = "abc";
    EXPECT_EQ(SplitAt(text, "\n", true), "abc");
    EXPECT_EQ(text, "");
    text = "vcodec=mpeg4=x";
    EXPECT_EQ(SplitAt(text, "=", true), "vcodec");
    EXPECT_EQ(text, "mpeg4=x");
    text = "a<CRLF>b";
    EXPECT_EQ(SplitAt(text, "<CRLF>", false), "a");
    EXPECT_EQ(text, "a<CRLF>b");
    text = "=lead";
    EXPECT_EQ(SplitAt(text, "=", true), "");
    EXPECT_EQ(text, "lead");
}

TEST(SizeTextTest, UnitsChangeAboveEachPowerOf1024) {
    EXPECT_EQ(SizeText(1024), "1024 Byte");
    EXPECT_EQ(SizeText(1025), "1.00 KB");
    EXPECT_EQ(SizeText(1048576), "1024.00 KB");
    EXPECT_EQ(SizeText(1048577), "1.00 MB");
    EXPECT_EQ(SizeText(1073741824), "1024.00 MB");
    EXPECT_EQ(SizeText(3LL * 1073741824), "3.00 GB");
    EXPECT_EQ(SizeText(-1), "-1 Byte");
    EXPECT_EQ(SizeText(0), "0 Byte");
}

TEST(TimeTextTest, DurationsAndSeconds) {
    EXPECT_EQ(DurationText((3600LL + 2 * 60 + 3) * 1000000 + 4000), "01:02:03.004");
    EXPECT_EQ(DurationText(kNoPtsValue), "N/A");
    EXPECT_EQ(DurationText(0), "00:00:00.000");
    EXPECT_EQ(DurationText(30LL * 3600 * 1000000), "30:00:00.000") << "hours are not wrapped";
    EXPECT_EQ(MicrosecondsToText(999), "00:00:00.000");
    EXPECT_EQ(MicrosecondsToText(1999), "00:00:00.001");
    EXPECT_EQ(SecondsToText(3723), "1:02:03");
    EXPECT_EQ(SecondsToText(59), "0:00:59");
    EXPECT_EQ(SecondsToText(-5), "0:00:00");
    EXPECT_EQ(SecondsToText(36000), "10:00:00");
}

TEST(TimeTextTest, UnixToLocalUsesTheStandardOffset) {
    const auto saved = platform::GetEnv("TZ");
    platform::SetEnv("TZ", "UTC");
    EXPECT_DOUBLE_EQ(UnixToLocal(0), 25569.0);
    EXPECT_DOUBLE_EQ(UnixToLocal(86400 / 2), 25569.5);
    EXPECT_EQ(DateTimeText(UnixToLocal(1700000000)), "2023-11-14 22:13:20");
    // Central European time: one hour ahead in winter, and still one hour in summer.
    platform::SetEnv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
    EXPECT_EQ(DateTimeText(UnixToLocal(1700000000)), "2023-11-14 23:13:20");
    EXPECT_EQ(DateTimeText(UnixToLocal(1688169600)), "2023-07-01 01:00:00");
    if (saved)
        platform::SetEnv("TZ", *saved);
    else
        ::unsetenv("TZ");
}

TEST(FileHelpersTest, ReadWholeFileAppendsAZeroByte) {
    test::TTempDir dir;
    test::WriteTextFile(dir.File("preset.txt"), "vcodec=libx264\n");
    std::vector<uint8_t> buffer;
    ASSERT_EQ(ReadWholeFile(dir.File("preset.txt"), buffer), 0);
    ASSERT_EQ(buffer.size(), 16u);
    EXPECT_EQ(buffer.back(), 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer.data())), "vcodec=libx264\n");
    EXPECT_EQ(ReadWholeFile(dir.File("missing.txt"), buffer), -1);
    EXPECT_EQ(ReadWholeFile(dir.Path().string(), buffer), -1);
    test::WriteTextFile(dir.File("empty.txt"), "");
    ASSERT_EQ(ReadWholeFile(dir.File("empty.txt"), buffer), 0);
    EXPECT_EQ(buffer.size(), 1u);
}

TEST(FileHelpersTest, PathPieces) {
    EXPECT_EQ(ExtractFilePart("/a/b/c.avi"), "c.avi");
    EXPECT_EQ(ExtractFolderPart("/a/b/c.avi"), "/a/b/");
    EXPECT_EQ(ExtractFilePart("c.avi"), "c.avi");
    EXPECT_EQ(ExtractFolderPart("c.avi"), "");
    EXPECT_EQ(IncludeTrailingSeparator("/a/b"), "/a/b/");
    EXPECT_EQ(IncludeTrailingSeparator("/a/b/"), "/a/b/");
    EXPECT_EQ(IncludeTrailingSeparator(""), "");
    test::TTempDir dir;
    EXPECT_EQ(FileSizeOf(dir.Path().string()), -1);
    EXPECT_FALSE(FileExistsNotDirectory(dir.Path().string()));
}

} // namespace
} // namespace tovik
