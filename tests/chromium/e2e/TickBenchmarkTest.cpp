// The list's tick over real Chromium tabs, as the main window runs it, against the way
// it ran before the windows were read at once (the reads one after another, on the
// same thread). Run by hand; it prints its figures and checks nothing about time.
#include "E2eDesktop.h"
#include "automation/Shell.h"
#include "automation/chromium/ChromiumClient.h"
#include "automation/chromium/ChromiumObjectFactory.h"
#include "automation/chromium/ChromiumWindows.h"
#include "automation/local/DataFolders.h"
#include "automation/local/LocalFileSystem.h"
#include "automation/sim/SimDesktop.h"
#include "core/Module1.h"
#include "winlist/ListRebuild.h"
#include "winlist/WebWindowList.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <thread>

using namespace automation::chromium;
using namespace std::chrono_literals;
using Steady = std::chrono::steady_clock;

namespace {

double msSince(Steady::time_point start)
{
    return std::chrono::duration<double, std::milli>(Steady::now() - start).count();
}

double cpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The window-manager calls the list rebuild makes, answered for browser windows.
class BrowserWindowManager : public automation::WindowManager
{
public:
    explicit BrowserWindowManager(ChromiumWindows& windows) : m_windows(windows) {}
    automation::Hwnd attachMainWindow(automation::HostWindow&) override { return 0; }
    void detachMainWindow() override {}
    void SetWindowPos(automation::Hwnd, automation::Hwnd, int, int, int, int, unsigned) override {}
    bool IsZoomed(automation::Hwnd hwnd) override { return m_windows.isZoomed(hwnd); }
    bool IsIconic(automation::Hwnd hwnd) override { return m_windows.isIconic(hwnd); }
    void CloseWindow(automation::Hwnd hwnd) override { m_windows.minimize(hwnd); }
    void OpenIcon(automation::Hwnd hwnd) override { m_windows.restore(hwnd); }
    void AppActivate(const std::string&) override {}
    void SendKeys(const std::string&) override {}
    automation::ScreenMetrics screen() override { return {}; }

private:
    ChromiumWindows& m_windows;
};

struct Figures
{
    std::vector<double> guiMs;        // time on the GUI thread, per tick
    std::vector<double> freshMs;      // from the tick's start to a complete reading
    std::vector<double> trips;        // protocol requests per tick
    std::vector<double> rebuildMs;    // of the GUI time, the list's rebuild
    std::vector<double> rebuildTrips; // requests the rebuild itself waited for
    int stale = 0;                    // ticks whose reading was not complete when the list looked
    double longestStallMs = 0;        // the longest the event loop was held at once
    int busyRows = 0;                 // of the last tick
    int rows = 0;

    static std::pair<double, double> medianAndWorst(std::vector<double> values)
    {
        if (values.empty())
            return {0, 0};
        std::sort(values.begin(), values.end());
        return {values[values.size() / 2], values.back()};
    }
    void print(const char* what) const
    {
        const auto [guiMedian, guiWorst] = medianAndWorst(guiMs);
        const auto [freshMedian, freshWorst] = medianAndWorst(freshMs);
        const auto [tripMedian, tripWorst] = medianAndWorst(trips);
        const auto [rebuildMedian, rebuildWorst] = medianAndWorst(rebuildMs);
        const auto [waitedMedian, waitedWorst] = medianAndWorst(rebuildTrips);
        std::printf("%-44s ticks %3zu | GUI ms %7.2f median %8.2f worst (rebuild %7.2f median "
                    "%8.2f worst, waiting on %3.0f median %3.0f worst) | fresh ms %7.2f median "
                    "%8.2f worst, %d ticks not fresh | trips %5.0f median %5.0f worst | longest "
                    "stall %8.2f ms | rows %d (busy %d)\n",
                    what, guiMs.size(), guiMedian, guiWorst, rebuildMedian, rebuildWorst,
                    waitedMedian, waitedWorst, freshMedian, freshWorst, stale, tripMedian,
                    tripWorst, longestStallMs, rows, busyRows);
    }
};

// A browser with tabs, the list, and the main window's tick run by a small event loop
// of its own: every handler that runs is timed, and the longest is the longest stall.
struct Bench
{
    E2eDesktop& desktop = E2eDesktop::instance();
    std::shared_ptr<ChromiumClient> client;
    std::unique_ptr<ChromiumObjectFactory> factory;
    automation::LocalFileSystem files;
    std::unique_ptr<ChromiumWindows> chromiumWindows;
    std::unique_ptr<BrowserWindowManager> windows;
    automation::sim::SimDesktop sim{automation::sim::SimSetup{}};
    std::unique_ptr<automation::Platform> platform;
    std::unique_ptr<tabulon::Module1> module;
    std::shared_ptr<automation::ShellWindows> shellWindows;
    std::vector<std::shared_ptr<automation::Browser>> tabs;
    tabulon::WebWindowList list;

