#include "winlist/ListExport.h"

#include "winlist/WebWindowList.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace tabulon {
namespace {

TEST(ListExport, CsvFieldsAreQuotedOnlyWhenTheyMustBe)
{
    EXPECT_EQ(csvField("plain text"), "plain text");
    EXPECT_EQ(csvField(""), "");
    EXPECT_EQ(csvField("a,b"), "\"a,b\"");
    EXPECT_EQ(csvField("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(csvField("two\nlines"), "\"two\nlines\"");
    EXPECT_EQ(csvField("cr\rhere"), "\"cr\rhere\"");
    EXPECT_EQ(csvField("\""), "\"\"\"\"");
}

TEST(ListExport, ATextCellAFormulaWouldRunIsKeptAsText)
{
    EXPECT_EQ(csvField("=HYPERLINK(\"http://x\")"), "\"'=HYPERLINK(\"\"http://x\"\")\"");
    EXPECT_EQ(csvField("+1"), "'+1");
    EXPECT_EQ(csvField("-2"), "'-2");
    EXPECT_EQ(csvField("@SUM(A1)"), "'@SUM(A1)");
    EXPECT_EQ(csvField("\tx"), "'\tx");
    EXPECT_EQ(csvField("a=b"), "a=b");
    // Numbers the program measured are numbers.
    EXPECT_EQ(csvField("-2", false), "-2");
}

TEST(ListExport, BytesThatAreNotUtf8BecomeReplacementCharacters)
{
    EXPECT_EQ(validUtf8("日本語 ok"), "日本語 ok");
    EXPECT_EQ(validUtf8("a\xff"
                        "b"),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(validUtf8("\xE6\x97"), "\xEF\xBF\xBD\xEF\xBF\xBD");      // cut short
    EXPECT_EQ(validUtf8("\xC0\xAF"), "\xEF\xBF\xBD\xEF\xBF\xBD");      // overlong
    EXPECT_EQ(validUtf8("\xED\xA0\x80").substr(0, 3), "\xEF\xBF\xBD"); // a surrogate
    EXPECT_EQ(validUtf8("\xF0\x9F\x98\x80"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(validUtf8(std::string("\0x", 2)), std::string("\0x", 2));
}

TEST(ListExport, TheExtensionDecidesTheKindAndTheFilterOtherwise)
{
    EXPECT_EQ(listFormatFor("/tmp/list.CSV", 2), ListFormat::Csv);
    EXPECT_EQ(listFormatFor("/tmp/list.json", 0), ListFormat::Json);
    EXPECT_EQ(listFormatFor("/tmp/list.txt", 1), ListFormat::Text);
    EXPECT_EQ(listFormatFor("/tmp/list", 1), ListFormat::Json);
    EXPECT_EQ(listFormatFor("/tmp/list.d/list", 2), ListFormat::Text);
    EXPECT_EQ(listFormatFor("/tmp/list.xls", 7), ListFormat::Csv);
    EXPECT_EQ(listFormatFor("/tmp/list.d/list", -1), ListFormat::Csv);
}

class ListExportRows : public testing::Test
{
protected:
    ListExportRows()
    {
        ListRow& first = list.addRow("Ｍａｉｌ, \"受信箱\"");
        first.sub = {"N", "600", "800", "2", "http://mail.example/?a=1,b=2"};
        first.browser = "Firefox";
        list.addRow("busy");
        ListRow& third = list.addRow("=cmd|' /C calc'!A0");
        third.sub = {"S", "24", "160", "", "http://x.example/"};
        third.text += "\xff";
        // Rows above the 20th and rows a filter hides are exported alike.
        for (int i = 4; i <= 22; ++i)
            list.addRow("w" + std::to_string(i)).sub[4] = "http://w.example/";
        list.setShownRows(std::vector<int>{1});
    }
    WebWindowList list;
};

TEST_F(ListExportRows, CsvHasAByteOrderMarkAHeaderAndEveryRow)
{
    const std::string csv = exportList(list, ListFormat::Csv);
    ASSERT_EQ(csv.substr(0, 3), "\xEF\xBB\xBF");
    const std::string expectedStart =
        "\xEF\xBB\xBF"
        "name,state,height,width,frames,address,browser\r\n"
        "\"Ｍａｉｌ, \"\"受信箱\"\"\",N,600,800,2,\"http://mail.example/?a=1,b=2\",Firefox\r\n"
        "busy,,,,,,\r\n"
        "'=cmd|' /C calc'!A0\xEF\xBF\xBD,S,24,160,,http://x.example/,\r\n";
    EXPECT_EQ(csv.substr(0, expectedStart.size()), expectedStart);
    EXPECT_NE(csv.find("w22,,,,,http://w.example/,\r\n"), std::string::npos);
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 1 + 22);
}

TEST_F(ListExportRows, JsonIsAnArrayOfObjectsWithNumbersWhereTheCellsHoldThem)
{
    const auto rows = nlohmann::json::parse(exportList(list, ListFormat::Json));
    ASSERT_TRUE(rows.is_array());
    ASSERT_EQ(rows.size(), 22U);
    EXPECT_EQ(rows[0], nlohmann::json::parse(R"({"name": "Ｍａｉｌ, \"受信箱\"", "state": "N",
        "height": 600, "width": 800, "frames": 2, "address": "http://mail.example/?a=1,b=2",
        "browser": "Firefox"})"));
    EXPECT_EQ(rows[1]["height"], nullptr);
    EXPECT_EQ(rows[2]["frames"], nullptr);
    EXPECT_EQ(rows[2]["name"], "=cmd|' /C calc'!A0\xEF\xBF\xBD");
}

TEST_F(ListExportRows, TextIsOneLineARowWithNoTabOrLineEndInsideACell)
{
    list.addRow("two\tcells\nand a line").sub[4] = "http://t.example/";
    const std::string text = exportList(list, ListFormat::Text);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 23);
    EXPECT_NE(text.find("two cells and a line\t\t\t\t\thttp://t.example/\t\n"), std::string::npos);
}

} // namespace
} // namespace tabulon
