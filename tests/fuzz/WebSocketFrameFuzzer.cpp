// The WebSocket frames a DevTools peer on loopback sends, read from any bytes.
//
// Input: one byte of options (how the bytes are cut into the pieces that arrive, and
// the message size limit), then the bytes.

#include "FuzzCheck.h"
#include "automation/chromium/WebSocketReader.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

using automation::chromium::webSocketFrame;
using automation::chromium::WebSocketReader;
using Item = WebSocketReader::Item;
using Items = std::vector<std::pair<Item, std::string>>;

namespace {

// Takes what the bytes so far hold; false once the stream has ended.
bool takeAll(WebSocketReader& reader, Items& items, std::size_t maxMessage)
{
    for (;;) {
        std::string payload;
        const Item item = reader.next(payload);
        if (item == Item::None)
            return true;
        if (item == Item::Message)
            fuzzCheck(payload.size() <= maxMessage, "a message is never above the limit");
        if (item == Item::Ping)
            fuzzCheck(payload.size() <= 125, "a ping is short");
        items.emplace_back(item, std::move(payload));
        if (item == Item::Broken || item == Item::Close) {
            std::string more;
            fuzzCheck(reader.next(more) == Item::Broken, "an ended stream stays ended");
            return false;
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const std::uint8_t options = data[0];
    const std::size_t maxMessage = options & 0x80 ? 300 : 1 << 20;
    const std::string_view stream(reinterpret_cast<const char*>(data + 1), size - 1);

    // The same bytes give the same messages whether they come at once or in pieces.
    Items whole;
    {
        WebSocketReader reader(maxMessage);
        reader.buffer().append(stream);
        takeAll(reader, whole, maxMessage);
    }
    Items pieces;
    {
        WebSocketReader reader(maxMessage);
        std::uint32_t cuts = options * 2654435761u + 1;
        for (std::size_t at = 0; at < stream.size();) {
            cuts = cuts * 1103515245u + 12345u;
            const std::size_t piece = 1 + (cuts >> 16) % (options & 1 ? 5 : 300);
            reader.buffer().append(stream.substr(at, piece));
            at += piece;
            if (!takeAll(reader, pieces, maxMessage))
                break;
        }
    }
    fuzzCheck(whole == pieces, "bytes in pieces read as the same bytes at once");

    // Messages as the program frames them (the bytes cut at each NUL), with a ping
    // after each, read back as themselves.
    std::vector<std::string> sent;
    std::string frames;
    for (std::size_t begin = 0;;) {
        const std::size_t end = stream.find('\0', begin);
        sent.emplace_back(stream.substr(begin, end - begin));
        frames += webSocketFrame(0x1, sent.back(), static_cast<std::uint32_t>(begin * 2654435761u));
        frames += webSocketFrame(0x9, sent.back().substr(0, 125), 0);
        if (end == std::string_view::npos)
            break;
        begin = end + 1;
    }
    WebSocketReader reader(1 << 20);
    reader.buffer() = frames;
    Items read;
    takeAll(reader, read, 1 << 20);
    fuzzCheck(read.size() == 2 * sent.size(), "every frame is read");
    for (std::size_t i = 0; i < sent.size(); ++i) {
        fuzzCheck(read[2 * i] == std::make_pair(Item::Message, sent[i]), "a message reads back");
        fuzzCheck(read[2 * i + 1] == std::make_pair(Item::Ping, sent[i].substr(0, 125)),
                  "a ping reads back");
    }
    return 0;
}
