// The program with the user's own browsers: real Chromium and Firefox ESR carrying the
// extension, their hosts connecting to the program's bridge socket, under the test's
// display with a window manager.
#include "E2eDesktop.h"
#include "RealProgram.h"
#include "app/Form1.h"
#include "automation/bridge/HostManifests.h"
#include "automation/bridged/BridgeHub.h"
#include "automation/bridged/BridgePeer.h"
#include "automation/local/Process.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

using namespace std::chrono_literals;
using automation::WindowState;
namespace fs = std::filesystem;

namespace {

// Starts a browser with the extension that dies with the test; its output goes to a
// log in the home. Chromium loads the unpacked folder and reads the host manifest in
// its profile; Firefox side-loads the package and reads the manifest in the home.
automation::Process startBridged(bool firefox, const std::string& home, const std::string& url)
{
    using namespace automation::bridge;
    const std::string profile = home + (firefox ? "/firefox-bridged" : "/chromium-bridged");
    fs::remove_all(profile);
    fs::create_directories(profile);
    std::vector<std::string> args;
    if (!firefox) {
        writeHostManifest(profile + "/NativeMessagingHosts/" + kHostName + ".json",
                          chromiumHostManifest(TABULON_BRIDGE_EXE));
        args = {"/usr/lib/chromium/chromium",
                "--test-type",
                "--no-first-run",
                "--no-default-browser-check",
                "--disable-background-networking",
                "--disable-component-update",
                "--disable-sync",
                "--user-data-dir=" + profile,
                std::string("--load-extension=") + TABULON_EXTENSION_DIR};
        if (::geteuid() == 0)
            args.emplace_back("--no-sandbox");
    } else {
        installBrowserBridge(home, TABULON_BRIDGE_EXE);
        fs::create_directories(profile + "/extensions");
        fs::copy_file(TABULON_XPI, profile + "/extensions/" + kFirefoxExtensionId + ".xpi");
        std::ofstream prefs(profile + "/user.js");
        for (const char* pref :
             {R"("xpinstall.signatures.required", false)", R"("extensions.autoDisableScopes", 0)",
              R"("extensions.update.enabled", false)", R"("app.update.disabledForTesting", true)",
              R"("browser.shell.checkDefaultBrowser", false)",
              R"("browser.aboutwelcome.enabled", false)",
              R"("browser.startup.homepage_override.mstone", "ignore")",
              R"("datareporting.policy.dataSubmissionEnabled", false)",
              R"("toolkit.telemetry.reportingpolicy.firstRun", false)",
              R"("browser.tabs.warnOnClose", false)",
              R"("browser.sessionstore.resume_from_crash", false)"})
            prefs << "user_pref(" << pref << ");\n";
        args = {"firefox-esr", "--no-remote", "-profile", profile};
    }
    args.push_back(url);
    const automation::UniqueFd out(
        ::open((profile + ".log").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600));
    automation::SpawnOptions options;
    options.argv = args;
    options.quiet = true;
    if (out)
        options.descriptors = {{1, out.get()}, {2, out.get()}};
    options.parentDeathSignal = SIGKILL;
    return automation::Process::spawn(options);
}

bool listed(RealProgram& p, const std::string& text)
{
    for (const auto& row : p.shown()) {
        if (row.text == text)
            return true;
    }
    return false;
}

// Every window of every bridged browser is in this state, as the browsers report it.
bool allBridgedWindows(RealProgram& p, WindowState state)
{
    auto& hub = p.desktop().bridge();
    hub.pump();
    int windows = 0;
    for (const auto& peer : hub.peers()) {
        for (const auto* tab : peer->model().tabs()) {
            const auto* window = peer->model().window(tab->windowId);
            if (!window || window->state != state)
                return false;
            ++windows;
        }
    }
    return windows > 0;
}

struct BridgedProgramE2e : ::testing::Test
{
    E2eDesktop& web = E2eDesktop::instance();
};

} // namespace

TEST_F(BridgedProgramE2e, ListsBothBrowsersAndArrangesThemAndOutlivesOneThatQuits)
{
    RealProgram p;
    automation::Process chromium = startBridged(false, web.home(), web.url("/plain.html"));
    automation::Process firefox = startBridged(true, web.home(), web.url("/a.html"));
    ASSERT_TRUE(p.refreshUntil([&] { return listed(p, "Plain page") && listed(p, "A page"); }, 90s))
        << "see the logs in " << web.home();
    EXPECT_EQ(p.desktop().bridge().peers().size(), 2u);

    p.choose("menuMinAll");
    EXPECT_TRUE(
        RealProgram::eventually([&] { return allBridgedWindows(p, WindowState::Minimized); }, 20s));
    p.choose("menuNorm");
    EXPECT_TRUE(
        RealProgram::eventually([&] { return allBridgedWindows(p, WindowState::Normal); }, 20s));

    // Even tiling of the web windows puts the two side by side.
    p.choose("menuTile3");
    ASSERT_TRUE(p.refreshUntil([&] { return p.shown().size() == 2; }));
    const char* shot = std::getenv("TABULON_E2E_SHOT");
    if (shot && *shot) {
        RealProgram::pump(1500ms);
        automation::SpawnOptions options;
        options.argv = {TABULON_XSHOT, shot};
        automation::Process::spawn(options).waitFor(30s);
    }

    // Firefox quits: the program stays responsive and Chromium's window stays listed.
    firefox.terminate(10s);
    EXPECT_TRUE(p.refreshUntil([&] { return !listed(p, "A page"); }, 20s));
    EXPECT_LT(RealProgram::longestStall(2s), 1.0);
    EXPECT_TRUE(listed(p, "Plain page"));

    p.choose("menuCloseAll");
    EXPECT_TRUE(p.refreshUntil([&] { return p.shown().empty(); }, 20s));
    chromium.terminate(10s);
}
