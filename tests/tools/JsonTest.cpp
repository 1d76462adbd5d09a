#include "cli/Json.h"

#include <gtest/gtest.h>

namespace tovik::cli {
namespace {

TEST(JsonTest, StringsEscapeQuotesBackslashesAndControlCharacters) {
    EXPECT_EQ(JsonQuoted("plain"), "\"plain\"");
    EXPECT_EQ(JsonQuoted("a \"b\" c\\d"), "\"a \\\"b\\\" c\\\\d\"");
    EXPECT_EQ(JsonQuoted("line\nnext\r\tend"), "\"line\\nnext\\r\\tend\"");
    EXPECT_EQ(JsonQuoted(std::string("\x01\x1f\x7f", 3)), "\"\\u0001\\u001f\\u007f\"");
    EXPECT_EQ(JsonQuoted(std::string("nul\0byte", 8)), "\"nul\\u0000byte\"");
}

TEST(JsonTest, Utf8PassesAndStrayBytesBecomeReplacementCharacters) {
    // A file name in Latin-1 (0xE9) and well-formed two, three and four byte sequences.
    EXPECT_EQ(JsonQuoted("caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x8e\xac"),
              "\"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x8e\xac\"");
    EXPECT_EQ(JsonQuoted("caf\xe9.avi"), "\"caf\xef\xbf\xbd.avi\"");
    // Overlong form of '/', a UTF-16 surrogate, a cut-off sequence at the end.
    EXPECT_EQ(JsonQuoted("\xc0\xaf"), "\"\xef\xbf\xbd\xef\xbf\xbd\"");
    EXPECT_EQ(JsonQuoted("\xed\xa0\x80"), "\"\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\"");
    EXPECT_EQ(JsonQuoted("ok\xe2\x82"), "\"ok\xef\xbf\xbd\xef\xbf\xbd\"");
}

TEST(JsonTest, NumbersUseTheShortestTextAndNonFiniteOnesBecomeNull) {
    EXPECT_EQ(TJson(2.04).Text(), "2.04");
    EXPECT_EQ(TJson(0.1 + 0.2).Text(), "0.30000000000000004");
    EXPECT_EQ(TJson(25.0).Text(), "25");
    EXPECT_EQ(TJson(int64_t{-9007199254740993}).Text(), "-9007199254740993");
    EXPECT_EQ(TJson(1.0 / 0.0).Text(), "null");
    EXPECT_EQ(TJson(0.0 / 0.0).Text(), "null");
}

TEST(JsonTest, ObjectsKeepTheirKeyOrderAndReplaceARepeatedKey) {
    TJson object = TJson::Object();
    object.Set("b", 1).Set("a", TJson()).Set("b", "two");
    TJson list = TJson::Array();
    list.Append(true).Append(TJson::Object()).Append(TJson::Array());
    object.Set("list", std::move(list));
    EXPECT_EQ(object.Text(), "{\n"
                             "  \"b\": \"two\",\n"
                             "  \"a\": null,\n"
                             "  \"list\": [\n"
                             "    true,\n"
                             "    {},\n"
                             "    []\n"
                             "  ]\n"
                             "}");
    EXPECT_THROW(list.Set("x", 1), std::logic_error);
    EXPECT_THROW(object.Append(1), std::logic_error);
}

} // namespace
} // namespace tovik::cli
