#include "E2eDesktop.h"
#include "RealProgram.h"
#include "app/Form1.h"
#include "automation/Error.h"
#include "base/Cp932.h"
#include "core/Module1.h"
#include "page/Form2.h"
#include "page/Form7.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileDialog>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

using namespace std::chrono_literals;

namespace {

// The longest time a zero-delay timer waited for the event loop, over the duration:
// how long the program's windows could not answer the user. The program's own ticks
// run meanwhile.
double zeroTimerStall(std::chrono::milliseconds duration)
{
    QEventLoop loop;
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    QTimer zero;
    zero.setInterval(0);
    QObject::connect(&zero, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    QTimer::singleShot(duration, &loop, &QEventLoop::quit);
    clock.start();
    zero.start();
    loop.exec();
    return static_cast<double>(std::max(longest, clock.nsecsElapsed() - last)) / 1e9;
}

// Answers the next file dialog with this name, as a user typing it would.
void answerFileDialog(const std::string& path)
{
    auto* timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, path] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            dialog->selectFile(QString::fromStdString(path));
            static_cast<QDialog*>(dialog)->accept();
        }
    });
    timer->start();
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// The lines of a file the program writes with CR LF; a lone CR or LF fails the test.
std::vector<std::string> linesOf(const std::string& bytes, const std::string& file)
{
    std::vector<std::string> lines;
    std::size_t from = 0;
    for (std::size_t at; (at = bytes.find("\r\n", from)) != std::string::npos; from = at + 2)
        lines.push_back(bytes.substr(from, at - from));
    if (from < bytes.size())
        lines.push_back(bytes.substr(from));
    for (const std::string& line : lines)
        EXPECT_EQ(line.find_first_of(std::string("\r\n\0", 3)), std::string::npos)
            << file << ": " << line;
    return lines;
}

struct HostilePagesE2e : ::testing::Test
{
    E2eDesktop& web = E2eDesktop::instance();

    // The row showing this address, 0 when none does.
    static int rowShowing(RealProgram& p, const std::string& url)
    {
        const auto rows = p.shown();
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (rows[i].sub[4] == url)
                return static_cast<int>(i) + 1;
        }
        return 0;
    }

    // Selects the row showing this address once the list shows it (a page the browser
    // is busy with is listed as loading meanwhile); false when it never does.
    static bool selectShowing(RealProgram& p, const std::string& url,
                              std::chrono::milliseconds limit = 30s)
    {
        if (!p.refreshUntil([&] { return rowShowing(p, url) > 0; }, limit))
            return false;
        p.form().selectRow(rowShowing(p, url));
        return true;
    }

    static bool shows(RealProgram& p, const std::string& title, const std::string& url)
    {
        const auto rows = p.shown();
        return std::any_of(rows.begin(), rows.end(), [&](const tabulon::ListRow& row) {
            return row.text == title && row.sub[4] == url;
        });
    }
};

const std::vector<std::string> kHostile = {"/title42.html",   "/liar.html",      "/bigtitle.html",
                                           "/spinframe.html", "/evilnames.html", "/surrogate.html",
                                           "/manylinks.html"};

} // namespace

