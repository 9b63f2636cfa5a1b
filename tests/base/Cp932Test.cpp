#include "base/Cp932.h"

#include <algorithm>
#include <chrono>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace tabulon {
namespace {

using namespace std::string_literals;

// U+10FF00 + byte, as UTF-8.
const std::string kEsc80 = "\xF4\x8F\xBE\x80";
const std::string kEsc81 = "\xF4\x8F\xBE\x81";
const std::string kEsc82 = "\xF4\x8F\xBE\x82";
const std::string kEsc85 = "\xF4\x8F\xBE\x85";
const std::string kEscA0 = "\xF4\x8F\xBE\xA0";
const std::string kEscFC = "\xF4\x8F\xBF\xBC";
const std::string kEscFD = "\xF4\x8F\xBF\xBD";
const std::string kEscFF = "\xF4\x8F\xBF\xBF";
const std::string kEsc00 = "\xF4\x8F\xBC\x80";

TEST(Cp932, DecodesAndEncodesMicrosoftCharacters)
{
    struct Case
    {
        std::string cp932;
        std::string utf8;
    };
    const Case cases[] = {
        {"\x87\x40", "①"},            // NEC special row
        {"\xFB\xFC", "髙"},           // IBM extension
        {"\x81\x60", "～"},           // FULLWIDTH TILDE, not WAVE DASH
        {"\x81\x5B", "ー"},           // trail byte '['
        {"\x83\x5D", "ゾ"},           // trail byte ']'
        {"\x83\x5C", "ソ"},           // trail byte '\'
        {"\xB1\xDF", "ｱﾟ"},           // half-width katakana
        {"\x5C\x7E", "\\~"},          // ASCII stays ASCII
        {"\xF0\x40", "\xEE\x80\x80"}, // user-defined area, U+E000
        {"abc\x82\xA0xyz", "abcあxyz"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(fromCp932(c.cp932), c.utf8) << c.utf8;
        EXPECT_EQ(toCp932(c.utf8), c.cp932) << c.utf8;
        EXPECT_TRUE(isValidCp932(c.cp932)) << c.utf8;
    }
}

TEST(Cp932, InvalidBytesBecomeEscapesWithoutTakingTheirNeighbours)
{
    struct Case
    {
        std::string cp932;
        std::string utf8;
    };
    const Case cases[] = {
        {"a\x80z", "a" + kEsc80 + "z"},
        {"\xA0\xFD\xFF", kEscA0 + kEscFD + kEscFF},
        {"a\x81", "a" + kEsc81},   // lead byte cut off at the end
        {"\x81", kEsc81},          // and nothing else
        {"\x81 x", kEsc81 + " x"}, // trail below the trail range
        {"\x81\x7F"
         "a",
         kEsc81 + "\x7F"
                  "a"},                       // 0x7F is never a trail
        {"\x85\x40", kEsc85 + "@"},           // unassigned row
        {"\xFC\x4C\x82\xA0", kEscFC + "Lあ"}, // past the last assigned code
        {"\x81\x82\xA0", "≠" + kEscA0},       // the pair counts from the left
        {"\x80\x82\xA0", kEsc80 + "あ"},
        {"\x81\x81\x81", "＝" + kEsc81},
    };
    for (const Case& c : cases) {
        const std::string decoded = fromCp932(c.cp932);
        EXPECT_EQ(decoded, c.utf8);
        EXPECT_EQ(toCp932(decoded), c.cp932);
        EXPECT_FALSE(isValidCp932(c.cp932));
    }
}

TEST(Cp932, NulBytesRoundTrip)
{
    const std::string bytes = "a\0\x82\xA0\0\0z"s;
    const std::string decoded = fromCp932(bytes);
    EXPECT_EQ(decoded, "a\0あ\0\0z"s);
    EXPECT_EQ(toCp932(decoded), bytes);
    EXPECT_TRUE(isValidCp932(bytes));
    // A lead byte followed by NUL: the NUL is its own character.
    EXPECT_EQ(fromCp932("\x82\0"s), "\xF4\x8F\xBE\x82\0"s);
    EXPECT_EQ(toCp932("\xF4\x8F\xBC\x80"), "\0"s);
    EXPECT_EQ(toCp932(kEsc00 + "x"), "\0x"s);
}

TEST(Cp932, EveryByteSurvivesARoundTrip)
{
    for (int b = 0; b < 256; ++b) {
        const std::string one(1, static_cast<char>(b));
        EXPECT_EQ(toCp932(fromCp932(one)), one) << b;
        // Each byte between two ASCII characters that can never be a trail byte.
        const std::string framed = "!" + one + ".";
        const std::string decoded = fromCp932(framed);
        EXPECT_EQ(toCp932(decoded), framed) << b;
        EXPECT_EQ(decoded.front(), '!');
        EXPECT_EQ(decoded.back(), '.');
    }
}

TEST(Cp932, RandomBytesRoundTrip)
{
    // Leads of rows with duplicate codes (NEC row 13, the NEC-selected IBM rows, the IBM
    // rows) are left out: those characters come back under their preferred code.
    std::mt19937 random(1234);
    std::uniform_int_distribution<int> byte(0, 255);
    std::string bytes;
    while (bytes.size() < 200000) {
        const int b = byte(random);
        if (b == 0x87 || b == 0xED || b == 0xEE || (b >= 0xFA && b <= 0xFC))
            continue;
        bytes += static_cast<char>(b);
    }
    const std::string decoded = fromCp932(bytes);
    EXPECT_EQ(toCp932(decoded), bytes);
    EXPECT_FALSE(isValidCp932(bytes));
}

// Random byte strings drawn mostly from the bytes that make trouble: lead bytes of rows
// with and without duplicate codes, trail bytes, bytes that are never valid, NUL, ASCII
// that can be a trail byte; a fixed seed keeps every run the same.
std::vector<std::string> damagedStrings()
{
    static const unsigned char kTricky[] = {
        0x00, 0x0A, 0x40, 0x54, 0x5B, 0x5C, 0x60, 0x7F, 0x80, 0x81, 0x82, 0x87, 0x88, 0x90, 0x9F,
        0xA0, 0xCA, 0xE0, 0xED, 0xEE, 0xEF, 0xF0, 0xFA, 0xFB, 0xFC, 0xFD, 0xFE, 0xFF, 'a',  '`'};
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> length(0, 64);
    std::uniform_int_distribution<std::size_t> tricky(0, std::size(kTricky) - 1);
    std::uniform_int_distribution<int> any(0, 255);
    std::vector<std::string> strings;
    for (int n = 0; n < 20000; ++n) {
        std::string bytes;
        for (int i = length(random); i > 0; --i)
            bytes += static_cast<char>(any(random) < 192 ? kTricky[tricky(random)] : any(random));
        strings.push_back(std::move(bytes));
    }
    return strings;
}

TEST(Cp932, DamagedTextReadsBackTheSameAfterItIsWrittenBack)
{
    for (const std::string& bytes : damagedStrings()) {
        const std::string text = fromCp932(bytes);
        const std::string written = toCp932(text);
        ASSERT_EQ(fromCp932(written), text) << ::testing::PrintToString(bytes);
        // Only characters with two codes may change their bytes, never their length.
        ASSERT_EQ(written.size(), bytes.size()) << ::testing::PrintToString(bytes);
    }
}

TEST(Cp932, AnEscapedLeadByteKeepsToItself)
{
    struct Case
    {
        std::string cp932;
        std::string utf8;
    };
    // Each reads with its lead byte escaped; written back, the next character's usual
    // code would complete that lead byte into another character, so its other code is
    // written: the very bytes read.
    const Case cases[] = {
        {"\x82\xFA\x54", kEsc82 + "￢"}, // not 0x82 0x81 0xCA, "ａﾊ"
        {"\x82\xFA\x5B", kEsc82 + "∵"},  // not 0x82 0x81 0xE6
        {"\x82\xFA\x4A", kEsc82 + "Ⅰ"},  // not 0x82 0x87 0x54
    };
    for (const Case& c : cases) {
        EXPECT_EQ(fromCp932(c.cp932), c.utf8);
        EXPECT_EQ(toCp932(c.utf8), c.cp932);
    }
    // Lone lead bytes at the end, before ASCII, before another lead byte, before NUL,
    // and next to valid double-byte characters, come back byte for byte.
    for (const std::string& bytes :
         {"\x82"s, "a\x82"s, "\x82 a"s, "\x82\x82\x82"s, "\x88\x82\xA0"s, "\x82\0"s,
          "\x82\xA0\x82"s, "\xFC\x82\xA0"s, "\x80\xA0\xFD\xFE\xFF"s, "\x9F\xFD"s}) {
        EXPECT_EQ(toCp932(fromCp932(bytes)), bytes) << ::testing::PrintToString(bytes);
    }
}

TEST(Cp932, EditedTextNextToAnEscapeKeepsEveryCharacterItShows)
{
    // Typing after an escaped lead byte: written as they are, 0x82 0x60 would read back
    // as "Ａ" and 0x82 0x83 0x41 as "ｃA". The escape gives way to '?' instead.
    EXPECT_EQ(toCp932(kEsc82 + "`"), "?`");
    EXPECT_EQ(fromCp932(toCp932(kEsc82 + "`")), "?`");
    EXPECT_EQ(fromCp932(toCp932(kEsc82 + "ア")), "?ア");
    // Two escapes that would make a character: the first gives way.
    EXPECT_EQ(toCp932(kEsc82 + kEscA0), "?\xA0");
    // Nothing to join: both stay.
    EXPECT_EQ(toCp932(kEsc82 + kEscFD), "\x82\xFD");
    EXPECT_EQ(toCp932(kEsc85 + "@"), "\x85@");
}

TEST(Cp932, OneLineNeverHoldsALineBreak)
{
    // Taken out before encoding, a line break cannot leave two escaped bytes side by
    // side: 0x82 then LF then 0xA0 must not become "ぁ".
    const std::string esc0A = "\xF4\x8F\xBC\x8A";
    const std::string esc0D = "\xF4\x8F\xBC\x8D";
    EXPECT_EQ(toCp932Line("a\r\nb" + esc0D + esc0A + "c"), "abc");
    EXPECT_EQ(toCp932Line(kEsc82 + "\n" + kEscA0), "?\xA0");
    EXPECT_EQ(toCp932Line(kEsc82 + "\n" + kEscFD), "\x82\xFD");
    for (const std::string& bytes : damagedStrings()) {
        const std::string line = toCp932Line(fromCp932(bytes));
        ASSERT_EQ(line.find_first_of("\r\n"), std::string::npos);
    }
}

TEST(Cp932, EncodesWhatCp932LacksAsQuestionMarks)
{
    EXPECT_EQ(toCp932("a😀b"), "a?b");
    EXPECT_EQ(toCp932("한글"), "??");
    EXPECT_EQ(toCp932("\xF4\x8F\xBB\xBF"), "?");    // U+10FEFF, just below the escapes
    EXPECT_EQ(toCp932("\xF4\x8F\xBF\xBF"), "\xFF"); // U+10FFFF, the last escape
}

TEST(Cp932, EncodesMalformedUtf8AsQuestionMarks)
{
    EXPECT_EQ(toCp932("a\xFF"
                      "b"),
              "a?b");
    EXPECT_EQ(toCp932("a\xE3\x81"), "a??"); // cut off
    EXPECT_EQ(toCp932("\xE3\x81"
                      "a"),
              "??a");                     // cut off before ASCII
    EXPECT_EQ(toCp932("\xC0\xAF"), "??"); // overlong '/'
    EXPECT_EQ(toCp932("\xED\xA0\x80"
                      "x"),
              "???x");                              // surrogate
    EXPECT_EQ(toCp932("\xF4\x90\x80\x80"), "????"); // past U+10FFFF
    EXPECT_EQ(toCp932("\x80"
                      "あ"),
              "?\x82\xA0"); // stray continuation byte
}

TEST(Cp932, ValidityCheck)
{
    EXPECT_TRUE(isValidCp932(""));
    EXPECT_TRUE(isValidCp932("plain ASCII"));
    EXPECT_TRUE(isValidCp932("\x87\x40\xFB\xFC\x81\x60"));
    EXPECT_FALSE(isValidCp932("\x87\x40\xFB"));
    // A double-byte character across the point where long input is cut into slices.
    std::string longText = "a";
    for (int i = 0; i < 40000; ++i)
        longText += "\x82\xA0";
    EXPECT_TRUE(isValidCp932(longText));
    EXPECT_FALSE(isValidCp932(longText + "\x82"));
    EXPECT_FALSE(isValidCp932(longText.substr(0, 70001) + "\x80" + longText.substr(70001)));
}

TEST(Cp932, MegabyteLine)
{
    // Valid text with a bad byte every 1000 bytes, a megabyte in all.
    std::string bytes;
    std::string expected;
    while (bytes.size() < 1000000) {
        for (int i = 0; i < 333; ++i) {
            bytes += "\x82\xA0x";
            expected += "あx";
        }
        bytes += "\xFF";
        expected += kEscFF;
    }
    const std::string decoded = fromCp932(bytes);
    EXPECT_EQ(decoded, expected);
    EXPECT_EQ(toCp932(decoded), bytes);

    // Nothing but bad bytes.
    const std::string junk(1 << 20, '\x80');
    const std::string decodedJunk = fromCp932(junk);
    EXPECT_EQ(decodedJunk.size(), junk.size() * 4);
    EXPECT_EQ(toCp932(decodedJunk), junk);
}

TEST(Cp932, MegabyteOfCharactersCp932Lacks)
{
    // One '?' each, in time linear in the length: far under a second here, where a
    // conversion that restarts after each one takes many seconds.
    std::string text;
    for (int i = 0; i < 250000; ++i)
        text += i % 1000 == 0 ? "あ" : "😀";
    const auto start = std::chrono::steady_clock::now();
    const std::string bytes = toCp932(text);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    ASSERT_EQ(bytes.size(), 250000u + 250u);
    EXPECT_EQ(bytes.substr(0, 4), "\x82\xA0??");
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '?'), 250000 - 250);
    EXPECT_LT(elapsed, std::chrono::seconds(3));
}

} // namespace
} // namespace tabulon
