#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace automation::chromium {

// A frame as a client sends it: final, masked with the four bytes of mask.
std::string webSocketFrame(unsigned opcode, std::string_view payload, std::uint32_t mask);

// The receiving half of a WebSocket connection, without the socket: bytes go in as
// they arrive; whole messages and the control frames to answer come out.
class WebSocketReader
{
public:
    enum class Item
    {
        None,    // nothing whole yet: more bytes are needed
        Message, // a text or binary message, its fragments joined
        Ping,    // a ping, to be answered with its payload
        Close,   // the peer closes the connection
        Broken   // the bytes cannot be a WebSocket stream; nothing more is read
    };

    // A message (its fragments together) longer than maxMessage breaks the stream.
    explicit WebSocketReader(std::size_t maxMessage) : m_maxMessage(maxMessage) {}

    // Where the bytes received go, appended as they arrive.
    std::string& buffer() { return m_buffer; }
    // Takes the next item off the bytes received; payload gets a message's text or a
    // ping's payload.
    Item next(std::string& payload);

private:
    std::size_t m_maxMessage;
    std::string m_buffer;
    std::size_t m_taken = 0; // the bytes at the front of m_buffer already taken
    std::string m_partial;
    bool m_inMessage = false;
    bool m_broken = false;
};

} // namespace automation::chromium
