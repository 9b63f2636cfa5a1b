#include "E2eDesktop.h"
#include "RealProgram.h"
#include "app/Form1.h"
#include "automation/Error.h"
#include "page/Form7.h"
#include "page/PageReport.h"
#include "winlist/WebWindowList.h"

#include <QPlainTextEdit>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <gtest/gtest.h>
#include <stdexcept>

using namespace std::chrono_literals;

namespace {

using SteadyClock = std::chrono::steady_clock;

// Goes round with the event loop while work runs: how many times it came round, and
// the longest the loop was held between two turns (or at either end), in milliseconds.
class LoopProbe
{
public:
    LoopProbe()
    {
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { turn(); });
    }

    template <typename Work> void during(Work&& work)
    {
        turns = 0;
        longest = 0;
        m_last = SteadyClock::now();
        m_timer.start();
        std::forward<Work>(work)();
        m_timer.stop();
        turn();
        --turns;
    }

    int turns = 0;
    double longest = 0;

private:
    void turn()
    {
        const auto now = SteadyClock::now();
        longest =
            std::max(longest, std::chrono::duration<double, std::milli>(now - m_last).count());
        m_last = now;
        ++turns;
    }

    QTimer m_timer;
    SteadyClock::time_point m_last;
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

TEST(ReportE2e, TheEventLoopGoesOnWhileTheReportOfAPageWithThousandsOfLinksIsBuilt)
{
    E2eDesktop& web = E2eDesktop::instance();
    RealProgram p;
    p.module().OpenSiteWindow(web.url("/manylinks.html"));
    ASSERT_TRUE(p.settle(1, 60s));
    p.form().selectRow(1);

    LoopProbe probe;
    probe.during([&] { p.choose("menuInfo"); });
    // The browser took a while over the page's links; the windows were not frozen
    // meanwhile, and the report came complete.
    EXPECT_GT(probe.turns, 0);
    const tabulon::Form7* form7 = p.form().form7IfLoaded();
    ASSERT_TRUE(form7);
    EXPECT_TRUE(form7->isVisible());
    const std::string report = form7->reportText();
    EXPECT_NE(report.find("サイトの名称:  Many links\r\n"), std::string::npos);
    EXPECT_NE(report.find("link: 12000\r\n"), std::string::npos);
    EXPECT_FALSE(p.platform().clock.answering());
}

// Run by hand: the report of large pages from the click to the report shown, and the
// longest the event loop is held meanwhile, against the report built and put in a box
// with the loop held throughout as before, in alternate rounds of one run.
//   ./build/tests/app/tabulon_tests_program_e2e --gtest_also_run_disabled_tests
//       --gtest_filter='*DISABLED_ReportStall*'
TEST(ReportE2e, DISABLED_ReportStallAgainstTheLoopHeldThroughout)
{
    E2eDesktop& web = E2eDesktop::instance();
    constexpr int kRounds = 5;
    std::vector<std::string> paths = {"/large.html", "/manylinks.html"};
    for (const char* doc : {"/py/library/stdtypes.html", "/py/genindex-all.html"}) {
        try {
            web.page(doc);
            paths.emplace_back(doc);
        } catch (const std::out_of_range&) {
            std::printf("%s: not on this system (python3-doc), left out\n", doc);
        }
    }
    RealProgram p;
    for (const std::string& path : paths)
        p.module().OpenSiteWindow(web.url(path));
    ASSERT_TRUE(p.settle(static_cast<int>(paths.size()), 120s));
    for (int row = 1; row <= static_cast<int>(paths.size()); ++row) {
        p.form().selectRow(row);
        std::vector<double> shown, held, stall, heldStall;
        std::string text;
        std::string before;
        for (int round = 0; round < kRounds; ++round) {
            LoopProbe probe;
            auto start = SteadyClock::now();
            probe.during([&] { p.choose("menuInfo"); });
            shown.push_back(
                std::chrono::duration<double, std::milli>(SteadyClock::now() - start).count());
            stall.push_back(probe.longest);
            text = p.form().form7IfLoaded()->reportText();

            start = SteadyClock::now();
            // As the report window did before: the report built, then put in its box whole.
            QPlainTextEdit box;
            probe.during([&] {
                before = tabulon::DispDataText(p.form().webWindows().selectedWebWin());
                box.setPlainText(QString::fromStdString(before).replace(QStringLiteral("\r\n"),
                                                                        QStringLiteral("\n")));
            });
            held.push_back(
                std::chrono::duration<double, std::milli>(SteadyClock::now() - start).count());
            heldStall.push_back(probe.longest);
        }
        // Both read the same page whole.
        const auto links = [](const std::string& report) {
            const auto at = report.find("link: ");
            return at == std::string::npos ? std::string()
                                           : report.substr(at, report.find('\r', at) - at);
        };
        EXPECT_EQ(links(text), links(before));
        std::printf("%s (%s): to the report shown %.1f ms median, longest stall %.1f ms median "
                    "(%.1f worst); loop held throughout %.1f ms median, stall %.1f ms median "
                    "(%d rounds)\n",
                    p.shown()[static_cast<std::size_t>(row - 1)].sub[4].c_str(),
                    links(text).c_str(), median(shown), median(stall),
                    *std::max_element(stall.begin(), stall.end()), median(held), median(heldStall),
                    kRounds);
    }
}