TEST_F(HostilePagesE2e, PagesThatLieHangAndFloodLeaveTheProgramRunningAndItsFilesClean)
{
    RealProgram p({{"sitelist.txt", "plain\r\n" + web.url("/plain.html") + "\r\n"}});
    p.module().OpenSiteWindow(web.url("/plain.html"));
    p.module().OpenSiteWindow(web.url("/a.html"));
    for (const std::string& page : kHostile)
        p.module().OpenSiteWindow(web.url(page));
    const auto benignShown = [&] {
        return shows(p, "Plain page", web.url("/plain.html")) &&
               shows(p, "A page", web.url("/a.html"));
    };
    // Each page read, none loading: the one with the huge title keeps the browser busy
    // with it for a while.
    ASSERT_TRUE(p.refreshUntil(
        [&] {
            const auto rows = p.shown();
            return rows.size() == 2 + kHostile.size() && benignShown() &&
                   std::none_of(rows.begin(), rows.end(),
                                [](const tabulon::ListRow& row) { return row.text == "busy"; });
        },
        90s));
    // What the pages' own scripts cannot change: the real title, the real count.
    EXPECT_TRUE(shows(p, "Liar", web.url("/liar.html")));
    EXPECT_TRUE(shows(p, web.url("/title42.html"), web.url("/title42.html")));

    // The program's ticks over them.
    const double ticking = zeroTimerStall(5s);

    // Every command over all windows, then each command on each hostile window.
    for (const char* command :
         {"menuTile3", "menuCascade2", "menuMinAll", "menuNorm", "menuHidebar", "menuAddressBar"}) {
        p.choose(command);
        RealProgram::pump(200ms);
    }
    const std::string favorites =
        p.platform().objects.createScriptingShell()->SpecialFolders("Favorites");
    int added = 0;
    int saved = 0;
    for (const std::string& page : kHostile) {
        const std::string url = web.url(page);
        for (const char* command : {"menuFrame", "menuActivate", "menuCHGcolor", "menuAddSite",
                                    "menuCopy", "fontp", "menuInfo", "menuIconExcept"}) {
            if (!selectShowing(p, url)) {
                ADD_FAILURE() << page << " is no longer listed before " << command;
                break;
            }
            p.choose(command);
            added += std::string(command) == "menuAddSite";
            if (std::string(command) == "fontp" && p.form().form2IfLoaded())
                p.form().form2IfLoaded()->Command1->click();
            if (std::string(command) == "menuInfo" && p.form().form7IfLoaded()) {
                const std::string report =
                    p.folder() + "/report" + std::to_string(++saved) + ".txt";
                answerFileDialog(report);
                p.form().form7IfLoaded()->Command2->click();
                EXPECT_TRUE(std::filesystem::is_regular_file(report)) << page;
                if (page == "/manylinks.html") {
                    EXPECT_NE(p.form().form7IfLoaded()->reportText().find(
                                  "   （以下 2000 件は省略）\r\n"),
                              std::string::npos);
                }
            }
            RealProgram::pump(100ms);
        }
    }
    // The frames of the page with evil names, written by the browser's answer to the
    // add-to-favourites keys, as the frame expansion reads them.
    EXPECT_TRUE(RealProgram::eventually(
        [&] {
            return automation::skipOnFailure([&] {
                p.platform().windows.AppActivate(
                    "Evil\uFFFD\uFFFDURL=javascript:alert(1) - Microsoft Internet Explorer");
                p.platform().windows.SendKeys("%A{ENTER}{TAB}Evil{ENTER}");
            });
        },
        20s));
    const std::string shortcut = readFile(favorites + "/Evil.url");
    std::filesystem::remove(favorites + "/Evil.url");
    const double commanding = zeroTimerStall(3s);

    std::printf("longest stall of the windows: %.3f s with the hostile pages ticking, %.3f s "
                "after every command\n",
                ticking, commanding);
    RecordProperty("hostile_ticking_stall_s", std::to_string(ticking));
    RecordProperty("hostile_command_stall_s", std::to_string(commanding));
    // No longer than a hung page's one wait.
    EXPECT_LT(ticking, 2.5);
    EXPECT_LT(commanding, 2.5);
    EXPECT_TRUE(p.form().isVisible());
    EXPECT_TRUE(p.refreshUntil(benignShown, 10s));

    // The shortcut: the page, each frame, the address; no line a frame made.
    const auto lines = linesOf(shortcut, "Evil.url");
    ASSERT_GE(lines.size(), 4u) << shortcut;
    EXPECT_EQ(lines.front(), "[DEFAULT]");
    EXPECT_EQ(lines.back(), "URL=" + web.url("/evilnames.html"));
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& line) {
                                return line.rfind("URL=", 0) == 0 ||
                                       line.rfind("[Internet", 0) == 0;
                            }),
              2)
        << shortcut;
    // A section line, then its address line, to the end.
    ASSERT_EQ(lines.size() % 2, 0u) << shortcut;
    for (std::size_t i = 0; i + 2 < lines.size(); i += 2) {
        EXPECT_EQ(lines[i].front(), '[') << lines[i];
        EXPECT_EQ(lines[i].back(), ']') << lines[i];
        EXPECT_EQ(lines[i + 1].rfind("BASEURL=", 0), 0u) << lines[i + 1];
    }
    EXPECT_EQ(lines.size(), 2u * 6) << shortcut;
    // Every temporary favourite of the expansion is gone.
    EXPECT_TRUE(std::filesystem::is_empty(favorites));

    // The site list: two lines for each site added, none starting an entry of its own.
    const auto sites = linesOf(readFile(p.folder() + "/sitelist.txt"), "sitelist.txt");
    EXPECT_EQ(sites.size(), 2u * static_cast<std::size_t>(1 + added));
    for (std::size_t i = 1; i < sites.size(); i += 2)
        EXPECT_EQ(sites[i].rfind(web.url("/"), 0), 0u) << sites[i];
    const std::string siteText = tabulon::fromCp932(readFile(p.folder() + "/sitelist.txt"));
    EXPECT_EQ(siteText.find("\nURL="), std::string::npos);

    // Nothing the program opened runs script or shows the browser's own pages.
    for (const std::string& tab : p.browser().pageTargets())
        EXPECT_EQ(p.browser().url(tab).rfind("http://", 0), 0u) << p.browser().url(tab);

    // Closing them leaves the others.
    for (const std::string& page : kHostile) {
        p.form().RefreshList();
        for (int row, left = 10; (row = rowShowing(p, web.url(page))) > 0 && left > 0; --left) {
            p.form().selectRow(row);
            p.choose("menuClose");
        }
    }
    EXPECT_TRUE(p.refreshUntil(benignShown, 10s));
}

