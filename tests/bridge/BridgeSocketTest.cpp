#include "automation/bridge/BridgeSocket.h"

#include "BridgePeers.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

using namespace automation::bridge;
using bridgetest::TempFolder;

TEST(BridgeSocket, TheFolderIsMadePrivateAndRefusedWhenOthersCouldUseIt)
{
    TempFolder temp;
    const std::string folder = temp.path() + "/tabulon";
    EXPECT_FALSE(preparePrivateFolder(folder));
    struct stat info
    {
    };
    ASSERT_EQ(::stat(folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_FALSE(preparePrivateFolder(folder)) << "an existing private folder is fine";

    ::chmod(folder.c_str(), 0750);
    const auto open = preparePrivateFolder(folder);
    ASSERT_TRUE(open);
    EXPECT_NE(open->find("750"), std::string::npos) << *open;
    ::chmod(folder.c_str(), 0700);

    // A link to a private folder is not the folder: someone else may own the link's place.
    const std::string link = temp.path() + "/link";
    std::filesystem::create_directory_symlink(folder, link);
    EXPECT_TRUE(preparePrivateFolder(link));
    const std::string file = temp.path() + "/file";
    std::ofstream(file) << "x";
    EXPECT_TRUE(preparePrivateFolder(file));
    EXPECT_TRUE(preparePrivateFolder(temp.path() + "/missing/tabulon"));

    if (::geteuid() == 0) {
        const std::string theirs = temp.path() + "/theirs";
        ::mkdir(theirs.c_str(), 0700);
        ASSERT_EQ(::chown(theirs.c_str(), 65534, 65534), 0);
        const auto problem = preparePrivateFolder(theirs);
        ASSERT_TRUE(problem);
        EXPECT_NE(problem->find("another user"), std::string::npos);
    }
}

TEST(BridgeSocket, TheSocketLivesInTheSessionsRuntimeFolder)
{
    const char* before = std::getenv("XDG_RUNTIME_DIR");
    const std::string saved = before ? before : "";
    ::setenv("XDG_RUNTIME_DIR", "/run/user/1234", 1);
    EXPECT_EQ(bridgeSocketPath(bridgeFolder()), "/run/user/1234/tabulon/bridge.sock");
    // A relative or missing runtime folder is not trusted.
    ::setenv("XDG_RUNTIME_DIR", "relative", 1);
    EXPECT_EQ(bridgeFolder(), "/tmp/tabulon-" + std::to_string(::geteuid()));
    ::unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(bridgeFolder(), "/tmp/tabulon-" + std::to_string(::geteuid()));
    if (before)
        ::setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
}

TEST(BridgeSocket, AListenerReplacesAStaleSocketAndSeesItsPeersUser)
{
    TempFolder temp;
    const std::string path = temp.path() + "/bridge.sock";
    EXPECT_EQ(connectBridge(path), -1);
    EXPECT_EQ(errno, ENOENT);

    // What a Tabulon that crashed leaves behind: a socket no one listens on.
    const int stale = listenBridge(path);
    ASSERT_GE(stale, 0);
    ::close(stale);
    EXPECT_EQ(connectBridge(path), -1);
    EXPECT_EQ(errno, ECONNREFUSED);

    const int listener = listenBridge(path);
    ASSERT_GE(listener, 0);
    const int client = connectBridge(path);
    ASSERT_GE(client, 0);
    const int server = acceptBridge(listener);
    ASSERT_GE(server, 0);
    EXPECT_EQ(peerUid(client), ::geteuid());
    EXPECT_TRUE(peerIsSameUser(server));
    EXPECT_FALSE(std::filesystem::exists(path + "." + std::to_string(::getpid()) + ".new"));
    ::close(client);
    ::close(server);
    ::close(listener);

    // A path too long for a socket address is an error, not a cut name.
    EXPECT_EQ(listenBridge(temp.path() + "/" + std::string(200, 'n')), -1);
    EXPECT_EQ(errno, ENAMETOOLONG);
}

TEST(BridgeSocket, ConnectionsFromAnotherUserAreRefused)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can make a connection as another user";
    TempFolder temp;
    ::chmod(temp.path().c_str(), 0777);
    const std::string path = temp.path() + "/bridge.sock";
    const int listener = listenBridge(path);
    ASSERT_GE(listener, 0);
    ::chmod(path.c_str(), 0777);
    const pid_t child = bridgetest::forkAsNobody([&] {
        const int fd = connectBridge(path);
        if (fd < 0)
            return 1;
        // Tabulon hangs up on us.
        pollfd p{fd, POLLIN, 0};
        ::poll(&p, 1, 5000);
        char c;
        return ::read(fd, &c, 1) == 0 ? 0 : 2;
    });
    pollfd p{listener, POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 5000), 1);
    EXPECT_EQ(acceptBridge(listener), -1);
    EXPECT_EQ(bridgetest::exitStatus(child), 0);
    ::close(listener);
}
