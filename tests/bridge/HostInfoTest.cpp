#include "automation/bridge/HostInfo.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <unistd.h>

using namespace automation::bridge;

TEST(HostInfo, TheCallerIsReadFromEitherBrowsersArguments)
{
    EXPECT_EQ(originFromArguments(
                  {"/usr/bin/tabulon-bridge", "chrome-extension://abc/", "--parent-window=0"}),
              "chrome-extension://abc/");
    EXPECT_EQ(originFromArguments({"/usr/bin/tabulon-bridge",
                                   "/home/u/.mozilla/native-messaging-hosts/x.json",
                                   "bridge@tabulon.example.org"}),
              "bridge@tabulon.example.org");
    EXPECT_EQ(originFromArguments({"/usr/bin/tabulon-bridge"}), std::nullopt);
}

TEST(HostInfo, TheProfileIsReadFromTheBrowsersCommandLine)
{
    using Args = std::vector<std::string>;
    EXPECT_EQ(profileFromCommandLine(Args{"chromium", "--user-data-dir=/p/one", "about:blank"}),
              "/p/one");
    EXPECT_EQ(profileFromCommandLine(Args{"chromium", "--user-data-dir", "/p/two"}), "/p/two");
    EXPECT_EQ(profileFromCommandLine(Args{"firefox-esr", "--no-remote", "-profile", "/p/ff"}),
              "/p/ff");
    EXPECT_EQ(profileFromCommandLine(Args{"firefox", "--profile", "/p/ff2"}), "/p/ff2");
    // The last one counts, as in the browsers; a dangling switch or an empty value names none.
    EXPECT_EQ(profileFromCommandLine(Args{"c", "--user-data-dir=/a", "--user-data-dir=/b"}), "/b");
    EXPECT_EQ(profileFromCommandLine(Args{"c", "--user-data-dir"}), std::nullopt);
    EXPECT_EQ(profileFromCommandLine(Args{"c", "--user-data-dir="}), std::nullopt);
    EXPECT_EQ(profileFromCommandLine(Args{"c", "--", "--user-data-dir=/page"}), std::nullopt);
    EXPECT_EQ(profileFromCommandLine(Args{"--user-data-dir=/program-name-only"}), std::nullopt);
    EXPECT_EQ(profileFromCommandLine(Args{}), std::nullopt);
}

TEST(HostInfo, TheHostMessageIsValidJsonEvenForOddBytes)
{
    HostInfo info;
    info.origin = "chrome-extension://abc/";
    info.browserPid = 4321;
    info.profile = std::string("/home/u/pro\xff\xfe\"file");
    const auto message = nlohmann::json::parse(hostMessage(info));
    EXPECT_EQ(message["type"], "host");
    EXPECT_EQ(message["version"], 1);
    EXPECT_EQ(message["origin"], "chrome-extension://abc/");
    EXPECT_EQ(message["browserPid"], 4321);
    EXPECT_EQ(message["profile"], "/home/u/pro\xef\xbf\xbd\xef\xbf\xbd\"file");
    const auto bare = nlohmann::json::parse(hostMessage(HostInfo{}));
    EXPECT_TRUE(bare["origin"].is_null());
    EXPECT_TRUE(bare["profile"].is_null());
}

TEST(HostInfo, AProcessCommandLineIsReadWithEveryArgument)
{
    const auto args = readCommandLine(::getpid());
    ASSERT_FALSE(args.empty());
    EXPECT_NE(args[0].find("tabulon_tests"), std::string::npos) << args[0];
    EXPECT_TRUE(readCommandLine(0).empty());
}
