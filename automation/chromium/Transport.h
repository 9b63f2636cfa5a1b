#pragma once

#include "automation/local/WaitClock.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace automation::chromium {

// A moment of the connection's WaitClock by which something must be done.
using Deadline = WaitClock::TimePoint;

// What waiting for the next message gave.
enum class ReceiveResult
{
    Message,
    // A message above the size limit: only its first kRefusedHead bytes are handed
    // on (enough to tell which request it answers); the rest is passed over.
    Oversized,
    Timeout,
    Closed
};

// How much of a refused message is handed on.
inline constexpr std::size_t kRefusedHead = 256;

// One connection to a browser's DevTools endpoint that carries whole messages.
class Transport
{
public:
    virtual ~Transport() = default;

    // Sends one message; false when the connection is gone (or broke mid-message).
    virtual bool send(std::string_view message, Deadline deadline) = 0;
    // Waits until a whole message has arrived or the deadline has passed.
    virtual ReceiveResult receive(std::string& message, Deadline deadline) = 0;
    // Whether the peer has gone away or the connection was closed.
    virtual bool closed() const = 0;
    // Closes the connection; later sends fail and receives report Closed.
    virtual void close() = 0;
};

// Makes SIGPIPE harmless for the whole program: a write to a browser that died
// reports EPIPE instead of ending the program.
void ignoreSigpipe();

} // namespace automation::chromium