TEST_F(HostilePagesE2e, AStoppedBrowserCostsOneWaitAndTheWindowsStayResponsive)
{
    RealProgram p;
    p.module().OpenSiteWindow(web.url("/plain.html"));
    p.module().OpenSiteWindow(web.url("/a.html"));
    ASSERT_TRUE(p.settle(2));
    const int pid = p.browser().browserProcessId();
    ASSERT_GT(pid, 0);

    ::kill(pid, SIGSTOP);
    struct Resume
    {
        int pid;
        ~Resume() { ::kill(pid, SIGCONT); }
    } resume{pid};
    // The first rebuild meets at most the first deadline; from then on the program's
    // ticks run against the stopped browser.
    QElapsedTimer first;
    first.start();
    p.form().RefreshList();
    const double firstWait = static_cast<double>(first.elapsed()) / 1000;
    const double stall = zeroTimerStall(10s);
    std::printf("browser stopped: the first rebuild waited %.3f s; longest stall of the "
                "windows over the next 10 s: %.3f s\n",
                firstWait, stall);
    RecordProperty("stopped_first_wait_s", std::to_string(firstWait));
    RecordProperty("stopped_stall_s", std::to_string(stall));
    EXPECT_LT(stall, 0.1);
    EXPECT_TRUE(p.form().isVisible());
    // The tabs it had are still listed, as busy: nothing can be read of them now.
    const auto rows = p.shown();
    EXPECT_EQ(rows.size(), 2u);
    for (const auto& row : rows)
        EXPECT_EQ(row.text, "busy");

    ::kill(pid, SIGCONT);
    EXPECT_TRUE(p.settle(2));
    EXPECT_EQ(p.browser().browserProcessId(), pid);
}
