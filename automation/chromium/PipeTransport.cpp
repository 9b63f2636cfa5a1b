#include "automation/chromium/PipeTransport.h"

#include "automation/chromium/FdWait.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <unistd.h>

namespace automation::chromium {

PipeTransport::PipeTransport(UniqueFd readFd, UniqueFd writeFd, WaitClock& clock,
                             std::size_t maxMessage)
    : m_readFd(std::move(readFd)), m_writeFd(std::move(writeFd)), m_clock(clock),
      m_maxMessage(maxMessage)
{
    ignoreSigpipe();
    setNonBlocking(m_readFd.get());
    setNonBlocking(m_writeFd.get());
}

PipeTransport::~PipeTransport()
{
    close();
}

void PipeTransport::close()
{
    m_readFd.reset();
    m_writeFd.reset();
    m_closed = true;
}

bool PipeTransport::send(std::string_view message, Deadline deadline)
{
    if (m_closed)
        return false;
    std::string framed(message);
    framed.push_back('\0');
    std::size_t done = 0;
    while (done < framed.size()) {
        const ssize_t n = ::write(m_writeFd.get(), framed.data() + done, framed.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) &&
            m_clock.waitFd(m_writeFd.get(), POLLOUT, deadline) == FdReady::Ready)
            continue;
        // EPIPE: the browser is gone. A message cut short would garble every later
        // one, so a write that runs out of time ends the connection as well.
        close();
        return false;
    }
    return true;
}

std::optional<ReceiveResult> PipeTransport::takeMessage(std::string& message)
{
    if (m_skipping) {
        const auto end = m_buffer.find('\0');
        if (end == std::string::npos) {
            m_buffer.clear();
            return std::nullopt;
        }
        m_buffer.erase(0, end + 1);
        m_skipping = false;
        m_scanned = 0;
    }
    const auto end = m_buffer.find('\0', m_scanned);
    if (end == std::string::npos) {
        m_scanned = m_buffer.size();
        if (m_buffer.size() <= m_maxMessage)
            return std::nullopt;
        // Too long already, and not over yet: hand on its head, drop the rest as it comes.
        message.assign(m_buffer, 0, kRefusedHead);
        m_buffer.clear();
        m_scanned = 0;
        m_skipping = true;
        return ReceiveResult::Oversized;
    }
    const bool tooLong = end > m_maxMessage;
    message.assign(m_buffer, 0, tooLong ? kRefusedHead : end);
    m_buffer.erase(0, end + 1);
    m_scanned = 0;
    return tooLong ? ReceiveResult::Oversized : ReceiveResult::Message;
}

ReceiveResult PipeTransport::receive(std::string& message, Deadline deadline)
{
    for (;;) {
        if (const auto taken = takeMessage(message))
            return *taken;
        if (m_closed)
            return ReceiveResult::Closed;
        switch (readInto(m_clock, m_readFd.get(), m_buffer, deadline)) {
        case FdRead::Data:
            break;
        case FdRead::Timeout:
            return ReceiveResult::Timeout;
        case FdRead::Closed:
            close();
            return ReceiveResult::Closed;
        }
    }
}

} // namespace automation::chromium