    Bench()
    {
        ChromiumSettings settings = ChromiumSettings::fromEnvironment();
        settings.launch.extraArgs = {"--keep-alive-for-test"};
        client = std::make_shared<ChromiumClient>(settings);
        factory = std::make_unique<ChromiumObjectFactory>(client, nullptr, nullptr);
        chromiumWindows =
            std::make_unique<ChromiumWindows>(client, automation::defaultFavoritesFolder(), files);
        windows = std::make_unique<BrowserWindowManager>(*chromiumWindows);
        automation::Platform services = sim.platform();
        platform = std::make_unique<automation::Platform>(
            automation::Platform{*factory, *windows, services.launcher, services.dialogs,
                                 services.messages, services.help, services.clock, services.files});
        module = std::make_unique<tabulon::Module1>(
            *platform, tabulon::ProgramFiles{desktop.home(), "tabulon"});
        shellWindows = factory->createShell()->windows();
    }

    // Opens tabs in `windowCount` windows; the first `hung` of them spin for ever.
    void open(int tabCount, int windowCount, int hung = 0)
    {
        DevToolsSession* protocol = nullptr;
        for (int i = 0; i < tabCount; ++i) {
            const std::string url =
                desktop.url(i < hung ? "/spin.html" : (i % 2 ? "/a.html" : "/plain.html"));
            if (i < windowCount) {
                tabs.push_back(factory->createBrowser());
                tabs.back()->Navigate(url);
                continue;
            }
            if (!protocol)
                protocol = &client->protocol("bench");
            // More tabs in the windows already open.
            protocol->call({"bench", "Target.createTarget", {{"url", url}}, {}, 10000ms});
        }
        const auto until = Steady::now() + 120s;
        while (Steady::now() < until) {
            std::this_thread::sleep_for(500ms);
            client->invalidate();
            tabulon::rebuildRows(list, *shellWindows, *module);
            const auto ready = std::count_if(list.rows().begin(), list.rows().end(),
                                             [](const auto& row) { return row.text != "busy"; });
            if (list.count() >= tabCount && ready >= tabCount - hung)
                break;
        }
    }

