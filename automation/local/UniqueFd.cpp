#include "automation/local/UniqueFd.h"

#include <fcntl.h>
#include <unistd.h>

namespace automation {

void UniqueFd::reset(int fd) noexcept
{
    if (m_fd >= 0 && m_fd != fd)
        ::close(m_fd);
    m_fd = fd;
}

bool UniqueFd::close() noexcept
{
    // Never retried on EINTR: on Linux the descriptor is gone either way.
    const int fd = release();
    return fd < 0 || ::close(fd) == 0;
}

std::optional<PipeEnds> makePipe()
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return std::nullopt;
    return PipeEnds{UniqueFd(fds[0]), UniqueFd(fds[1])};
}

UniqueFd openNull()
{
    return UniqueFd(::open("/dev/null", O_RDWR | O_CLOEXEC));
}

void setNonBlocking(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

} // namespace automation
