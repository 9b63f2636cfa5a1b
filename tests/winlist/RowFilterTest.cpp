#include "winlist/RowFilter.h"

#include "winlist/WebWindowList.h"

#include <gtest/gtest.h>

namespace tabulon {
namespace {

ListRow row(const char* name, const char* address)
{
    ListRow result{name, {}, {}};
    result.sub[4] = address;
    return result;
}

bool shows(const char* filter, const char* name, const char* address = "http://x.example/")
{
    return RowFilter(QString::fromUtf8(filter)).matches(row(name, address));
}

TEST(RowFilter, WidthAndCaseAreIgnoredOnBothSides)
{
    EXPECT_TRUE(shows("mail", "Ｍａｉｌ受信箱"));
    EXPECT_TRUE(shows("ＭＡＩＬ", "mail"));
    EXPECT_TRUE(shows("ショッピング", "ｼｮｯﾋﾟﾝｸﾞ"));
    EXPECT_TRUE(shows("ｼｮｯﾋﾟﾝｸﾞ", "ショッピング"));
    EXPECT_TRUE(shows("１２３", "page 123"));
    EXPECT_TRUE(shows("ΣΟΦΙΑ", "σοφια"));
    EXPECT_FALSE(shows("mails", "Ｍａｉｌ"));
    // Kana of the other script are different words.
    EXPECT_FALSE(shows("しょっぴんぐ", "ショッピング"));
}

TEST(RowFilter, TheAddressCountsAsMuchAsTheName)
{
    EXPECT_TRUE(shows("inbox", "受信箱", "http://mail.example/inbox"));
    EXPECT_TRUE(shows("MAIL.EXAMPLE", "受信箱", "http://mail.example/inbox"));
    EXPECT_FALSE(shows("outbox", "受信箱", "http://mail.example/inbox"));
    // The text must be found in one of them, not across the two.
    EXPECT_FALSE(shows("箱http", "受信箱", "http://mail.example/"));
}

TEST(RowFilter, AnEmptyFilterShowsEveryRowAndRowNumbersStayReal)
{
    WebWindowList list;
    list.addRow("alpha").sub[4] = "http://a.example/";
    list.addRow("busy");
    list.addRow("Beta").sub[4] = "http://b.example/";
    list.addRow(std::string("\xff\xfe broken", 9));

    EXPECT_FALSE(RowFilter().active());
    EXPECT_EQ(RowFilter().shownRows(list), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(RowFilter(QStringLiteral("BETA")).shownRows(list), (std::vector<int>{3}));
    EXPECT_EQ(RowFilter(QStringLiteral("example")).shownRows(list), (std::vector<int>{1, 3}));
    EXPECT_TRUE(RowFilter(QStringLiteral("zzz")).shownRows(list).empty());
}

} // namespace
} // namespace tabulon
