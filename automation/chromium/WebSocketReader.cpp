#include "automation/chromium/WebSocketReader.h"

namespace automation::chromium {

std::string webSocketFrame(unsigned opcode, std::string_view payload, std::uint32_t mask)
{
    std::string frame;
    frame.reserve(payload.size() + 14);
    frame.push_back(static_cast<char>(0x80 | (opcode & 0x0F)));
    const std::size_t size = payload.size();
    if (size < 126) {
        frame.push_back(static_cast<char>(0x80 | size));
    } else if (size <= 0xFFFF) {
        frame.push_back(static_cast<char>(0x80 | 126));
        frame.push_back(static_cast<char>(size >> 8));
        frame.push_back(static_cast<char>(size & 0xFF));
    } else {
        frame.push_back(static_cast<char>(0x80 | 127));
        for (int i = 7; i >= 0; --i)
            frame.push_back(
                static_cast<char>((static_cast<std::uint64_t>(size) >> (i * 8)) & 0xFF));
    }
    const char key[4] = {static_cast<char>(mask >> 24), static_cast<char>(mask >> 16),
                         static_cast<char>(mask >> 8), static_cast<char>(mask)};
    frame.append(key, 4);
    for (std::size_t i = 0; i < size; ++i)
        frame.push_back(static_cast<char>(payload[i] ^ key[i % 4]));
    return frame;
}

WebSocketReader::Item WebSocketReader::next(std::string& payload)
{
    // The bytes of frames already taken are dropped once they are half the buffer,
    // not one frame at a time: a burst of small frames costs time in proportion to
    // its size.
    const auto compact = [&] {
        if (m_taken >= m_buffer.size() - m_taken) {
            m_buffer.erase(0, m_taken);
            m_taken = 0;
        }
    };
    for (;;) {
        if (m_broken)
            return Item::Broken;
        const std::size_t available = m_buffer.size() - m_taken;
        if (available < 2) {
            compact();
            return Item::None;
        }
        const auto byte = [&](std::size_t i) {
            return static_cast<std::uint8_t>(m_buffer[m_taken + i]);
        };
        const bool fin = byte(0) & 0x80;
        const unsigned opcode = byte(0) & 0x0F;
        const bool masked = byte(1) & 0x80;
        std::uint64_t size = byte(1) & 0x7F;
        std::size_t header = 2;
        if (size == 126) {
            if (available < 4) {
                compact();
                return Item::None;
            }
            size = (byte(2) << 8) | byte(3);
            header = 4;
        } else if (size == 127) {
            if (available < 10) {
                compact();
                return Item::None;
            }
            size = 0;
            for (std::size_t i = 0; i < 8; ++i)
                size = (size << 8) | byte(2 + i);
            header = 10;
        }
        // A control frame is short and never fragmented, so answering a ping costs
        // little whatever the peer sends.
        const bool control = opcode >= 0x8;
        if (size > m_maxMessage || m_partial.size() + size > m_maxMessage ||
            (control && (size > 125 || !fin))) {
            m_broken = true;
            return Item::Broken;
        }
        const std::size_t maskAt = header;
        if (masked)
            header += 4;
        if (available < header + size) {
            compact();
            return Item::None;
        }
        std::string data = m_buffer.substr(m_taken + header, static_cast<std::size_t>(size));
        if (masked) {
            for (std::size_t i = 0; i < data.size(); ++i)
                data[i] = static_cast<char>(data[i] ^ m_buffer[m_taken + maskAt + i % 4]);
        }
        m_taken += header + static_cast<std::size_t>(size);
        switch (opcode) {
        case 0x0: // continuation
            if (!m_inMessage) {
                m_broken = true;
                return Item::Broken;
            }
            m_partial += data;
            break;
        case 0x1:
        case 0x2:
            if (m_inMessage) {
                m_broken = true;
                return Item::Broken;
            }
            m_partial = std::move(data);
            m_inMessage = true;
            break;
        case 0x8:
            compact();
            m_broken = true;
            return Item::Close;
        case 0x9:
            compact();
            payload = std::move(data);
            return Item::Ping;
        case 0xA:
            continue;
        default:
            m_broken = true;
            return Item::Broken;
        }
        if (fin) {
            compact();
            payload = std::move(m_partial);
            m_partial.clear();
            m_inMessage = false;
            return Item::Message;
        }
    }
}

} // namespace automation::chromium
