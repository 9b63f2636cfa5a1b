#include "page/PageReport.h"

#include "automation/Limits.h"
#include "tests/page/PageDesktop.h"

#include <gtest/gtest.h>

namespace tabulon {
namespace {

using automation::sim::SimImage;
using automation::sim::SimLink;

class PageReportTest : public ::testing::Test
{
protected:
    std::string report(int row)
    {
        d.listAll(row);
        return DispDataText(d.list.selectedWebWin());
    }

    test::PageDesktop d;
};

TEST_F(PageReportTest, NoBrowserGivesNothing)
{
    d.open("A");
    EXPECT_EQ(report(0), "");
    d.desktop.find("A")->fail = {"LocationName", "LocationURL", "Width", "Height", "Document"};
    EXPECT_EQ(report(1), "");
}

TEST_F(PageReportTest, AWindowWithoutDocumentGivesItsFirstLines)
{
    d.open("a", "Aのページ");
    d.desktop.find("a")->document.reset();
    EXPECT_EQ(report(1), "サイトの名称:  Aのページ\r\n"
                         "URL:　　　       http://a.example/\r\n\r\n"
                         "Window Width =  800\r\n"
                         "Window Height =  600\r\n");
}

TEST_F(PageReportTest, AnUnreadableValueLeavesOutItsLineOnly)
{
    auto page = d.open("A");
    page->images = {SimImage{"http://a.example/1.png", std::nullopt},
                    SimImage{"http://a.example/2.png", "20"}};
    page->links = {SimLink{"x", "http://b.example/"}};
    page->scripts = 3;
    page->fail = {"cookie", "styleSheets", "Frames"};
    d.desktop.find("A")->fail = {"LocationURL"};
    const std::string text = report(1);
    EXPECT_EQ(text, "サイトの名称:  Page\r\n"
                    "Window Width =  800\r\n"
                    "Window Height =  600\r\n"
                    "ブラウザの履歴数= 1\r\n"
                    "Referrer = \r\n"
                    "サイトの最終更新日: 12/08/2026 10:00:00\r\n"
                    "\r\n"
                    "　Script:　3\r\n"
                    "　Form:　0\r\n"
                    "　Anchor:　0\r\n"
                    "\r\n"
                    "image: 2\r\n"
                    "    URL(0)= http://a.example/1.png\r\n"
                    "    URL(1)= http://a.example/2.png\r\n"
                    "        file size = 20\r\n"
                    "\r\n"
                    "link: 1\r\n"
                    "   title(0)= x\r\n"
                    "      url(0)= http://b.example/\r\n"
                    "\r\n"
                    "\r\n");
}

TEST_F(PageReportTest, UnreadableCollectionsKeepTheirEmptyLines)
{
    auto page = d.open("A");
    page->images = {SimImage{"http://a.example/1.png", "1"}};
    page->fail = {"images", "links"};
    const std::string text = report(1);
    const std::string tail = "　Frame: 0\r\n\r\n\r\n\r\n";
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
}

TEST_F(PageReportTest, IndexesAreWrittenWithoutLeadingZeros)
{
    auto page = d.open("A");
    for (int i = 0; i < 11; ++i)
        page->images.push_back(SimImage{"http://a.example/" + std::to_string(i) + ".png", "7"});
    const std::string text = report(1);
    EXPECT_NE(text.find("\r\n    URL(10)= http://a.example/10.png\r\n        file size = 7\r\n"),
              std::string::npos);
    EXPECT_EQ(text.find("URL(010)"), std::string::npos);
}

TEST_F(PageReportTest, PastTheLimitOneLineSaysHowManyItemsWereLeftOut)
{
    constexpr int kLimit = automation::limits::kMaxReportItems;
    auto page = d.open("A");
    for (int i = 0; i < kLimit + 3; ++i)
        page->images.push_back(SimImage{"http://a.example/i.png", "7"});
    for (int i = 0; i < kLimit; ++i)
        page->links.push_back(SimLink{"x", "http://b.example/"});
    const std::string text = report(1);

    // Every image up to the limit, then the line; every link, as there are no more.
    const std::string last = "    URL(" + std::to_string(kLimit - 1) +
                             ")= http://a.example/i.png\r\n"
                             "        file size = 7\r\n";
    EXPECT_NE(
        text.find(last + "    （以下 3 件は省略）\r\n\r\nlink: " + std::to_string(kLimit) + "\r\n"),
        std::string::npos);
    EXPECT_EQ(text.find("URL(" + std::to_string(kLimit) + ")"), std::string::npos);
    EXPECT_NE(
        text.find("      url(" + std::to_string(kLimit - 1) + ")= http://b.example/\r\n\r\n\r\n"),
        std::string::npos);
    EXPECT_EQ(text.find("件は省略）", text.find("link: ")), std::string::npos);
}

TEST_F(PageReportTest, AReportOfHugeLinksStopsAtItsSizeLimit)
{
    auto page = d.open("A");
    const std::string markup(64 * 1024, 'm');
    constexpr int kLinks = 400;
    for (int i = 0; i < kLinks; ++i)
        page->links.push_back(SimLink{markup, "http://b.example/"});
    const std::string text = report(1);

    EXPECT_LT(text.size(), automation::limits::kMaxReportBytes + 2 * markup.size());
    const auto line = text.find("   （以下 ");
    ASSERT_NE(line, std::string::npos);
    // The count says exactly how many links have no lines.
    int written = 0;
    for (auto at = text.find("   title("); at != std::string::npos;
         at = text.find("   title(", at + 1))
        ++written;
    EXPECT_GT(written, 0);
    EXPECT_EQ(text.substr(line),
              "   （以下 " + std::to_string(kLinks - written) + " 件は省略）\r\n\r\n");
}

} // namespace
} // namespace tabulon
