#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace automation::bridge {

// Native messaging's framing, used on every hop of the bridge: a 4-byte length in the
// machine's byte order, then that many bytes of UTF-8 JSON.
inline constexpr std::size_t kFrameHeader = 4;
// Browsers send their host messages of up to 64 MiB and take at most 1 MiB back.
inline constexpr std::size_t kMaxFromBrowser = 64u << 20;
inline constexpr std::size_t kMaxToBrowser = 1u << 20;

// What the front of a byte buffer holds.
struct FrameParse
{
    enum class Kind
    {
        NeedMore,  // not yet a whole frame
        Message,   // a whole frame: header, then `length` bytes
        Oversized, // a header announcing more than the limit
        Empty,     // a header announcing nothing
    };
    Kind kind = Kind::NeedMore;
    std::size_t length = 0;
};

// Reads the frame at the front of bytes against a limit.
FrameParse parseFrame(std::string_view bytes, std::size_t limit);

// The frame for a message, or nothing when the message is empty or over the limit.
std::optional<std::string> encodeFrame(std::string_view message, std::size_t limit);

// Cuts a byte stream into messages. A frame that is empty or over the limit is
// skipped whole, without keeping its bytes, and counted; the stream goes on after it.
class FrameReader
{
public:
    explicit FrameReader(std::size_t limit) : m_limit(limit) {}

    // Takes the next bytes of the stream.
    void feed(std::string_view bytes);
    // The next whole message, if one has arrived.
    std::optional<std::string> next();
    // How many frames were skipped so far.
    std::size_t skipped() const { return m_skipped; }
    // Bytes held for a message not yet whole.
    std::size_t pending() const { return m_buffer.size() - m_start; }

private:
    void compact();

    std::size_t m_limit;
    std::string m_buffer;
    std::size_t m_start = 0;
    std::uint64_t m_skipping = 0;
    std::size_t m_skipped = 0;
};

} // namespace automation::bridge
