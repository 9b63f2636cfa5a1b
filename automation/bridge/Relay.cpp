#include "automation/bridge/Relay.h"

#include "automation/bridge/BridgeSocket.h"
#include "automation/bridge/HostInfo.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <unistd.h>

namespace automation::bridge {

namespace {

constexpr std::size_t kChunk = std::size_t{64} * 1024;
// Past this much unsent, stop reading the side that feeds it until the other catches up.
constexpr std::size_t kBacklogToTabulon = 2 * kMaxFromBrowser;
constexpr std::size_t kBacklogToBrowser = 4 * kMaxToBrowser;
constexpr int kMaxRetries = 6;

void log(const std::string& text)
{
    std::fprintf(stderr, "tabulon-bridge: %s\n", text.c_str());
}

void setNonBlocking(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

} // namespace

void OutBuffer::clear()
{
    m_data.clear();
    m_offset = 0;
}

bool OutBuffer::writeTo(int fd, bool socket)
{
    while (!empty()) {
        const char* data = m_data.data() + m_offset;
        const ssize_t n =
            socket ? ::send(fd, data, size(), MSG_NOSIGNAL) : ::write(fd, data, size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno == EAGAIN || errno == EWOULDBLOCK;
        }
        m_offset += static_cast<std::size_t>(n);
    }
    clear();
    return true;
}

Relay::Relay(int browserIn, int browserOut, RelayOptions options)
    : m_in(browserIn), m_out(browserOut), m_options(std::move(options)),
      m_socketPath(bridgeSocketPath(m_options.folder))
{}

Relay::~Relay()
{
    if (m_tabulon >= 0)
        ::close(m_tabulon);
    if (m_inotify >= 0)
        ::close(m_inotify);
}

void Relay::watchFolder()
{
    if (const auto problem = preparePrivateFolder(m_options.folder)) {
        // Never talk through a folder others could have put a socket in.
        if (m_folderUsable || m_inotify < 0)
            log(*problem + "; Tabulon cannot be reached");
        m_folderUsable = false;
        return;
    }
    m_folderUsable = true;
    if (m_inotify < 0)
        m_inotify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_inotify < 0) {
        log(std::string("inotify: ") + std::strerror(errno));
        return;
    }
    m_watch = ::inotify_add_watch(m_inotify, m_options.folder.c_str(),
                                  IN_CREATE | IN_MOVED_TO | IN_ATTRIB | IN_DELETE_SELF |
                                      IN_MOVE_SELF | IN_ONLYDIR);
    if (m_watch < 0)
        log("cannot watch " + m_options.folder + ": " + std::strerror(errno));
}

void Relay::readWatch()
{
    alignas(inotify_event) char buffer[sizeof(inotify_event) + NAME_MAX + 1];
    bool appeared = false;
    bool folderGone = false;
    for (;;) {
        const ssize_t n = ::read(m_inotify, buffer, sizeof buffer);
        if (n <= 0)
            break;
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            if (event->mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF))
                folderGone = true;
            else if (event->len > 0 && std::strcmp(event->name, kSocketName) == 0)
                appeared = true;
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    if (folderGone) {
        if (m_watch >= 0)
            ::inotify_rm_watch(m_inotify, m_watch);
        m_watch = -1;
        watchFolder();
    }
    if (!appeared)
        return;
    if (m_tabulon >= 0) {
        m_socketSeen = true;
        return;
    }
    m_retries = 0;
    m_retryAt.reset();
    tryConnect();
}

void Relay::tryConnect()
{
    m_retryAt.reset();
    if (!m_folderUsable || m_tabulon >= 0)
        return;
    const int fd = connectBridge(m_socketPath);
    if (fd < 0) {
        // A socket that is there but refuses may be a Tabulon just starting to listen
        // (or one that has gone); a few spaced tries, then wait for the next socket.
        if ((errno == ECONNREFUSED || errno == EAGAIN) && m_retries < kMaxRetries) {
            m_retryAt = Clock::now() + std::chrono::milliseconds(50 << m_retries);
            ++m_retries;
        }
        return;
    }
    if (!peerIsSameUser(fd)) {
        log("the socket " + m_socketPath + " belongs to another user; not used");
        ::close(fd);
        return;
    }
    m_tabulon = fd;
    m_retries = 0;
    m_socketSeen = false;
    m_fromTabulon = FrameReader(kMaxToBrowser);
    m_tabulonSkipped = 0;
    m_greeted = false;
    m_toTabulon.clear();
    m_toTabulon.append(*encodeFrame(m_options.hostMessage, kMaxFromBrowser));
    toBrowser(tabulonMessage(true));
}

void Relay::loseTabulon(const char* why)
{
    if (m_tabulon < 0)
        return;
    log(std::string("Tabulon ") + why);
    ::close(m_tabulon);
    m_tabulon = -1;
    m_toTabulon.clear();
    toBrowser(tabulonMessage(false));
    if (m_socketSeen) {
        m_socketSeen = false;
        tryConnect();
    }
}

void Relay::toBrowser(std::string_view message)
{
    if (auto frame = encodeFrame(message, kMaxToBrowser))
        m_toBrowser.append(*frame);
}

bool Relay::readBrowser()
{
    char buffer[kChunk];
    for (;;) {
        const ssize_t n = ::read(m_in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        if (n <= 0)
            return false;
        m_fromBrowser.feed(std::string_view(buffer, static_cast<std::size_t>(n)));
        while (auto message = m_fromBrowser.next()) {
            // While Tabulon is away there is no one to give it to.
            if (m_tabulon < 0)
                continue;
            if (!m_greeted)
                m_greeted = isHello(*message);
            if (!m_greeted)
                continue;
            m_toTabulon.append(*encodeFrame(*message, kMaxFromBrowser));
        }
        if (m_toTabulon.size() > kBacklogToTabulon)
            break;
    }
    if (m_fromBrowser.skipped() != m_browserSkipped) {
        m_browserSkipped = m_fromBrowser.skipped();
        log("dropped an empty or oversized message from the browser");
    }
    return true;
}

void Relay::readTabulon()
{
    char buffer[kChunk];
    for (;;) {
        const ssize_t n = ::recv(m_tabulon, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        if (n <= 0) {
            loseTabulon("has gone");
            return;
        }
        m_fromTabulon.feed(std::string_view(buffer, static_cast<std::size_t>(n)));
        while (auto message = m_fromTabulon.next())
            toBrowser(*message);
        if (m_toBrowser.size() > kBacklogToBrowser)
            break;
    }
    if (m_fromTabulon.skipped() != m_tabulonSkipped) {
        m_tabulonSkipped = m_fromTabulon.skipped();
        log("dropped an empty or oversized message from Tabulon");
    }
}

void Relay::flushToTabulon(std::chrono::milliseconds limit)
{
    const auto until = Clock::now() + limit;
    while (m_tabulon >= 0 && !m_toTabulon.empty() && Clock::now() < until) {
        pollfd p{m_tabulon, POLLOUT, 0};
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
        if (::poll(&p, 1, static_cast<int>(std::max<long long>(left, 0))) <= 0)
            break;
        if (!m_toTabulon.writeTo(m_tabulon, true))
            break;
    }
}

int Relay::run()
{
    setNonBlocking(m_in);
    setNonBlocking(m_out);
    watchFolder();
    tryConnect();

    for (;;) {
        pollfd fds[4];
        int count = 0;
        const int browserIn = m_toTabulon.size() <= kBacklogToTabulon ? count : -1;
        if (browserIn >= 0)
            fds[count++] = {m_in, POLLIN, 0};
        const int browserOut = m_toBrowser.empty() ? -1 : count;
        if (browserOut >= 0)
            fds[count++] = {m_out, POLLOUT, 0};
        const int tabulon = m_tabulon >= 0 ? count : -1;
        if (tabulon >= 0) {
            short events = m_toBrowser.size() <= kBacklogToBrowser ? POLLIN : 0;
            if (!m_toTabulon.empty())
                events |= POLLOUT;
            fds[count++] = {m_tabulon, events, 0};
        }
        const int watch = m_inotify >= 0 ? count : -1;
        if (watch >= 0)
            fds[count++] = {m_inotify, POLLIN, 0};

        int timeout = -1;
        if (m_retryAt) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(*m_retryAt - Clock::now()).count();
            timeout = static_cast<int>(std::max<long long>(left, 0));
        }
        const int ready = ::poll(fds, static_cast<nfds_t>(count), timeout);
        if (ready < 0 && errno != EINTR) {
            log(std::string("poll: ") + std::strerror(errno));
            return 1;
        }

        if (browserOut >= 0 && fds[browserOut].revents) {
            // The browser stopped reading: it has gone.
            if (!m_toBrowser.writeTo(m_out, false))
                break;
        }
        if (tabulon >= 0 && m_tabulon >= 0 && fds[tabulon].revents) {
            if (fds[tabulon].revents & POLLOUT && !m_toTabulon.writeTo(m_tabulon, true))
                loseTabulon("stopped reading");
            else if (fds[tabulon].revents & (POLLIN | POLLHUP | POLLERR))
                readTabulon();
        }
        if (browserIn >= 0 && fds[browserIn].revents) {
            if (!readBrowser()) {
                // The browser closed the port: pass on what it said last, then end.
                flushToTabulon(std::chrono::milliseconds(1000));
                return 0;
            }
        }
        if (watch >= 0 && fds[watch].revents)
            readWatch();
        if (m_retryAt && Clock::now() >= *m_retryAt)
            tryConnect();
        if (!m_toBrowser.empty() && !m_toBrowser.writeTo(m_out, false))
            break;
    }
    return 0;
}

} // namespace automation::bridge
