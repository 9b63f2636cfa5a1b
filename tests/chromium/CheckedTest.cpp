#include "automation/chromium/Checked.h"

#include "automation/Error.h"

#include <gtest/gtest.h>
#include <limits>

using namespace automation::chromium;
using nlohmann::json;

namespace {

bool isUtf8(const std::string& text)
{
    return checked::repairJsonText(text) == text;
}

} // namespace

TEST(CheckedReads, NumbersAreWholeAndInRangeOrNothing)
{
    const auto count = [](const json& value) { return checked::integer(value, 0, 1000); };
    EXPECT_EQ(count(5), 5);
    EXPECT_EQ(count(5.0), 5);
    EXPECT_EQ(count(json::parse("1000")), 1000);
    for (const json& value : {json(2.5), json(1e300), json(-1e300), json(-1), json(1001), json("5"),
                              json(true), json(nullptr), json::array({5}), json::object(),
                              json(-0.5), json(std::numeric_limits<std::uint64_t>::max()),
                              json(std::numeric_limits<std::int64_t>::min()), json::parse("1e19"),
                              json::parse("-9223372036854775809")})
        EXPECT_FALSE(count(value)) << value.dump();
    // The widest range still refuses what no 64-bit integer holds.
    const std::int64_t low = std::numeric_limits<std::int64_t>::min();
    const std::int64_t high = std::numeric_limits<std::int64_t>::max();
    EXPECT_FALSE(checked::integer(9.3e18, low, high));
    EXPECT_FALSE(checked::integer(-9.3e18, low, high));
    EXPECT_EQ(checked::integer(json(high), low, high), high);
    EXPECT_EQ(checked::integer(json(low), low, high), low);

    EXPECT_THROW(checked::requireInteger("images", 1e300, 0, 10, "count"), automation::Error);
    const json object = {{"n", 3}, {"s", "x"}};
    EXPECT_EQ(checked::integerAt(object, "n", 0, 5), 3);
    EXPECT_FALSE(checked::integerAt(object, "s", 0, 5));
    EXPECT_FALSE(checked::integerAt(json::array({1}), "n", 0, 5));
    EXPECT_FALSE(checked::integerAt(json("n"), "n", 0, 5));
}

TEST(CheckedReads, PageTextIsCutOnACharacterAndLosesTheCodecsRawBytes)
{
    // Three bytes a character: no cut lands on a boundary by chance.
    std::string japanese;
    for (int i = 0; i < 30000; ++i)
        japanese += "日";
    const std::string cut = checked::pageText(japanese, 65536);
    EXPECT_EQ(cut.size(), 65535u);
    EXPECT_TRUE(isUtf8(cut));
    EXPECT_EQ(checked::pageText("ab😀", 5), "ab");
    EXPECT_EQ(checked::pageText("short", 65536), "short");

    // U+10FF0D and U+10FF0A would go to disk as the bytes CR and LF; other private
    // characters are left to the codec.
    EXPECT_EQ(checked::pageText("a\xF4\x8F\xBC\x8D\xF4\x8F\xBC\x8A"
                                "b"),
              "a\xEF\xBF\xBD\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(checked::pageText("\xF4\x8F\xBF\xBF"), "\xEF\xBF\xBD");
    EXPECT_EQ(checked::pageText("\xF3\xB0\x80\x80"), "\xF3\xB0\x80\x80");
    EXPECT_EQ(checked::lineText("a\r\nb\tc\x7f", 100), "a  b c ");
}

TEST(CheckedReads, BrokenProtocolTextIsMendedOnlyWhereABrowserBreaksIt)
{
    const auto mended = [](const std::string& text) {
        return json::parse(checked::repairJsonText(text), nullptr, false);
    };
    // A page's string cut inside a surrogate pair, or a lone half of one.
    ASSERT_TRUE(json::parse(R"({"v":"a\ud800b"})", nullptr, false).is_discarded());
    EXPECT_EQ(mended(R"({"v":"a\ud800b"})")["v"], "a\uFFFDb");
    EXPECT_EQ(mended(R"({"v":"\udc00\ud83d"})")["v"], "\uFFFD\uFFFD");
    // Whole pairs and escaped backslashes stay as they are.
    EXPECT_EQ(mended(R"({"v":"\ud83d\ude00"})")["v"], "😀");
    EXPECT_EQ(mended(R"({"v":"\\ud800"})")["v"], "\\ud800");
    // Bytes that are not UTF-8, a surrogate encoded in UTF-8, an overlong form.
    EXPECT_EQ(mended("{\"v\":\"a\xFF\xC0\xAF"
                     "b\"}")["v"],
              "a\uFFFD\uFFFD\uFFFDb");
    EXPECT_EQ(mended("{\"v\":\"\xED\xA0\x80\"}")["v"], "\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(mended("{\"v\":\"\xE6\x97\xA5\"}")["v"], "日");
    // Text broken otherwise stays broken.
    EXPECT_TRUE(mended(R"({"v":"a})").is_discarded());
    EXPECT_TRUE(mended(R"({"v":"\u12"})").is_discarded());

    EXPECT_TRUE(checked::nestsWithin(R"({"a":[[1]],"s":"[[[[[[\"[[["})", 3));
    EXPECT_FALSE(checked::nestsWithin("[[[[1]]]]", 3));
    EXPECT_FALSE(checked::nestsWithin(std::string(100000, '['), 4096));
}
