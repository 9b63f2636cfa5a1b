#include "automation/bridge/Relay.h"

#include "BridgePeers.h"
#include "automation/bridge/HostInfo.h"

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <spawn.h>
#include <sys/un.h>
#include <thread>

using namespace automation::bridge;
using namespace bridgetest;
using json = nlohmann::json;

extern char** environ;

namespace {

json parse(const std::optional<std::string>& message)
{
    return message ? json::parse(*message, nullptr, false) : json();
}

// One host relaying in a thread, with the browser's end of its pipes.
class Host
{
public:
    Host(const std::string& folder, const std::string& hostMessage)
    {
        int toHost[2];
        int fromHost[2];
        if (::pipe2(toHost, O_CLOEXEC) != 0 || ::pipe2(fromHost, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe");
        browser = std::make_unique<FramedPeer>(fromHost[0], toHost[1], kMaxToBrowser);
        m_thread = std::thread([this, folder, hostMessage, in = toHost[0], out = fromHost[1]] {
            {
                Relay relay(in, out, {folder, hostMessage});
                m_exit = relay.run();
            }
            ::close(in);
            ::close(out);
        });
    }
    ~Host()
    {
        browser->closeWrite();
        if (m_thread.joinable())
            m_thread.join();
    }

    // The browser closed its port: the host ends, and gives its status.
    int closeAndWait()
    {
        browser->closeWrite();
        m_thread.join();
        return m_exit;
    }

    // The next message the extension gets is "Tabulon came" or "Tabulon went".
    ::testing::AssertionResult toldTabulon(bool connected)
    {
        const json message = parse(browser->receive());
        if (message == json{{"type", "tabulon"}, {"connected", connected}})
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "got " << message.dump();
    }

    std::unique_ptr<FramedPeer> browser;

private:
    std::thread m_thread;
    std::atomic<int> m_exit{-1};
};

struct Relaying : ::testing::Test
{
    static void SetUpTestSuite() { std::signal(SIGPIPE, SIG_IGN); }
    TempFolder temp;
    std::string folder = temp.path() + "/tabulon";
};

} // namespace

TEST_F(Relaying, TabulonAppearingAfterTheBrowserIsFoundAndGreeted)
{
    Host host(folder, R"({"type":"host","n":1})");
    FakeTabulon tabulon(folder);
    const auto peer = tabulon.accept();
    ASSERT_TRUE(peer);
    EXPECT_EQ(parse(peer->receive()), (json{{"type", "host"}, {"n", 1}}));
    EXPECT_TRUE(host.toldTabulon(true));

    ASSERT_TRUE(host.browser->send(R"({"type":"hello"})"));
    EXPECT_EQ(peer->receive(), R"({"type":"hello"})");
    ASSERT_TRUE(peer->send(R"({"type":"request","id":1})"));
    EXPECT_EQ(host.browser->receive(), R"({"type":"request","id":1})");
}

TEST_F(Relaying, ARestartedTabulonGetsNothingFromBeforeTheExtensionGreetedIt)
{
    Host host(folder, R"({"type":"host"})");
    auto tabulon = std::make_unique<FakeTabulon>(folder);
    auto peer = tabulon->accept();
    ASSERT_TRUE(peer);
    EXPECT_TRUE(host.toldTabulon(true));

    tabulon.reset();
    peer.reset();
    EXPECT_TRUE(host.toldTabulon(false));
    ASSERT_TRUE(host.browser->send(R"({"while":"away"})"));

    tabulon = std::make_unique<FakeTabulon>(folder);
    peer = tabulon->accept();
    ASSERT_TRUE(peer);
    EXPECT_TRUE(host.toldTabulon(true));
    // An event the extension posted before it heard of the new Tabulon belongs to the
    // old one: the new one's first message from the extension is its greeting.
    ASSERT_TRUE(host.browser->send(R"({"type":"event","name":"tabs.onUpdated"})"));
    ASSERT_TRUE(host.browser->send(R"({"type":"hello","n":2})"));
    ASSERT_TRUE(host.browser->send(R"({"after":"return"})"));
    EXPECT_EQ(peer->receive(), R"({"type":"host"})");
    EXPECT_EQ(peer->receive(), R"({"type":"hello","n":2})");
    EXPECT_EQ(peer->receive(), R"({"after":"return"})");
}

TEST_F(Relaying, ANewTabulonThatStartedBeforeTheOldOneWentIsTakenAtOnce)
{
    Host host(folder, R"({"type":"host"})");
    auto first = std::make_unique<FakeTabulon>(folder);
    auto firstPeer = first->accept();
    ASSERT_TRUE(firstPeer);
    EXPECT_TRUE(host.toldTabulon(true));

    // The new one takes the socket's name while the old connection is still open.
    FakeTabulon second(folder);
    std::this_thread::sleep_for(100ms);
    firstPeer.reset();
    EXPECT_TRUE(host.toldTabulon(false));
    EXPECT_TRUE(host.toldTabulon(true));
    const auto peer = second.accept();
    ASSERT_TRUE(peer);
    EXPECT_EQ(peer->receive(), R"({"type":"host"})");
}

TEST_F(Relaying, ASocketThatRefusesAtFirstIsTriedAgainWhenItIsReplaced)
{
    ASSERT_FALSE(preparePrivateFolder(folder));
    const std::string path = bridgeSocketPath(folder);
    ::close(listenBridge(path)); // a crashed Tabulon's socket
    Host host(folder, R"({"type":"host"})");

    // A Tabulon that binds its name first and listens a moment later.
    ::unlink(path.c_str());
    const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    std::this_thread::sleep_for(150ms);
    ASSERT_EQ(::listen(listener, 4), 0);
    EXPECT_TRUE(host.toldTabulon(true));
    ::close(listener);
}

TEST_F(Relaying, MessagesOverTheLimitOfTheirWayAreDroppedAndTheRestGoesThrough)
{
    Host host(folder, R"({"type":"host"})");
    FakeTabulon tabulon(folder);
    const auto peer = tabulon.accept();
    ASSERT_TRUE(peer);
    EXPECT_TRUE(host.toldTabulon(true));
    EXPECT_EQ(peer->receive(), R"({"type":"host"})");

    // To the browser: at most 1 MiB.
    const std::string tooBig = "\"" + std::string(kMaxToBrowser - 1, 'x') + "\"";
    const std::string largest = "\"" + std::string(kMaxToBrowser - 2, 'y') + "\"";
    ASSERT_TRUE(peer->send(tooBig));
    ASSERT_TRUE(peer->sendRaw(std::string(4, '\0')));
    ASSERT_TRUE(peer->send(largest));
    EXPECT_EQ(host.browser->receive(), largest);

    // To Tabulon: up to 64 MiB, here a few MiB, which takes many writes each way.
    const std::string big = "\"" + std::string(5u << 20, 'b') + "\"";
    ASSERT_TRUE(host.browser->send(R"({"type":"hello"})"));
    EXPECT_EQ(peer->receive(), R"({"type":"hello"})");
    ASSERT_TRUE(host.browser->sendRaw(std::string(4, '\0')));
    ASSERT_TRUE(host.browser->send(big));
    ASSERT_TRUE(host.browser->send("{}"));
    EXPECT_EQ(peer->receive(), big);
    EXPECT_EQ(peer->receive(), "{}");
}

TEST_F(Relaying, TheHostEndsWhenTheBrowserClosesAfterPassingOnItsLastWords)
{
    Host host(folder, R"({"type":"host"})");
    FakeTabulon tabulon(folder);
    const auto peer = tabulon.accept();
    ASSERT_TRUE(peer);
    EXPECT_TRUE(host.toldTabulon(true));
    ASSERT_TRUE(host.browser->send(R"({"type":"hello"})"));
    ASSERT_TRUE(host.browser->send(R"({"last":"words"})"));
    EXPECT_EQ(host.closeAndWait(), 0);
    EXPECT_EQ(peer->receive(), R"({"type":"host"})");
    EXPECT_EQ(peer->receive(), R"({"type":"hello"})");
    EXPECT_EQ(peer->receive(), R"({"last":"words"})");
    EXPECT_TRUE(peer->closedWithin(5000ms));
}

TEST_F(Relaying, SeveralBrowsersAreBridgedAtOnceEachOnItsOwnConnection)
{
    FakeTabulon tabulon(folder);
    Host chromium(folder, R"({"type":"host","browser":"chromium"})");
    Host firefox(folder, R"({"type":"host","browser":"firefox"})");
    std::map<std::string, std::unique_ptr<FramedPeer>> peers;
    for (int i = 0; i < 2; ++i) {
        auto peer = tabulon.accept();
        ASSERT_TRUE(peer);
        peers[parse(peer->receive())["browser"]] = std::move(peer);
    }
    ASSERT_EQ(peers.size(), 2u);
    EXPECT_TRUE(chromium.toldTabulon(true));
    EXPECT_TRUE(firefox.toldTabulon(true));
    ASSERT_TRUE(peers["firefox"]->send(R"({"to":"firefox"})"));
    ASSERT_TRUE(peers["chromium"]->send(R"({"to":"chromium"})"));
    EXPECT_EQ(firefox.browser->receive(), R"({"to":"firefox"})");
    EXPECT_EQ(chromium.browser->receive(), R"({"to":"chromium"})");

    // One browser going leaves the other bridged.
    EXPECT_EQ(chromium.closeAndWait(), 0);
    EXPECT_TRUE(peers["chromium"]->closedWithin(5000ms));
    ASSERT_TRUE(firefox.browser->send(R"({"type":"hello"})"));
    ASSERT_TRUE(firefox.browser->send(R"({"from":"firefox"})"));
    EXPECT_EQ(peers["firefox"]->receive(), R"({"type":"hello"})");
    EXPECT_EQ(peers["firefox"]->receive(), R"({"from":"firefox"})");
}

TEST_F(Relaying, AFolderOthersCouldWriteInIsNeverUsed)
{
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    const int listener = listenBridge(bridgeSocketPath(folder));
    ASSERT_GE(listener, 0);
    Host host(folder, R"({"type":"host"})");
    pollfd p{listener, POLLIN, 0};
    EXPECT_EQ(::poll(&p, 1, 500), 0) << "the host connected through an open folder";
    EXPECT_EQ(host.closeAndWait(), 0);
    ::close(listener);
}

TEST_F(Relaying, ASocketOfAnotherUserIsNotTalkedTo)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can listen as another user";
    ASSERT_FALSE(preparePrivateFolder(folder));
    const std::string path = bridgeSocketPath(folder);
    Host host(folder, R"({"type":"host"})");
    const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    // Named in our folder, but listening as nobody: the host must hang up on it.
    const pid_t child = forkAsNobody([&] {
        if (::listen(listener, 4) != 0)
            return 1;
        pollfd p{listener, POLLIN, 0};
        if (::poll(&p, 1, 5000) != 1)
            return 2;
        const int fd = ::accept(listener, nullptr, nullptr);
        char c;
        p = {fd, POLLIN, 0};
        ::poll(&p, 1, 5000);
        return ::read(fd, &c, 1) == 0 ? 0 : 3;
    });
    EXPECT_EQ(exitStatus(child), 0);
    EXPECT_FALSE(host.browser->receive(200ms));
    ::close(listener);
}

TEST_F(Relaying, TheHostExecutableSaysWhichExtensionAndBrowserCalledIt)
{
    FakeTabulon tabulon(folder);
    int toHost[2];
    int fromHost[2];
    ASSERT_EQ(::pipe2(toHost, O_CLOEXEC), 0);
    ASSERT_EQ(::pipe2(fromHost, O_CLOEXEC), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toHost[0], 0);
    posix_spawn_file_actions_adddup2(&actions, fromHost[1], 1);
    const std::string runtime = "XDG_RUNTIME_DIR=" + temp.path();
    std::vector<char*> env = {const_cast<char*>(runtime.c_str()), nullptr};
    const char* argv[] = {TABULON_BRIDGE_EXE,
                          "chrome-extension://kmfijapfifagppihhoiacpfmojiefhje/",
                          "--parent-window=0", nullptr};
    pid_t pid = 0;
    ASSERT_EQ(::posix_spawn(&pid, TABULON_BRIDGE_EXE, &actions, nullptr,
                            const_cast<char* const*>(argv), env.data()),
              0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(toHost[0]);
    ::close(fromHost[1]);
    FramedPeer browser(fromHost[0], toHost[1], kMaxToBrowser);

    const auto peer = tabulon.accept();
    ASSERT_TRUE(peer);
    const json hello = parse(peer->receive());
    EXPECT_EQ(hello["type"], "host");
    EXPECT_EQ(hello["version"], 1);
    EXPECT_EQ(hello["origin"], "chrome-extension://kmfijapfifagppihhoiacpfmojiefhje/");
    EXPECT_EQ(hello["browserPid"], ::getpid());
    EXPECT_EQ(parse(browser.receive()), (json{{"type", "tabulon"}, {"connected", true}}));

    browser.closeWrite();
    EXPECT_EQ(exitStatus(pid), 0);
    EXPECT_TRUE(peer->closedWithin(5000ms));
}