    // Runs ticks every two seconds for `seconds`, the new way or the old; `during` is
    // called between ticks with the seconds gone.
    Figures run(bool oldPath, int seconds, const std::function<void(double)>& during = {})
    {
        Figures figures;
        const auto start = Steady::now();
        auto nextTick = start;
        while (Steady::now() - start < std::chrono::seconds(seconds)) {
            std::this_thread::sleep_until(nextTick);
            nextTick += 2s;
            if (during)
                during(msSince(start) / 1000);
            const std::int64_t tripsBefore = client->roundTrips();
            const auto tickStart = Steady::now();
            double gui = 0;
            const auto handler = [&](auto&& work) {
                const auto t = Steady::now();
                work();
                const double ms = msSince(t);
                gui += ms;
                figures.longestStallMs = std::max(figures.longestStallMs, ms);
            };
            if (oldPath) {
                // The reads made before are never reused two seconds later.
                client->invalidate();
            } else {
                bool done = false;
                handler([&] { done = shellWindows->beginRefresh(); });
                while (!done && msSince(tickStart) < 50) {
                    std::this_thread::sleep_for(1ms);
                    handler([&] { done = shellWindows->continueRefresh(); });
                }
                if (done)
                    figures.freshMs.push_back(msSince(tickStart));
                else
                    ++figures.stale;
            }
            const double beforeRebuild = gui;
            const std::int64_t tripsBeforeRebuild = client->roundTrips();
            handler([&] { tabulon::rebuildRows(list, *shellWindows, *module); });
            if (oldPath)
                figures.freshMs.push_back(msSince(tickStart));
            figures.rebuildMs.push_back(gui - beforeRebuild);
            figures.rebuildTrips.push_back(
                static_cast<double>(client->roundTrips() - tripsBeforeRebuild));
            figures.guiMs.push_back(gui);
            figures.trips.push_back(static_cast<double>(client->roundTrips() - tripsBefore));
        }
        figures.rows = list.count();
        figures.busyRows =
            static_cast<int>(std::count_if(list.rows().begin(), list.rows().end(),
                                           [](const auto& row) { return row.text == "busy"; }));
        return figures;
    }
};

int fromEnvironment(const char* name, int fallback)
{
    const char* value = std::getenv(name);
    return value && *value ? std::atoi(value) : fallback;
}

} // namespace

// TABULON_BENCH_TABS (20), TABULON_BENCH_WINDOWS (as many as tabs), TABULON_BENCH_SECONDS
// (60 ticks' worth) choose the size; both ways run in the same run, in turns.
TEST(TickBenchmark, DISABLED_TicksOverRealTabs)
{
    const int tabCount = fromEnvironment("TABULON_BENCH_TABS", 20);
    const int windowCount = fromEnvironment("TABULON_BENCH_WINDOWS", tabCount);
    const int seconds = fromEnvironment("TABULON_BENCH_SECONDS", 60);
    char label[96];

    {
        Bench bench;
        bench.open(tabCount, windowCount);
        ASSERT_EQ(bench.list.count(), tabCount);
        for (const bool oldPath : {false, true}) {
            const double cpu = cpuSeconds();
            const Figures figures = bench.run(oldPath, seconds);
            std::snprintf(label, sizeof label, "%s, %d tabs in %d windows (CPU %.2f %%)",
                          oldPath ? "one by one" : "at once", tabCount, windowCount,
                          100 * (cpuSeconds() - cpu) / seconds);
            figures.print(label);
        }
    }
}

// Twenty tabs, one of them a page that spins for ever.
TEST(TickBenchmark, DISABLED_TicksWithAHungPage)
{
    {
        Bench bench;
        bench.open(20, 20, 1);
        for (const bool oldPath : {false, true}) {
            const Figures figures = bench.run(oldPath, 20);
            figures.print(oldPath ? "one by one, 20 tabs, one hung" : "at once, 20 tabs, one hung");
        }
    }
}

// Twenty tabs; the browser is stopped for five seconds in the middle.
TEST(TickBenchmark, DISABLED_TicksWithTheBrowserStopped)
{
    char label[96];
    {
        Bench bench;
        bench.open(20, 20);
        const int pid = bench.client->browserProcessId();
        ASSERT_GT(pid, 0);
        for (const bool oldPath : {false, true}) {
            int busyWhileStopped = -1;
            bool stopped = false;
            bool resumed = false;
            const Figures figures = bench.run(oldPath, 20, [&](double at) {
                if (!stopped && at >= 6) {
                    ::kill(pid, SIGSTOP);
                    stopped = true;
                } else if (stopped && !resumed && at >= 11) {
                    busyWhileStopped = static_cast<int>(
                        std::count_if(bench.list.rows().begin(), bench.list.rows().end(),
                                      [](const auto& row) { return row.text == "busy"; }));
                    ::kill(pid, SIGCONT);
                    resumed = true;
                }
            });
            std::snprintf(label, sizeof label, "%s, 20 tabs, stopped 5 s (busy then %d)",
                          oldPath ? "one by one" : "at once", busyWhileStopped);
            figures.print(label);
        }
    }
}
