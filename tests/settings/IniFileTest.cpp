#include "settings/IniFile.h"
#include "settings/NumberText.h"

#include "support/TestSupport.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace tovik {
namespace {

std::string ReadAll(const std::string& fileName) {
    std::ifstream file(fileName, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

class IniFileTest : public ::testing::Test {
protected:
    test::TTempDir dir_;
    std::string path_ = dir_.File("settings.ini");
};

TEST_F(IniFileTest, MissingFileSectionOrKeyGivesEachReadersDefault) {
    TIniFile ini(path_);
    EXPECT_EQ(ini.ReadString("settings", "OutPutDir", "c"), "c");
    EXPECT_EQ(ini.ReadInteger("settings", "skinIndex", 1), 1);
    EXPECT_TRUE(ini.ReadBool("lstformat", "0", true));
    EXPECT_FALSE(std::filesystem::exists(path_)) << "reading must not create the file";

    test::WriteTextFile(path_, "[settings]\nother=1\n");
    EXPECT_EQ(ini.ReadString("settings", "OutPutDir", "d"), "d");
    EXPECT_EQ(ini.ReadString("nosection", "other", "e"), "e");
    EXPECT_EQ(ini.ReadString("settings", "other", "x"), "1");
}

TEST_F(IniFileTest, SectionsAndKeysIgnoreCase) {
    TIniFile ini(path_);
    ASSERT_TRUE(ini.WriteString("formatInfo103", "paraZoom", "pan"));
    EXPECT_EQ(ini.ReadString("FORMATINFO103", "parazoom", "lbox"), "pan");
    ASSERT_TRUE(ini.WriteString("settings", "snapOutPutDir", "/a"));
    EXPECT_EQ(ini.ReadString("Settings", "SnapOutPutDir", ""), "/a");
    // Writing under another spelling replaces the value instead of adding a second key.
    ASSERT_TRUE(ini.WriteString("SETTINGS", "SNAPOUTPUTDIR", "/b"));
    EXPECT_EQ(ini.ReadString("settings", "snapOutPutDir", ""), "/b");
    const std::string text = ReadAll(path_);
    EXPECT_EQ(text.find("SNAPOUTPUTDIR"), std::string::npos) << text;
    EXPECT_EQ(text.find("[SETTINGS]"), std::string::npos) << text;
}

// Found by fuzzing: a key written with a blank around its name could not be read back with
// the same name, since writes trimmed the names and reads did not.
TEST_F(IniFileTest, BlanksAroundAskedNamesAreIgnoredByReadsAsByWrites) {
    TIniFile ini(path_);
    ASSERT_TRUE(ini.WriteString(" formatInfo0\t", "paraZoom ", "pan"));
    EXPECT_EQ(ini.ReadString(" formatInfo0\t", "paraZoom ", "lbox"), "pan");
    EXPECT_EQ(ini.ReadString("formatInfo0", "\tparaZoom", "lbox"), "pan");
    EXPECT_TRUE(ini.ValueExists("formatinfo0 ", " PARAZOOM"));
}

TEST_F(IniFileTest, IntegersAndBooleans) {
    TIniFile ini(path_);
    ASSERT_TRUE(ini.WriteInteger("s", "n", -42));
    ASSERT_TRUE(ini.WriteBool("s", "on", true));
    ASSERT_TRUE(ini.WriteBool("s", "off", false));
    EXPECT_EQ(ini.ReadString("s", "n", ""), "-42");
    EXPECT_EQ(ini.ReadString("s", "on", ""), "1");
    EXPECT_EQ(ini.ReadString("s", "off", ""), "0");
    EXPECT_EQ(ini.ReadInteger("s", "n", 0), -42);
    EXPECT_TRUE(ini.ReadBool("s", "on", false));
    EXPECT_FALSE(ini.ReadBool("s", "off", true));

    // Not a number: the reader's default, for integers and booleans alike.
    for (const char* bad : {"abc", "12abc", "", "1.5", "99999999999", " "}) {
        ASSERT_TRUE(ini.WriteString("s", "v", bad));
        EXPECT_EQ(ini.ReadInteger("s", "v", 7), 7) << bad;
        EXPECT_TRUE(ini.ReadBool("s", "v", true)) << bad;
        EXPECT_FALSE(ini.ReadBool("s", "v", false)) << bad;
    }
    // Any non-zero number is true; hexadecimal forms are numbers.
    ASSERT_TRUE(ini.WriteString("s", "v", "-3"));
    EXPECT_TRUE(ini.ReadBool("s", "v", false));
    ASSERT_TRUE(ini.WriteString("s", "v", "$1F"));
    EXPECT_EQ(ini.ReadInteger("s", "v", 0), 31);
    ASSERT_TRUE(ini.WriteString("s", "v", "0x10"));
    EXPECT_EQ(ini.ReadInteger("s", "v", 0), 16);
    ASSERT_TRUE(ini.WriteString("s", "v", "2147483647"));
    EXPECT_EQ(ini.ReadInteger("s", "v", 0), 2147483647);
    ASSERT_TRUE(ini.WriteString("s", "v", "2147483648"));
    EXPECT_EQ(ini.ReadInteger("s", "v", 5), 5);
}

TEST_F(IniFileTest, WritesKeepCommentsOtherKeysAndLineBreakStyle) {
    const std::string original = "; user notes\r\n[settings]\r\n  skinIndex = 3 \r\n; keep me\r\n"
                                 "volume=64\r\n\r\n[lstformat]\r\n0=1\r\n";
    test::WriteTextFile(path_, original);
    TIniFile ini(path_);
    EXPECT_EQ(ini.ReadInteger("settings", "skinindex", 0), 3) << "blanks around names and values";

    ASSERT_TRUE(ini.WriteInteger("settings", "volume", 100));
    ASSERT_TRUE(ini.WriteString("settings", "mute", "1"));
    ASSERT_TRUE(ini.WriteString("lstformat", "2", "0"));
    ASSERT_TRUE(ini.WriteString("formatInfo0", "paraZoom", "full"));
    EXPECT_EQ(ReadAll(path_), "; user notes\r\n[settings]\r\n  skinIndex = 3 \r\n; keep me\r\n"
                              "volume=100\r\nmute=1\r\n\r\n[lstformat]\r\n0=1\r\n2=0\r\n"
                              "[formatInfo0]\r\nparaZoom=full\r\n");
}

TEST_F(IniFileTest, AppendsToAFileWithoutFinalLineBreak) {
    test::WriteTextFile(path_, "[a]\nx=1");
    TIniFile ini(path_);
    ASSERT_TRUE(ini.WriteString("a", "y", "2"));
    ASSERT_TRUE(ini.WriteString("b", "z", "3"));
    EXPECT_EQ(ReadAll(path_), "[a]\nx=1\ny=2\n[b]\nz=3\n");
}

TEST_F(IniFileTest, FirstSectionAndFirstKeyWin) {
    test::WriteTextFile(path_, "[s]\nk=first\nk=second\n[S]\nk=third\n");
    TIniFile ini(path_);
    EXPECT_EQ(ini.ReadString("s", "k", ""), "first");
    ASSERT_TRUE(ini.WriteString("s", "k", "new"));
    EXPECT_EQ(ReadAll(path_), "[s]\nk=new\nk=second\n[S]\nk=third\n");
}

TEST_F(IniFileTest, ValuesThatWouldInjectKeysOrSectionsAreRefused) {
    TIniFile ini(path_);
    ASSERT_TRUE(ini.WriteString("settings", "OutPutDir", "/safe"));
    const std::string before = ReadAll(path_);
    EXPECT_FALSE(ini.WriteString("settings", "OutPutDir", "/x\n[settings]\nskinIndex=6"));
    EXPECT_FALSE(ini.WriteString("settings", "OutPutDir", "/x\rskinIndex=6"));
    EXPECT_FALSE(ini.WriteString("settings", "OutPutDir", std::string("/x\0y", 4)));
    EXPECT_FALSE(ini.WriteString("settings", "a=b", "1"));
    EXPECT_FALSE(ini.WriteString("settings", "[x", "1"));
    EXPECT_FALSE(ini.WriteString("settings", ";x", "1"));
    EXPECT_FALSE(ini.WriteString("settings", "", "1"));
    EXPECT_FALSE(ini.WriteString("set]tings", "k", "1"));
    EXPECT_FALSE(ini.WriteString("a\nb", "k", "1"));
    EXPECT_EQ(ReadAll(path_), before) << "a refused write leaves the file unchanged";
    EXPECT_EQ(ini.ReadInteger("settings", "skinIndex", -1), -1);

    // "[" and "=" inside a value are harmless: they never start a line.
    ASSERT_TRUE(ini.WriteString("settings", "FormatName", "[x] a=b (*.mp4)"));
    EXPECT_EQ(ini.ReadString("settings", "FormatName", ""), "[x] a=b (*.mp4)");
}

TEST_F(IniFileTest, NothingIsCachedBetweenCalls) {
    TIniFile first(path_);
    TIniFile second(path_);
    ASSERT_TRUE(first.WriteString("s", "k", "1"));
    EXPECT_EQ(second.ReadString("s", "k", ""), "1");
    test::WriteTextFile(path_, "[s]\nk=edited outside\n");
    EXPECT_EQ(first.ReadString("s", "k", ""), "edited outside");
}

TEST_F(IniFileTest, ReplacesTheFileWholeAndKeepsItsPermissions) {
    test::WriteTextFile(path_, "[s]\nk=1\n");
    ASSERT_EQ(::chmod(path_.c_str(), 0600), 0);
    TIniFile ini(path_);
    ASSERT_TRUE(ini.WriteString("s", "k", "2"));
    struct stat facts {};
    ASSERT_EQ(::stat(path_.c_str(), &facts), 0);
    EXPECT_EQ(facts.st_mode & 0777, 0600u);
    // No temporary file is left beside it.
    int entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.Path())) {
        (void)entry;
        ++entries;
    }
    EXPECT_EQ(entries, 1);
}

TEST_F(IniFileTest, AMissingSettingsFolderIsCreatedAndABlockedOneFailsQuietly) {
    // A new account has no settings folder yet; its first settings must not be lost.
    TIniFile fresh(dir_.File("config/x.ini"));
    EXPECT_TRUE(fresh.WriteString("s", "k", "1"));
    EXPECT_EQ(fresh.ReadString("s", "k", "d"), "1");
    test::WriteTextFile(dir_.File("blocker"), "a file where a folder would go");
    TIniFile blocked(dir_.File("blocker/x.ini"));
    EXPECT_FALSE(blocked.WriteString("s", "k", "1"));
    EXPECT_EQ(blocked.ReadString("s", "k", "d"), "d");
}

TEST_F(IniFileTest, WritesThroughASymbolicLinkKeepTheLink) {
    const std::string real = dir_.File("real.ini");
    test::WriteTextFile(real, "[s]\nk=1\n");
    std::filesystem::create_symlink(real, path_);
    TIniFile ini(path_);
    ASSERT_TRUE(ini.WriteString("s", "k", "2"));
    EXPECT_TRUE(std::filesystem::is_symlink(path_));
    EXPECT_EQ(ReadAll(real), "[s]\nk=2\n");
}

TEST_F(IniFileTest, ConcurrentWritesOfDifferentKeysAreAllKept) {
    std::vector<std::thread> writers;
    for (int thread = 0; thread < 4; ++thread)
        writers.emplace_back([this, thread] {
            TIniFile ini(path_);
            for (int key = 0; key < 25; ++key)
                ini.WriteInteger("s", "k" + std::to_string(thread) + "_" + std::to_string(key),
                                 key);
        });
    for (std::thread& writer : writers)
        writer.join();
    TIniFile ini(path_);
    for (int thread = 0; thread < 4; ++thread)
        for (int key = 0; key < 25; ++key)
            EXPECT_EQ(
                ini.ReadInteger("s", "k" + std::to_string(thread) + "_" + std::to_string(key), -1),
                key);
}

TEST(NumberTextTest, WholeTextOnly) {
    EXPECT_EQ(ParseInteger("320"), 320);
    EXPECT_EQ(ParseInteger("-5"), -5);
    EXPECT_EQ(ParseInteger("+5"), 5);
    EXPECT_FALSE(ParseInteger("320 "));
    EXPECT_FALSE(ParseInteger(" 320"));
    EXPECT_FALSE(ParseInteger("--5"));
    EXPECT_FALSE(ParseInteger("-"));
    EXPECT_FALSE(ParseInteger("as source"));
    EXPECT_EQ(ParseNumber("29.97"), 29.97);
    EXPECT_EQ(ParseNumber("96.5"), 96.5);
    EXPECT_EQ(ParseNumber("7"), 7.0);
    EXPECT_FALSE(ParseNumber("29,97"));
    EXPECT_FALSE(ParseNumber("inf"));
    EXPECT_FALSE(ParseNumber("nan"));
    EXPECT_FALSE(ParseNumber("1e999"));
    EXPECT_FALSE(ParseNumber("+-1.5"));
    EXPECT_FALSE(ParseNumber(""));
}

} // namespace
} // namespace tovik
