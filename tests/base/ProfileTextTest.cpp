#include "base/ProfileText.h"

#include "base/Cp932.h"

#include <gtest/gtest.h>
#include <string>

namespace tabulon {
namespace {

using namespace std::string_literals;

TEST(ProfileRead, MatchesSectionsAndKeysIgnoringCaseAndBlanks)
{
    const std::string file = "[Main]\r\n  Width = 800 \r\n\tHeight\t=\t600\t\r\n";
    EXPECT_EQ(profileRead(file, "Main", "Width"), "800");
    EXPECT_EQ(profileRead(file, "MAIN", "width"), "800");
    EXPECT_EQ(profileRead(file, " main\t", "  HEIGHT "), "600");
    EXPECT_EQ(profileRead(file, "Mai", "Width"), "");
    EXPECT_EQ(profileRead(file, "Main", "Widt"), "");
    EXPECT_EQ(profileRead(file, "Main", "Depth"), "");
    EXPECT_EQ(profileRead("", "Main", "Width"), "");
    EXPECT_EQ(profileRead("  [ Main ]  trailing\r\nk=v\r\n", "main", "K"), "v");
}

TEST(ProfileRead, FoldsOnlyAsciiLetters)
{
    // ア is 0x83 0x41 and ャ is 0x83 0x61: the trail bytes are 'A' and 'a'.
    const std::string file = toCp932("[ア]\r\nキー=1\r\n[ＡＢ]\r\nx=2\r\n");
    EXPECT_EQ(profileRead(file, "ア", "キー"), "1");
    EXPECT_EQ(profileRead(file, "ャ", "キー"), "");
    EXPECT_EQ(profileRead(file, "ＡＢ", "x"), "2");
    EXPECT_EQ(profileRead(file, "ａｂ", "x"), "");
}

TEST(ProfileRead, FindsSectionNamesWhoseTrailByteIsABracket)
{
    // ゾ is 0x83 0x5D: its trail byte is ']'.
    const std::string file = toCp932("[ゾーン]\r\n名前=値\r\n");
    EXPECT_EQ(profileRead(file, "ゾーン", "名前"), "値");
    EXPECT_EQ(profileRead(file, "\x83", "名前"), "");
}

TEST(ProfileRead, FirstMatchWins)
{
    const std::string file = "[a]\r\nk=1\r\nK=2\r\n[b]\r\nk=3\r\n[A]\r\nk=4\r\nonly=5\r\n";
    EXPECT_EQ(profileRead(file, "a", "k"), "1");
    EXPECT_EQ(profileRead(file, "b", "k"), "3");
    // A later section of the same name is not looked at.
    EXPECT_EQ(profileRead(file, "a", "only"), "");
}

TEST(ProfileRead, KeysBelongToTheirSectionOnly)
{
    const std::string file = "k=0\r\n[a]\r\nx=1\r\n[b]\r\nk=2\r\nnot a key\r\n=empty\r\n";
    EXPECT_EQ(profileRead(file, "a", "k"), "");
    EXPECT_EQ(profileRead(file, "b", "k"), "2");
    EXPECT_EQ(profileRead(file, "b", "not a key"), "");
    EXPECT_EQ(profileRead(file, "b", ""), "empty");
}

TEST(ProfileRead, TrimsTheValueAndRemovesOnePairOfQuotes)
{
    const std::string file = "[s]\r\n"
                             "a=\"  spaced  \"\r\n"
                             "b='single'\r\n"
                             "c=\"mixed'\r\n"
                             "d=\"\r\n"
                             "e=\"\"twice\"\"\r\n"
                             "f=x=y\r\n"
                             "g=\r\n"
                             "h=   \r\n"
                             "i= \"\" \r\n";
    EXPECT_EQ(profileRead(file, "s", "a"), "  spaced  ");
    EXPECT_EQ(profileRead(file, "s", "b"), "single");
    EXPECT_EQ(profileRead(file, "s", "c"), "\"mixed'");
    EXPECT_EQ(profileRead(file, "s", "d"), "\"");
    EXPECT_EQ(profileRead(file, "s", "e"), "\"twice\"");
    EXPECT_EQ(profileRead(file, "s", "f"), "x=y");
    EXPECT_EQ(profileRead(file, "s", "g"), "");
    EXPECT_EQ(profileRead(file, "s", "h"), "");
    EXPECT_EQ(profileRead(file, "s", "i"), "");
}

TEST(ProfileRead, AcceptsEveryLineEnd)
{
    EXPECT_EQ(profileRead("[s]\nk=lf\n", "s", "k"), "lf");
    EXPECT_EQ(profileRead("[s]\rk=cr\r", "s", "k"), "cr");
    EXPECT_EQ(profileRead("[s]\r\n\r\n\rk=mixed", "s", "k"), "mixed");
}

TEST(ProfileRead, DecodesCp932AndKeepsOddBytes)
{
    EXPECT_EQ(profileRead(toCp932("[設定]\r\n記号=～①髙\r\n"), "設定", "記号"), "～①髙");
    const std::string odd = "[s]\r\nk=a\x80"
                            "b\0c\r\n"s;
    EXPECT_EQ(toCp932(profileRead(odd, "s", "k")), "a\x80"
                                                   "b\0c"s);
}

TEST(ProfileRead, CutsLongValuesAt1023BytesBetweenCharacters)
{
    const std::string ascii(1100, 'x');
    EXPECT_EQ(profileRead("[s]\r\nk=" + ascii, "s", "k"), std::string(1023, 'x'));

    std::string kana;
    std::string kanaUtf8;
    for (int i = 0; i < 600; ++i) {
        kana += "\x82\xA0";
        kanaUtf8 += "あ";
    }
    // 1 + 511 * 2 = 1023 bytes: the cut falls between two characters.
    EXPECT_EQ(profileRead("[s]\r\nk=x" + kana, "s", "k"), "x" + kanaUtf8.substr(0, 511 * 3));
    // 2 + 510 * 2 = 1022: the 1023rd byte would be the lead of the next character.
    EXPECT_EQ(profileRead("[s]\r\nk=xx" + kana, "s", "k"), "xx" + kanaUtf8.substr(0, 510 * 3));
    // A lead byte with a bad trail is a character of its own and is kept.
    const std::string lonely = std::string(1022, 'x') + "\x81 tail";
    EXPECT_EQ(toCp932(profileRead("[s]\r\nk=" + lonely, "s", "k")), lonely.substr(0, 1023));
    // The quotes go before the cut.
    EXPECT_EQ(profileRead("[s]\r\nk=\"" + std::string(1023, 'y') + "\"", "s", "k"),
              std::string(1023, 'y'));
    EXPECT_EQ(profileRead("[s]\r\nk=" + std::string(1023, 'z'), "s", "k"), std::string(1023, 'z'));
}

TEST(ProfileWrite, ReplacesTheKeyLineAndKeepsEveryOtherByte)
{
    const std::string before = "; odd \x80\xFF bytes\0 and NUL\r\n"
                               "[Other]\rk=not this one\n"
                               "[Main]\n"
                               "x=\x81\r\n"s;
    const std::string after = "\x82\xA0=\xFF\r"
                              "[Last]\r\nk=z"s;
    EXPECT_EQ(profileWrite(before + "  KEY = old \"value\"\r\n" + after, "main", "key", "new"),
              before + "key=new\r\n" + after);
    // The key's line end is replaced too, a missing one included.
    EXPECT_EQ(profileWrite("[s]\nk=1\n", "s", "k", "2"), "[s]\nk=2\r\n");
    EXPECT_EQ(profileWrite("[s]\rk=1", "S", "K", "2"), "[s]\rK=2\r\n");
}

TEST(ProfileWrite, WritesToTheFirstMatchingSectionAndKey)
{
    EXPECT_EQ(profileWrite("[a]\r\nk=1\r\nk=2\r\n[a]\r\nk=3\r\n", "A", "k", "9"),
              "[a]\r\nk=9\r\nk=2\r\n[a]\r\nk=3\r\n");
}

TEST(ProfileWrite, AddsAMissingKeyAfterTheLastLineOfItsSection)
{
    EXPECT_EQ(profileWrite("[a]\r\nx=1\r\n\r\n  \r\n[b]\r\ny=2\r\n", "a", "z", "3"),
              "[a]\r\nx=1\r\nz=3\r\n\r\n  \r\n[b]\r\ny=2\r\n");
    EXPECT_EQ(profileWrite("[a]\r\n; note\r\n\r\n", "a", "z", "3"), "[a]\r\n; note\r\nz=3\r\n\r\n");
    EXPECT_EQ(profileWrite("[a]\n\n[b]\n", "a", "z", "3"), "[a]\nz=3\r\n\n[b]\n");
    EXPECT_EQ(profileWrite("[a]\r\nx=1", "a", "z", "3"), "[a]\r\nx=1\r\nz=3\r\n");
    EXPECT_EQ(profileWrite("[a]", "a", "z", "3"), "[a]\r\nz=3\r\n");
    EXPECT_EQ(profileWrite("[a]\r", "a", "z", "3"), "[a]\rz=3\r\n");
}

TEST(ProfileWrite, AppendsAMissingSection)
{
    EXPECT_EQ(profileWrite("", "s", "k", "v"), "[s]\r\nk=v\r\n");
    EXPECT_EQ(profileWrite("[a]\r\nx=1\r\n", "s", "k", "v"), "[a]\r\nx=1\r\n[s]\r\nk=v\r\n");
    EXPECT_EQ(profileWrite("[a]\nx=1", "s", "k", "v"), "[a]\nx=1\r\n[s]\r\nk=v\r\n");
    EXPECT_EQ(profileWrite("[a]\nx=1\n\n", "s", "k", "v"), "[a]\nx=1\n\n[s]\r\nk=v\r\n");
    EXPECT_EQ(profileWrite("\x80", "s", "k", "v"), "\x80\r\n[s]\r\nk=v\r\n");
}

TEST(ProfileWrite, WritesCp932OnOneLine)
{
    EXPECT_EQ(profileWrite("", "設定", "記号", "～①\r\n髙"),
              "[\x90\xDD\x92\xE8]\r\n\x8B\x4C\x8D\x86=\x81\x60\x87\x40\xFB\xFC\r\n");
    EXPECT_EQ(profileWrite("", " s ", " k ", "a\rb\nc"), "[s]\r\nk=abc\r\n");
}

TEST(ProfileWrite, ReadsBackWhatItWrote)
{
    std::string file;
    file = profileWrite(file, "Window", "Left", "10");
    file = profileWrite(file, "Window", "Top", "20");
    file = profileWrite(file, "Paths", "List", "/home/user/リスト.txt");
    file = profileWrite(file, "window", "LEFT", "15");
    EXPECT_EQ(profileRead(file, "Window", "Left"), "15");
    EXPECT_EQ(profileRead(file, "Window", "Top"), "20");
    EXPECT_EQ(profileRead(file, "paths", "list"), "/home/user/リスト.txt");
    EXPECT_EQ(file, "[Window]\r\nLEFT=15\r\nTop=20\r\n[Paths]\r\nList=/home/user/"
                    "\x83\x8A\x83\x58\x83\x67.txt\r\n");
}

} // namespace
} // namespace tabulon
