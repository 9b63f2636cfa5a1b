#pragma once

#include "automation/chromium/Transport.h"
#include "automation/local/WaitClock.h"

#include <string>

namespace automation::chromium {

// What reading from a descriptor gave.
enum class FdRead
{
    Data,
    Closed,
    Timeout
};

// Appends what the non-blocking fd has to buffer, waiting until the deadline of the
// clock while it has nothing; Closed at the end of the stream or on an error.
FdRead readInto(WaitClock& clock, int fd, std::string& buffer, Deadline deadline);

} // namespace automation::chromium
