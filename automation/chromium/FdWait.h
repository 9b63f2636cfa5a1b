#pragma once

#include "automation/chromium/Transport.h"

#include <poll.h>
#include <string>

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

// What reading from a descriptor gave.
enum class FdRead
{
    Data,
    Closed,
    Timeout
};

// Appends what the non-blocking fd has to buffer, waiting until the deadline while it
// has nothing; Closed at the end of the stream or on an error.
FdRead readInto(int fd, std::string& buffer, Deadline deadline);

// Sets O_NONBLOCK on the descriptor.
void setNonBlocking(int fd);

} // namespace automation::chromium
