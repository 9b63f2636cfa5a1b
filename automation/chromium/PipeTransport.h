#pragma once

#include "automation/chromium/Transport.h"

#include <cstddef>
#include <string>

namespace automation::chromium {

// The browser's --remote-debugging-pipe: JSON messages, each ended by a NUL byte,
// written to one descriptor and read from another.
class PipeTransport : public Transport
{
public:
    // Takes ownership of both descriptors.
    PipeTransport(int readFd, int writeFd);
    ~PipeTransport() override;
    PipeTransport(const PipeTransport&) = delete;
    PipeTransport& operator=(const PipeTransport&) = delete;

    bool send(std::string_view message, Deadline deadline) override;
    ReceiveResult receive(std::string& message, Deadline deadline) override;
    bool closed() const override { return m_closed; }
    void close() override;

    // A message longer than this ends the connection: the peer is not a browser.
    static constexpr std::size_t kMaxMessage = 256u << 20;

private:
    bool takeMessage(std::string& message);

    int m_readFd;
    int m_writeFd;
    bool m_closed = false;
    std::string m_buffer;
    std::size_t m_scanned = 0;
};

} // namespace automation::chromium
