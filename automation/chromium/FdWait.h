#pragma once

#include "automation/chromium/Transport.h"

#include <poll.h>

namespace automation::chromium {

// What waiting on a descriptor gave.
enum class FdReady
{
    Ready,
    Timeout,
    Error
};

// Waits until fd is ready for the events (POLLIN, POLLOUT) or the deadline passes;
// an interrupted wait goes on waiting.
FdReady waitFd(int fd, short events, Deadline deadline);

// Sets O_NONBLOCK on the descriptor.
void setNonBlocking(int fd);

} // namespace automation::chromium
