#include "E2eDesktop.h"
#include "RealProgram.h"
#include "app/Form1.h"
#include "core/Module1.h"

#include <QApplication>
#include <QInputDialog>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>

using automation::chromium::WindowBounds;
using automation::chromium::WindowState;

namespace {

struct ReopenLayoutE2e : ::testing::Test
{
    E2eDesktop& web = E2eDesktop::instance();
};

std::vector<std::string> addresses(RealProgram& p)
{
    std::vector<std::string> urls;
    for (const auto& row : p.shown())
        urls.push_back(row.sub[4]);
    std::sort(urls.begin(), urls.end());
    return urls;
}

// Answers the next text-input dialog with the text once it is shown, first saving a
// picture of it when TABULON_E2E_SHOT_DIR names a folder.
void answerInput(const QString& text, bool* seen)
{
    QTimer::singleShot(300, [text, seen] {
        auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            answerInput(text, seen);
            return;
        }
        *seen = true;
        dialog->setTextValue(text);
        if (const char* folder = std::getenv("TABULON_E2E_SHOT_DIR"); folder && *folder)
            dialog->grab().save(QString::fromStdString(
                (std::filesystem::path(folder) / "layout-name.png").string()));
        dialog->accept();
    });
}

} // namespace

TEST_F(ReopenLayoutE2e, WindowsClosedByCloseAllComeBackWhereTheyWere)
{
    RealProgram p;
    for (const char* page : {"/plain.html", "/a.html", "/b.html"})
        p.module().OpenSiteWindow(web.url(page));
    ASSERT_TRUE(p.settle(3));
    p.choose("menuTile3");
    ASSERT_TRUE(p.refreshUntil([&] { return p.boundsOf(3).top > 0; }));
    const auto before = addresses(p);
    std::vector<WindowBounds> bounds;
    for (int i = 1; i <= 3; ++i)
        bounds.push_back(p.boundsOf(i));

    p.choose("menuCloseAll");
    ASSERT_TRUE(p.refreshUntil([&] { return p.shown().empty(); }));
    ASSERT_TRUE(p.form().menuItem(QStringLiteral("menuReopen"))->isEnabled());
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(p.folder()) / "closed.json"));

    p.choose("menuReopen");
    ASSERT_TRUE(p.settle(3)) << p.shown().size() << " rows; reopen enabled: "
                             << p.form().menuItem(QStringLiteral("menuReopen"))->isEnabled();
    EXPECT_EQ(addresses(p), before);
    EXPECT_FALSE(p.form().menuItem(QStringLiteral("menuReopen"))->isEnabled());
    // Each address is back at the place its window had.
    for (int i = 1; i <= 3; ++i) {
        const std::string url = p.shown()[static_cast<std::size_t>(i - 1)].sub[4];
        EXPECT_TRUE(RealProgram::eventually([&] {
            const WindowBounds now = p.boundsOf(i);
            return std::any_of(bounds.begin(), bounds.end(), [&](const WindowBounds& b) {
                return b.left == now.left && b.top == now.top && b.width == now.width &&
                       b.height == now.height;
            });
        })) << url
            << " at " << p.boundsOf(i).left << "," << p.boundsOf(i).top;
    }
}

TEST_F(ReopenLayoutE2e, ALayoutSavedPutsMovedWindowsBackAndOpensTheOnesClosed)
{
    RealProgram p;
    for (const char* page : {"/plain.html", "/a.html", "/b.html"})
        p.module().OpenSiteWindow(web.url(page));
    ASSERT_TRUE(p.settle(3));
    p.choose("menuTile3");
    ASSERT_TRUE(p.refreshUntil([&] { return p.boundsOf(3).top > 0; }));
    std::map<std::string, WindowBounds> saved;
    for (int i = 1; i <= 3; ++i)
        saved[p.shown()[static_cast<std::size_t>(i - 1)].sub[4]] = p.boundsOf(i);

    bool asked = false;
    answerInput(QStringLiteral("仕事"), &asked);
    p.choose("menuSaveLayout");
    ASSERT_TRUE(asked);
    ASSERT_NE(p.form().menuItem(QStringLiteral("mLayout(0)")), nullptr);
    EXPECT_EQ(p.form().menuItem(QStringLiteral("mLayout(0)"))->text(), QStringLiteral("仕事"));

    // The windows are moved, and one is closed.
    p.choose("menuCascade2");
    ASSERT_TRUE(p.refreshUntil([&] { return p.boundsOf(2).left == 25; }));
    p.form().selectRow(1);
    p.choose("menuClose");
    ASSERT_TRUE(p.settle(2));

    p.choose("mLayout(0)");
    ASSERT_TRUE(p.settle(3));
    for (int i = 1; i <= 3; ++i) {
        const std::string url = p.shown()[static_cast<std::size_t>(i - 1)].sub[4];
        ASSERT_EQ(saved.count(url), 1U) << url;
        const WindowBounds want = saved[url];
        EXPECT_TRUE(RealProgram::eventually([&] {
            const WindowBounds now = p.boundsOf(i);
            return now.left == want.left && now.top == want.top && now.width == want.width &&
                   now.height == want.height;
        })) << url
            << " at " << p.boundsOf(i).left << "," << p.boundsOf(i).top << " not " << want.left
            << "," << want.top;
    }
}
