#include "automation/bridge/Framing.h"

#include <algorithm>
#include <cstring>

namespace automation::bridge {

FrameParse parseFrame(std::string_view bytes, std::size_t limit)
{
    if (bytes.size() < kFrameHeader)
        return {};
    std::uint32_t length = 0;
    std::memcpy(&length, bytes.data(), kFrameHeader);
    if (length == 0)
        return {FrameParse::Kind::Empty, 0};
    if (length > limit)
        return {FrameParse::Kind::Oversized, length};
    if (bytes.size() - kFrameHeader < length)
        return {FrameParse::Kind::NeedMore, length};
    return {FrameParse::Kind::Message, length};
}

std::optional<std::string> encodeFrame(std::string_view message, std::size_t limit)
{
    if (message.empty() || message.size() > limit || message.size() > UINT32_MAX)
        return std::nullopt;
    const auto length = static_cast<std::uint32_t>(message.size());
    std::string frame(kFrameHeader, '\0');
    std::memcpy(frame.data(), &length, kFrameHeader);
    frame.append(message);
    return frame;
}

void FrameReader::feed(std::string_view bytes)
{
    if (m_skipping > 0) {
        const auto drop = std::min<std::uint64_t>(m_skipping, bytes.size());
        m_skipping -= drop;
        bytes.remove_prefix(static_cast<std::size_t>(drop));
    }
    m_buffer.append(bytes);
}

std::optional<std::string> FrameReader::next()
{
    for (;;) {
        const std::string_view rest = std::string_view(m_buffer).substr(m_start);
        const FrameParse frame = parseFrame(rest, m_limit);
        switch (frame.kind) {
        case FrameParse::Kind::NeedMore:
            compact();
            return std::nullopt;
        case FrameParse::Kind::Message: {
            std::string message(rest.substr(kFrameHeader, frame.length));
            m_start += kFrameHeader + frame.length;
            compact();
            return message;
        }
        case FrameParse::Kind::Empty:
            m_start += kFrameHeader;
            ++m_skipped;
            break;
        case FrameParse::Kind::Oversized: {
            // Drop what has arrived of it; feed() drops the rest as it comes.
            const std::uint64_t body = frame.length;
            const std::size_t here =
                static_cast<std::size_t>(std::min<std::uint64_t>(body, rest.size() - kFrameHeader));
            m_start += kFrameHeader + here;
            m_skipping = body - here;
            ++m_skipped;
            break;
        }
        }
    }
}

void FrameReader::compact()
{
    // Keep the buffer from growing without end while messages are taken one by one.
    if (m_start == m_buffer.size()) {
        m_buffer.clear();
        m_start = 0;
    } else if (m_start > 65536 && m_start > m_buffer.size() / 2) {
        m_buffer.erase(0, m_start);
        m_start = 0;
    }
}

} // namespace automation::bridge
