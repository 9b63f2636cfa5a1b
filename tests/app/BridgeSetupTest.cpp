#include "app/BridgeSetup.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace fs = std::filesystem;

namespace {

class BridgeSetupTest : public ::testing::Test
{
protected:
    BridgeSetupTest()
    {
        char name[] = "/tmp/tabulon-setup-test-XXXXXX";
        m_home = ::mkdtemp(name);
        m_files = {m_home + "/bin/tabulon-bridge", "/src/extension",
                   m_home + "/bin/tabulon-bridge.xpi"};
    }
    ~BridgeSetupTest() override
    {
        std::error_code error;
        fs::remove_all(m_home, error);
    }

    std::string m_home;
    tabulon::BridgeFiles m_files;
    std::ostringstream m_out;
    std::ostringstream m_err;
};

} // namespace

TEST_F(BridgeSetupTest, InstallNeedsTheHostAndUninstallRemovesExactlyWhatItWrote)
{
    EXPECT_EQ(tabulon::installBrowserBridge(m_home, m_files, m_out, m_err), 1);
    EXPECT_NE(m_err.str().find(m_files.host), std::string::npos);
    EXPECT_FALSE(fs::exists(m_home + "/.mozilla"));

    fs::create_directories(m_home + "/bin");
    std::ofstream(m_files.host) << "host";
    // A manifest of another program in the same folder stays.
    fs::create_directories(m_home + "/.mozilla/native-messaging-hosts");
    std::ofstream(m_home + "/.mozilla/native-messaging-hosts/other.json") << "{}";
    ASSERT_EQ(tabulon::installBrowserBridge(m_home, m_files, m_out, m_err), 0);
    const std::string said = m_out.str();
    EXPECT_NE(said.find(m_home +
                        "/.config/chromium/NativeMessagingHosts/org.example.tabulon.bridge.json"),
              std::string::npos);
    EXPECT_NE(said.find(m_files.extensionFolder), std::string::npos);
    EXPECT_NE(said.find(m_files.xpi), std::string::npos);
    EXPECT_TRUE(
        fs::exists(m_home + "/.mozilla/native-messaging-hosts/org.example.tabulon.bridge.json"));

    ASSERT_EQ(tabulon::uninstallBrowserBridge(m_home, m_out, m_err), 0);
    EXPECT_FALSE(fs::exists(m_home + "/.config/chromium"));
    EXPECT_FALSE(
        fs::exists(m_home + "/.mozilla/native-messaging-hosts/org.example.tabulon.bridge.json"));
    EXPECT_TRUE(fs::exists(m_home + "/.mozilla/native-messaging-hosts/other.json"));
}
