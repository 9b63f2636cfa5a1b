#include "automation/bridge/BridgeSocket.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace automation::bridge {

namespace {

bool makeAddress(const std::string& path, sockaddr_un& address)
{
    address = {};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        errno = ENAMETOOLONG;
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

} // namespace

std::string bridgeFolder()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime == '/')
        return std::string(runtime) + "/tabulon";
    return "/tmp/tabulon-" + std::to_string(::geteuid());
}

std::string bridgeSocketPath(const std::string& folder)
{
    return folder + "/" + kSocketName;
}

std::optional<std::string> preparePrivateFolder(const std::string& folder)
{
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return "cannot make " + folder + ": " + std::strerror(errno);
    struct stat info
    {
    };
    if (::lstat(folder.c_str(), &info) != 0)
        return "cannot read " + folder + ": " + std::strerror(errno);
    if (!S_ISDIR(info.st_mode))
        return folder + " is not a folder";
    if (info.st_uid != ::geteuid())
        return folder + " belongs to another user";
    if ((info.st_mode & 077) != 0)
        return folder + " is open to other users (mode " + std::to_string((info.st_mode >> 6) & 7) +
               std::to_string((info.st_mode >> 3) & 7) + std::to_string(info.st_mode & 7) + ")";
    return std::nullopt;
}

std::optional<uid_t> peerUid(int fd)
{
    ucred credentials{};
    socklen_t length = sizeof credentials;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0 ||
        length != sizeof credentials)
        return std::nullopt;
    return credentials.uid;
}

bool peerIsSameUser(int fd)
{
    const auto uid = peerUid(fd);
    return uid && *uid == ::geteuid();
}

int connectBridge(const std::string& path)
{
    sockaddr_un address;
    if (!makeAddress(path, address))
        return -1;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return -1;
    // A local stream socket connects at once or not at all: EAGAIN means the
    // listener's queue is full, which counts as not listening now.
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

int listenBridge(const std::string& path)
{
    const std::string temporary = path + "." + std::to_string(::getpid()) + ".new";
    sockaddr_un address;
    if (!makeAddress(temporary, address))
        return -1;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return -1;
    ::unlink(temporary.c_str());
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 16) != 0 || ::rename(temporary.c_str(), path.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

int acceptBridge(int listener)
{
    const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0)
        return -1;
    if (!peerIsSameUser(fd)) {
        std::fprintf(stderr, "tabulon: refused a bridge connection from another user\n");
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace automation::bridge
