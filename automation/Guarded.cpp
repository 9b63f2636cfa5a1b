#include "automation/Guarded.h"

#include <cstdio>

namespace automation {

void reportStopped(std::string_view what, const std::exception* failure) noexcept
{
    // stdio rather than a stream: nothing here allocates, so a handler that ran out of
    // memory can still be told about.
    const char* reason = failure ? failure->what() : "an exception of unknown type";
    std::fprintf(stderr, "tabulon: %.*s stopped: %s\n", static_cast<int>(what.size()), what.data(),
                 reason);
    std::fflush(stderr);
}

} // namespace automation
