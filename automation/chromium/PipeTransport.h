#pragma once

#include "automation/Limits.h"
#include "automation/chromium/Transport.h"
#include "automation/local/UniqueFd.h"

#include <cstddef>
#include <optional>
#include <string>

namespace automation::chromium {

// The browser's --remote-debugging-pipe: JSON messages, each ended by a NUL byte,
// written to one descriptor and read from another.
class PipeTransport : public Transport
{
public:
    // Waits are measured by the clock, which must outlive the transport. Messages
    // longer than maxMessage are refused.
    PipeTransport(UniqueFd readFd, UniqueFd writeFd, WaitClock& clock = WaitClock::steady(),
                  std::size_t maxMessage = kMaxMessage);
    ~PipeTransport() override;
    PipeTransport(const PipeTransport&) = delete;
    PipeTransport& operator=(const PipeTransport&) = delete;

    bool send(std::string_view message, Deadline deadline) override;
    ReceiveResult receive(std::string& message, Deadline deadline) override;
    bool closed() const override { return m_closed; }
    void close() override;

    // A longer message is refused and passed over up to its end; the connection
    // goes on (ending it would end the browser and every window it shows).
    static constexpr std::size_t kMaxMessage = limits::kMaxMessage;

private:
    std::optional<ReceiveResult> takeMessage(std::string& message);

    UniqueFd m_readFd;
    UniqueFd m_writeFd;
    WaitClock& m_clock;
    std::size_t m_maxMessage;
    bool m_closed = false;
    std::string m_buffer;
    std::size_t m_scanned = 0;
    // Inside a refused message: bytes up to its end are dropped.
    bool m_skipping = false;
};

} // namespace automation::chromium
