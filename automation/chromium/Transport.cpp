#include "automation/chromium/Transport.h"

#include "automation/chromium/FdWait.h"

#include <cerrno>
#include <csignal>
#include <poll.h>
#include <unistd.h>

namespace automation::chromium {

void ignoreSigpipe()
{
    static const bool done = [] {
        std::signal(SIGPIPE, SIG_IGN);
        return true;
    }();
    (void)done;
}

FdRead readInto(WaitClock& clock, int fd, std::string& buffer, Deadline deadline)
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
        switch (clock.waitFd(fd, POLLIN, deadline)) {
        case FdReady::Ready:
            break;
        case FdReady::Timeout:
            return FdRead::Timeout;
        case FdReady::Error:
            return FdRead::Closed;
        }
    }
}

} // namespace automation::chromium
