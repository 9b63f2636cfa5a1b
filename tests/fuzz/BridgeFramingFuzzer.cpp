// The browser bridge's native-messaging frames (a 4-byte length, then the message),
// read from any bytes arriving in pieces of any size.
//
// Input: one byte that sets the size limit and how the bytes are cut into the pieces
// that arrive, then the bytes.

#include "FuzzCheck.h"
#include "automation/bridge/Framing.h"

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

using namespace automation::bridge;

namespace {

struct Taken
{
    std::vector<std::string> messages;
    std::size_t skipped = 0;
};

// What the stream holds, read the plain way: every whole frame in order, an empty or
// oversized one skipped (an oversized one counts as soon as its header is there).
Taken expectedOf(std::string_view stream, std::size_t limit)
{
    Taken t;
    std::size_t at = 0;
    while (stream.size() - at >= kFrameHeader) {
        std::uint32_t length = 0;
        std::memcpy(&length, stream.data() + at, kFrameHeader);
        const std::size_t body = stream.size() - at - kFrameHeader;
        if (length == 0 || length > limit) {
            ++t.skipped;
            if (body < length)
                break;
        } else if (body < length) {
            break;
        } else {
            t.messages.emplace_back(stream.substr(at + kFrameHeader, length));
        }
        at += kFrameHeader + length;
    }
    return t;
}

// Takes every message that has arrived.
void takeArrived(FrameReader& reader, Taken& taken, std::size_t limit)
{
    while (const auto message = reader.next()) {
        fuzzCheck(!message->empty() && message->size() <= limit,
                  "a message is never empty and never above the limit");
        taken.messages.push_back(*message);
    }
    fuzzCheck(reader.pending() < kFrameHeader + limit,
              "no more is held than the frame that has not yet arrived whole");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const std::size_t limits[] = {kMaxFromBrowser, kMaxToBrowser, 300, 1};
    const std::size_t limit = limits[data[0] & 3];
    std::uint32_t cuts = data[0] * 2654435761u + 1;
    const std::string_view stream(reinterpret_cast<const char*>(data + 1), size - 1);

    Taken taken;
    FrameReader reader(limit);
    for (std::size_t at = 0; at < stream.size();) {
        cuts = cuts * 1103515245u + 12345u;
        const std::size_t piece = 1 + (cuts >> 16) % (data[0] & 4 ? 5 : 2048);
        reader.feed(stream.substr(at, piece));
        at += piece;
        takeArrived(reader, taken, limit);
    }
    taken.skipped = reader.skipped();

    const Taken expected = expectedOf(stream, limit);
    fuzzCheck(taken.messages == expected.messages,
              "the messages are the whole frames' bodies, in order, whatever the pieces");
    fuzzCheck(taken.skipped == expected.skipped, "every empty or oversized frame is counted");

    // What is read is written back as the same frame, and read again unchanged.
    for (const std::string& message : taken.messages) {
        const std::optional<std::string> frame = encodeFrame(message, limit);
        fuzzCheck(frame.has_value(), "a message that was read can be written");
        const FrameParse parse = parseFrame(*frame, limit);
        fuzzCheck(parse.kind == FrameParse::Kind::Message && parse.length == message.size() &&
                      frame->substr(kFrameHeader) == message,
                  "a written frame reads back as its message");
    }
    return 0;
}
