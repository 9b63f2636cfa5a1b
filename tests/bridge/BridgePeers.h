#pragma once

#include "automation/bridge/BridgeSocket.h"
#include "automation/bridge/Framing.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

// The two ends a host talks to, as the bridge's tests play them: a framed byte stream
// read and written with deadlines, and Tabulon listening on its socket.
namespace bridgetest {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Runs f in a child process as the user nobody (the caller must be root); the
// child's pid, for exitStatus.
template <typename F> pid_t forkAsNobody(F f)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(99);
        ::_exit(f());
    }
    return pid;
}

inline int exitStatus(pid_t pid)
{
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A temporary folder that goes with the object.
class TempFolder
{
public:
    TempFolder()
    {
        char name[] = "/tmp/tabulon-bridge-test-XXXXXX";
        if (!::mkdtemp(name))
            throw std::runtime_error("mkdtemp");
        m_path = name;
    }
    ~TempFolder()
    {
        std::error_code error;
        std::filesystem::remove_all(m_path, error);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

// One end of a framed stream: reads from one descriptor, writes to another (the same
// one for a socket). Owns both.
class FramedPeer
{
public:
    FramedPeer(int readFd, int writeFd, std::size_t readLimit)
        : m_read(readFd), m_write(writeFd), m_reader(readLimit)
    {}
    ~FramedPeer() { close(); }
    FramedPeer(const FramedPeer&) = delete;
    FramedPeer& operator=(const FramedPeer&) = delete;

    int readFd() const { return m_read; }

    bool sendRaw(const std::string& bytes)
    {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::send(m_write, bytes.data() + done, bytes.size() - done,
                                     m_socket ? MSG_NOSIGNAL : 0);
            if (n < 0 && errno == ENOTSOCK) {
                m_socket = false;
                const ssize_t w = ::write(m_write, bytes.data() + done, bytes.size() - done);
                if (w <= 0)
                    return false;
                done += static_cast<std::size_t>(w);
                continue;
            }
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
                pollfd p{m_write, POLLOUT, 0};
                ::poll(&p, 1, 1000);
                continue;
            }
            if (n <= 0)
                return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    bool send(const std::string& message)
    {
        const auto frame = automation::bridge::encodeFrame(message, SIZE_MAX >> 1);
        return frame && sendRaw(*frame);
    }

    // The next message, or nothing at the deadline or at the end of the stream.
    std::optional<std::string> receive(std::chrono::milliseconds limit = 5000ms)
    {
        const auto until = Clock::now() + limit;
        for (;;) {
            if (auto message = m_reader.next())
                return message;
            if (m_eof)
                return std::nullopt;
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
            if (left.count() <= 0)
                return std::nullopt;
            pollfd p{m_read, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0)
                continue;
            char buffer[65536];
            const ssize_t n = ::read(m_read, buffer, sizeof buffer);
            if (n < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            if (n <= 0)
                m_eof = true;
            else
                m_reader.feed(std::string_view(buffer, static_cast<std::size_t>(n)));
        }
    }

    // True once the other end has closed (within the limit), after any messages.
    bool closedWithin(std::chrono::milliseconds limit)
    {
        const auto until = Clock::now() + limit;
        while (Clock::now() < until) {
            if (!receive(
                    std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now())) &&
                m_eof)
                return true;
        }
        return m_eof;
    }

    void closeWrite()
    {
        if (m_write >= 0 && m_write != m_read)
            ::close(m_write);
        else if (m_write >= 0)
            ::shutdown(m_write, SHUT_WR);
        m_write = -1;
    }

    void close()
    {
        if (m_write >= 0 && m_write != m_read)
            ::close(m_write);
        if (m_read >= 0)
            ::close(m_read);
        m_read = m_write = -1;
    }

private:
    int m_read;
    int m_write;
    bool m_socket = true;
    bool m_eof = false;
    automation::bridge::FrameReader m_reader;
};

// Tabulon's side: listens on the bridge socket in a folder and takes hosts.
class FakeTabulon
{
public:
    explicit FakeTabulon(const std::string& folder)
        : m_path(automation::bridge::bridgeSocketPath(folder))
    {
        if (const auto problem = automation::bridge::preparePrivateFolder(folder))
            throw std::runtime_error(*problem);
        m_listener = automation::bridge::listenBridge(m_path);
        if (m_listener < 0)
            throw std::runtime_error("cannot listen at " + m_path);
    }
    ~FakeTabulon() { stop(); }
    FakeTabulon(const FakeTabulon&) = delete;
    FakeTabulon& operator=(const FakeTabulon&) = delete;

    // The next host to connect, or nothing by the deadline.
    std::unique_ptr<FramedPeer> accept(std::chrono::milliseconds limit = 5000ms)
    {
        const auto until = Clock::now() + limit;
        while (Clock::now() < until) {
            pollfd p{m_listener, POLLIN, 0};
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
            if (::poll(&p, 1, static_cast<int>(std::max<long long>(left.count(), 1))) <= 0)
                continue;
            const int fd = automation::bridge::acceptBridge(m_listener);
            if (fd >= 0)
                return std::make_unique<FramedPeer>(fd, fd, automation::bridge::kMaxFromBrowser);
        }
        return nullptr;
    }

    // Stops listening and removes the socket, as Tabulon does when it quits.
    void stop()
    {
        if (m_listener < 0)
            return;
        ::close(m_listener);
        ::unlink(m_path.c_str());
        m_listener = -1;
    }

private:
    std::string m_path;
    int m_listener = -1;
};

} // namespace bridgetest
