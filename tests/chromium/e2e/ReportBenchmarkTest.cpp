#include "E2eDesktop.h"
#include "WalkedBrowser.h"
#include "automation/Error.h"
#include "automation/chromium/ChromiumClient.h"
#include "automation/chromium/ChromiumObjectFactory.h"
#include "page/PageReport.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <gtest/gtest.h>
#include <thread>

using namespace automation::chromium;
using namespace std::chrono_literals;

namespace {

using SteadyClock = std::chrono::steady_clock;

double millisecondsSince(SteadyClock::time_point start)
{
    return std::chrono::duration<double, std::milli>(SteadyClock::now() - start).count();
}

double median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

// The page report of large pages in real Chromium: each collection read at once
// against item by item as before, in alternate rounds of one run. The report is built
// on the GUI thread, so its time is also how long the event loop is held. The texts
// of both must be the same.
TEST(ReportBenchmark, DISABLED_ReportOfLargePagesAtOnceAgainstItemByItem)
{
    E2eDesktop& desktop = E2eDesktop::instance();
    constexpr int kRounds = 7;
    ChromiumSettings settings = ChromiumSettings::fromEnvironment();
    settings.launch.extraArgs = {"--keep-alive-for-test"};
    auto client = std::make_shared<ChromiumClient>(settings);
    ChromiumObjectFactory factory(client, nullptr, nullptr);

    std::vector<std::string> paths = {"/large.html", "/manylinks.html"};
    for (const char* doc : {"/py/library/stdtypes.html", "/py/genindex-all.html"}) {
        try {
            desktop.page(doc);
            paths.emplace_back(doc);
        } catch (const std::out_of_range&) {
            std::printf("%s: not on this system (python3-doc), left out\n", doc);
        }
    }
    for (const std::string& path : paths) {
        auto tab = factory.createBrowser();
        tab->Navigate(desktop.url(path));
        const auto until = SteadyClock::now() + 30s;
        // A large page keeps the browser too busy to answer for a while as it loads.
        const auto loaded = [&] {
            bool done = false;
            automation::skipOnFailure([&] { done = !tab->busy() && !tab->LocationURL().empty(); });
            return done;
        };
        while (SteadyClock::now() < until && !loaded())
            std::this_thread::sleep_for(100ms);
        std::this_thread::sleep_for(500ms);
        const auto walked = std::make_shared<WalkedBrowser>(tab);
        std::vector<double> atOnce;
        std::vector<double> byItem;
        std::string last;
        std::size_t links = 0;
        for (int round = 0; round < kRounds; ++round) {
            client->invalidate();
            auto start = SteadyClock::now();
            const std::string text = tabulon::DispDataText(tab);
            atOnce.push_back(millisecondsSince(start));
            client->invalidate();
            start = SteadyClock::now();
            const std::string before = tabulon::DispDataText(walked);
            byItem.push_back(millisecondsSince(start));
            EXPECT_EQ(withoutDate(text), withoutDate(before)) << path;
            last = text;
        }
        const auto at = last.find("link: ");
        if (at != std::string::npos)
            links = std::stoul(last.substr(at + 6));
        std::printf("%s (%zu links, %zu bytes of report): at once %.1f ms median, %.1f ms worst;"
                    " item by item %.1f ms median, %.1f ms worst (%d rounds)\n",
                    path.c_str(), links, last.size(), median(atOnce),
                    *std::max_element(atOnce.begin(), atOnce.end()), median(byItem),
                    *std::max_element(byItem.begin(), byItem.end()), kRounds);
        tab->Quit();
    }
}
