#include "automation/bridge/HostManifests.h"

#include "BridgePeers.h"

#include <fstream>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace automation::bridge;
namespace fs = std::filesystem;

namespace {

nlohmann::json readJson(const fs::path& path)
{
    std::ifstream in(path);
    return nlohmann::json::parse(in);
}

std::vector<std::string> filesUnder(const fs::path& root)
{
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        found.push_back(fs::relative(entry.path(), root).string() +
                        (entry.is_directory() ? "/" : ""));
    std::sort(found.begin(), found.end());
    return found;
}

} // namespace

TEST(HostManifests, EachBrowserGetsTheManifestItReads)
{
    bridgetest::TempFolder home;
    fs::create_directories(home.path() + "/.config/BraveSoftware/Brave-Browser");
    fs::create_directories(home.path() + "/.config/vivaldi");
    const auto written = installBrowserBridge(home.path(), "/opt/tabulon/tabulon-bridge");
    ASSERT_EQ(written.size(), 4u);

    const auto chromium = readJson(
        home.path() + "/.config/chromium/NativeMessagingHosts/org.example.tabulon.bridge.json");
    EXPECT_EQ(chromium["name"], "org.example.tabulon.bridge");
    EXPECT_EQ(chromium["path"], "/opt/tabulon/tabulon-bridge");
    EXPECT_EQ(chromium["type"], "stdio");
    EXPECT_EQ(chromium["allowed_origins"],
              nlohmann::json::array({"chrome-extension://kmfijapfifagppihhoiacpfmojiefhje/"}));
    EXPECT_FALSE(chromium.contains("allowed_extensions"));
    const auto firefox =
        readJson(home.path() + "/.mozilla/native-messaging-hosts/org.example.tabulon.bridge.json");
    EXPECT_EQ(firefox["allowed_extensions"], nlohmann::json::array({"bridge@tabulon.example.org"}));
    EXPECT_FALSE(firefox.contains("allowed_origins"));
    EXPECT_EQ(readJson(written[2]), chromium);
    // Browsers that are not there get nothing.
    EXPECT_FALSE(fs::exists(home.path() + "/.config/google-chrome"));
    EXPECT_FALSE(fs::exists(home.path() + "/.config/microsoft-edge"));

    EXPECT_THROW(installBrowserBridge(home.path(), "tabulon-bridge"), std::runtime_error);
}

TEST(HostManifests, UninstallRemovesExactlyWhatWasWritten)
{
    bridgetest::TempFolder home;
    const fs::path vivaldi = home.path() + "/.config/vivaldi/NativeMessagingHosts";
    fs::create_directories(vivaldi);
    // Someone else's host beside ours.
    std::ofstream(vivaldi / "com.other.host.json") << R"({"name":"com.other.host"})";
    const auto before = filesUnder(home.path());

    const auto written = installBrowserBridge(home.path(), "/usr/lib/tabulon/tabulon-bridge");
    EXPECT_EQ(written.size(), 3u);
    // Installing twice changes nothing more.
    EXPECT_EQ(installBrowserBridge(home.path(), "/usr/lib/tabulon/tabulon-bridge"), written);
    auto removed = uninstallBrowserBridge(home.path());
    std::sort(removed.begin(), removed.end());
    auto expected = written;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(removed, expected);

    // What was there before is as it was, and nothing of ours is left, not even the
    // empty folders installing made for Chromium and Firefox.
    EXPECT_EQ(filesUnder(home.path()), before);
    EXPECT_TRUE(uninstallBrowserBridge(home.path()).empty());

    // A manifest in our place that names another host is not ours to remove.
    installBrowserBridge(home.path(), "/usr/lib/tabulon/tabulon-bridge");
    const fs::path chromium =
        home.path() + "/.config/chromium/NativeMessagingHosts/org.example.tabulon.bridge.json";
    std::ofstream(chromium) << R"({"name":"org.example.someone.else"})";
    EXPECT_EQ(uninstallBrowserBridge(home.path()).size(), 2u);
    EXPECT_TRUE(fs::exists(chromium));
}

TEST(HostManifests, TheMachineWideManifestsServeEveryUsersBrowsersAndGoWithoutATrace)
{
    bridgetest::TempFolder root;
    // Chromium is installed (its folder holds its own settings); Chrome and Firefox not yet.
    fs::create_directories(root.path() + "/etc/chromium");
    std::ofstream(root.path() + "/etc/chromium/default") << "CHROMIUM_FLAGS=\"\"\n";
    fs::create_directories(root.path() + "/etc/opt");
    fs::create_directories(root.path() + "/usr/lib");
    const auto before = filesUnder(root.path());

    auto written = installBrowserBridge(root.path(), "/usr/libexec/tabulon/tabulon-bridge",
                                        BridgeScope::System);
    std::sort(written.begin(), written.end());
    const std::string name = "/native-messaging-hosts/org.example.tabulon.bridge.json";
    EXPECT_EQ(written, (std::vector<std::string>{root.path() + "/etc/chromium" + name,
                                                 root.path() + "/etc/opt/chrome" + name,
                                                 root.path() + "/usr/lib/mozilla" + name}));
    EXPECT_EQ(readJson(written[0]),
              nlohmann::json::parse(chromiumHostManifest("/usr/libexec/tabulon/tabulon-bridge")));
    EXPECT_EQ(readJson(written[1]), readJson(written[0]));
    EXPECT_EQ(readJson(written[2]),
              nlohmann::json::parse(firefoxHostManifest("/usr/libexec/tabulon/tabulon-bridge")));
    // A user's folders are not the machine's.
    EXPECT_TRUE(uninstallBrowserBridge(root.path()).empty());

    EXPECT_EQ(uninstallBrowserBridge(root.path(), BridgeScope::System).size(), 3u);
    EXPECT_EQ(filesUnder(root.path()), before);
}
