#include "E2eDesktop.h"
#include "RealProgram.h"
#include "app/Form1.h"
#include "core/Module1.h"
#include "winlist/WebWindowList.h"

#include <gtest/gtest.h>

namespace {

struct ListFeaturesE2e : ::testing::Test
{
    E2eDesktop& web = E2eDesktop::instance();
};

} // namespace

TEST_F(ListFeaturesE2e, AFilterNarrowsTheListAndCloseAllClosesOnlyTheWindowsShown)
{
    RealProgram p;
    for (const char* page : {"/plain.html", "/a.html", "/b.html"})
        p.module().OpenSiteWindow(web.url(page));
    ASSERT_TRUE(p.settle(3));
    // Each row knows the browser it is in, for the list's export.
    for (const auto& listed : p.form().webWindows().rows())
        EXPECT_EQ(listed.browser, "Chromium");

    // Full-width capitals find the page titled "A page".
    p.form().setFilterText(QStringLiteral("Ａ ＰＡＧＥ"));
    ASSERT_EQ(p.form().shownRows().size(), 1U);
    const int row = p.form().shownRows()[0];
    EXPECT_EQ(p.shown()[static_cast<std::size_t>(row - 1)].text, "A page");

    p.choose("menuCloseAll");
    ASSERT_TRUE(p.refreshUntil([&] { return p.shown().size() == 2; }));
    // The other windows stay open, and the filter outlives the rebuilds.
    for (const auto& left : p.shown())
        EXPECT_NE(left.text, "A page");
    EXPECT_EQ(p.form().filterText(), QStringLiteral("Ａ ＰＡＧＥ"));
    EXPECT_TRUE(p.form().shownRows().empty());

    p.form().setFilterText(QString());
    EXPECT_EQ(p.form().shownRows().size(), 2U);
}
