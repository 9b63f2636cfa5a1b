#include "automation/chromium/Transport.h"

#include "automation/chromium/FdWait.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>

namespace automation::chromium {

void ignoreSigpipe()
{
    static const bool done = [] {
        std::signal(SIGPIPE, SIG_IGN);
        return true;
    }();
    (void)done;
}

FdReady waitFd(int fd, short events, Deadline deadline)
{
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        const int timeout = static_cast<int>(std::clamp<long long>(left.count(), 0, 60'000));
        pollfd p{fd, events, 0};
        const int n = ::poll(&p, 1, timeout);
        if (n > 0)
            return FdReady::Ready;
        if (n == 0) {
            if (std::chrono::steady_clock::now() >= deadline)
                return FdReady::Timeout;
            continue;
        }
        if (errno != EINTR)
            return FdReady::Error;
    }
}

FdRead readInto(int fd, std::string& buffer, Deadline deadline)
{
    for (;;) {
        char chunk[65536];
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n > 0) {
            buffer.append(chunk, static_cast<std::size_t>(n));
            return FdRead::Data;
        }
        if (n == 0)
            return FdRead::Closed;
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return FdRead::Closed;
        switch (waitFd(fd, POLLIN, deadline)) {
        case FdReady::Ready:
            break;
        case FdReady::Timeout:
            return FdRead::Timeout;
        case FdReady::Error:
            return FdRead::Closed;
        }
    }
}

void setNonBlocking(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

} // namespace automation::chromium
