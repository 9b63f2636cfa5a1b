#pragma once

#include "automation/Limits.h"
#include "automation/chromium/Transport.h"
#include "automation/chromium/WebSocketReader.h"
#include "automation/local/UniqueFd.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace automation::chromium {

// The parts of a ws:// address.
struct WebSocketAddress
{
    std::string host;
    std::uint16_t port = 0;
    std::string path;
};

// Parses ws://HOST:PORT/PATH; nothing for another scheme, a missing port or a host
// that is not on this machine (127.0.0.0/8, ::1, localhost): the program speaks to
// a browser on loopback only.
std::optional<WebSocketAddress> parseLoopbackAddress(const std::string& url);

// The Sec-WebSocket-Accept value the server must answer a key with.
std::string webSocketAccept(const std::string& key);

// A WebSocket client over TCP: text messages, masked as a client must; pings are
// answered, and a close frame ends the connection.
class WebSocketTransport : public Transport
{
public:
    // Takes a connected socket whose handshake is done; bytes already read past the
    // handshake come along. Waits are measured by the clock, which must outlive the
    // transport.
    WebSocketTransport(UniqueFd fd, std::string pending, WaitClock& clock = WaitClock::steady());
    ~WebSocketTransport() override;
    WebSocketTransport(const WebSocketTransport&) = delete;
    WebSocketTransport& operator=(const WebSocketTransport&) = delete;

    bool send(std::string_view message, Deadline deadline) override;
    ReceiveResult receive(std::string& message, Deadline deadline) override;
    bool closed() const override { return m_closed; }
    void close() override;

    // A longer message ends the connection: a browser the program did not start is
    // only let go, and attached again at the next try.
    static constexpr std::size_t kMaxMessage = limits::kMaxMessage;

private:
    bool sendFrame(unsigned opcode, std::string_view payload, Deadline deadline);

    UniqueFd m_fd;
    WaitClock& m_clock;
    bool m_closed = false;
    WebSocketReader m_reader{kMaxMessage};
};

// Connects to a browser's DevTools address on loopback and does the handshake;
// raises automation::Error("createBrowser") on any failure.
std::unique_ptr<Transport> connectWebSocket(const std::string& url, Deadline deadline,
                                            WaitClock& clock = WaitClock::steady());

} // namespace automation::chromium
