// The browser's pipe: NUL-ended messages arriving in pieces of any size.
//
// Input: one byte that sets how the bytes are cut into the pieces the program reads
// and the size above which a message is refused, then the bytes the browser writes.

#include "FuzzCheck.h"
#include "automation/chromium/PipeTransport.h"

#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <unistd.h>
#include <utility>
#include <vector>

using namespace automation::chromium;

namespace {

void writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        fuzzCheck(n > 0, "the pipe takes a piece");
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

using Messages = std::vector<std::pair<ReceiveResult, std::string>>;

// Takes every message that has arrived, without waiting.
void takeArrived(PipeTransport& pipe, Messages& messages)
{
    std::string message;
    for (;;) {
        const ReceiveResult got = pipe.receive(message, std::chrono::steady_clock::now());
        if (got != ReceiveResult::Message && got != ReceiveResult::Oversized) {
            fuzzCheck(got == ReceiveResult::Timeout, "an open pipe with nothing whole waits");
            return;
        }
        messages.emplace_back(got, message);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1 || size > 60000) // the pipe holds a piece without a reader
        return 0;
    std::uint32_t cuts = data[0] * 2654435761u + 1;
    const std::size_t limits[] = {PipeTransport::kMaxMessage, kRefusedHead, 1000, 300};
    const std::size_t maxMessage = limits[(data[0] >> 1) & 3];
    const std::string_view stream(reinterpret_cast<const char*>(data + 1), size - 1);

    int toProgram[2];
    const int sink = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    fuzzCheck(sink >= 0 && ::pipe2(toProgram, O_CLOEXEC) == 0, "a pipe is made");
    Messages messages;
    {
        PipeTransport pipe(automation::UniqueFd(toProgram[0]), automation::UniqueFd(sink),
                           automation::WaitClock::steady(), maxMessage);
        for (std::size_t at = 0; at < stream.size();) {
            cuts = cuts * 1103515245u + 12345u;
            const std::size_t piece = 1 + (cuts >> 16) % (data[0] & 1 ? 7 : 4096);
            writeAll(toProgram[1], stream.substr(at, piece));
            at += piece;
            takeArrived(pipe, messages);
        }
        ::close(toProgram[1]);
        std::string message;
        for (;;) {
            const ReceiveResult got = pipe.receive(message, std::chrono::steady_clock::now());
            if (got == ReceiveResult::Closed)
                break;
            fuzzCheck(got == ReceiveResult::Message || got == ReceiveResult::Oversized,
                      "a closed pipe gives its messages, then Closed");
            messages.emplace_back(got, message);
        }
        fuzzCheck(pipe.closed(), "the end of the pipe closes the connection");
        fuzzCheck(pipe.receive(message, std::chrono::steady_clock::now()) == ReceiveResult::Closed,
                  "a closed connection stays closed");
        fuzzCheck(!pipe.send("{}", std::chrono::steady_clock::now()),
                  "a closed connection sends nothing");
    }

    // Every NUL ends one message; what follows the last NUL never arrives whole. A
    // message above the limit is refused, its head handed on, and the next one comes
    // as ever, even when the refused one never ends.
    Messages expected;
    for (std::size_t begin = 0;;) {
        const std::size_t end = stream.find('\0', begin);
        const std::string_view message = stream.substr(begin, end - begin);
        if (message.size() > maxMessage)
            expected.emplace_back(ReceiveResult::Oversized, message.substr(0, kRefusedHead));
        else if (end != std::string_view::npos)
            expected.emplace_back(ReceiveResult::Message, message);
        if (end == std::string_view::npos)
            break;
        begin = end + 1;
    }
    fuzzCheck(messages == expected, "the messages are the bytes between the NULs, in order");
    return 0;
}
