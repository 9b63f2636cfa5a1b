#include "automation/chromium/WebSocketTransport.h"

#include "automation/Error.h"
#include "automation/chromium/WebSocketReader.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using automation::chromium::connectWebSocket;
using automation::chromium::parseLoopbackAddress;
using automation::chromium::ReceiveResult;
using automation::chromium::webSocketAccept;
using automation::chromium::WebSocketReader;
using automation::chromium::WebSocketTransport;
using namespace std::chrono_literals;

namespace {

automation::chromium::Deadline soon(std::chrono::milliseconds ms = 2000ms)
{
    return std::chrono::steady_clock::now() + ms;
}

// A frame as a server sends it: not masked.
std::string serverFrame(unsigned opcode, const std::string& payload, bool fin = true)
{
    std::string frame;
    frame.push_back(static_cast<char>((fin ? 0x80 : 0) | opcode));
    if (payload.size() < 126) {
        frame.push_back(static_cast<char>(payload.size()));
    } else if (payload.size() <= 0xFFFF) {
        frame.push_back(126);
        frame.push_back(static_cast<char>(payload.size() >> 8));
        frame.push_back(static_cast<char>(payload.size() & 0xFF));
    } else {
        frame.push_back(127);
        for (int i = 7; i >= 0; --i)
            frame.push_back(
                static_cast<char>((static_cast<std::uint64_t>(payload.size()) >> (i * 8)) & 0xFF));
    }
    return frame + payload;
}

void writeAll(int fd, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        ASSERT_GT(n, 0);
        done += static_cast<std::size_t>(n);
    }
}

std::string readExactly(int fd, std::size_t size)
{
    std::string bytes(size, '\0');
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, bytes.data() + done, size - done);
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    bytes.resize(done);
    return bytes;
}

// Reads one client frame and returns its opcode and unmasked payload; fails the test
// when the frame is not masked.
std::pair<unsigned, std::string> readClientFrame(int fd)
{
    const std::string head = readExactly(fd, 2);
    EXPECT_EQ(head.size(), 2u);
    EXPECT_TRUE(static_cast<unsigned char>(head[1]) & 0x80) << "client frames are masked";
    std::uint64_t size = static_cast<unsigned char>(head[1]) & 0x7F;
    if (size == 126) {
        const std::string ext = readExactly(fd, 2);
        size = (static_cast<unsigned char>(ext[0]) << 8) | static_cast<unsigned char>(ext[1]);
    } else if (size == 127) {
        const std::string ext = readExactly(fd, 8);
        size = 0;
        for (char c : ext)
            size = (size << 8) | static_cast<unsigned char>(c);
    }
    const std::string mask = readExactly(fd, 4);
    std::string payload = readExactly(fd, static_cast<std::size_t>(size));
    for (std::size_t i = 0; i < payload.size(); ++i)
        payload[i] = static_cast<char>(payload[i] ^ mask[i % 4]);
    return {static_cast<unsigned char>(head[0]) & 0x0F, payload};
}

struct Socketpair : ::testing::Test
{
    int fds[2]{-1, -1};
    void SetUp() override { ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0); }
    void TearDown() override
    {
        if (fds[1] >= 0)
            ::close(fds[1]);
    }
};

} // namespace

TEST(WebSocketAddress, OnlyLoopbackAddressesAreAccepted)
{
    const auto local = parseLoopbackAddress("ws://127.0.0.1:9222/devtools/browser/abc");
    ASSERT_TRUE(local);
    EXPECT_EQ(local->host, "127.0.0.1");
    EXPECT_EQ(local->port, 9222);
    EXPECT_EQ(local->path, "/devtools/browser/abc");
    EXPECT_TRUE(parseLoopbackAddress("ws://localhost:1/x"));
    EXPECT_TRUE(parseLoopbackAddress("ws://127.8.9.10:80/x"));
    const auto six = parseLoopbackAddress("ws://[::1]:9222/x");
    ASSERT_TRUE(six);
    EXPECT_EQ(six->host, "::1");

    EXPECT_FALSE(parseLoopbackAddress("ws://10.0.0.1:9222/x"));
    EXPECT_FALSE(parseLoopbackAddress("ws://example.com:9222/x"));
    EXPECT_FALSE(parseLoopbackAddress("ws://128.0.0.1:9222/x"));
    EXPECT_FALSE(parseLoopbackAddress("wss://127.0.0.1:9222/x"));
    EXPECT_FALSE(parseLoopbackAddress("http://127.0.0.1:9222/x"));
    EXPECT_FALSE(parseLoopbackAddress("ws://127.0.0.1/x"));
    EXPECT_FALSE(parseLoopbackAddress("ws://127.0.0.1:99999/x"));
    EXPECT_FALSE(parseLoopbackAddress("ws://127.0.0.1:9222/x HTTP/1.1\r\nEvil: 1"));
    // Only literals: nothing a resolver would have to make sense of.
    for (const char* url :
         {"ws://127.1:9222/x", "ws://0x7f.0.0.1:9222/x", "ws://2130706433:9222/x",
          "ws://localhost.:9222/x", "ws://LOCALHOST:9222/x", "ws://[::ffff:127.0.0.1]:9222/x",
          "ws://[::2]:9222/x", "ws://127.0.0.1.example.com:9222/x"})
        EXPECT_FALSE(parseLoopbackAddress(url)) << url;
    EXPECT_TRUE(parseLoopbackAddress("ws://[0:0:0:0:0:0:0:1]:9222/x"));
    try {
        connectWebSocket("ws://192.168.1.1:9222/x", soon());
        ADD_FAILURE() << "connected";
    } catch (const automation::Error& error) {
        EXPECT_NE(std::string(error.what()).find("127.0.0.1, ::1 or localhost"), std::string::npos)
            << error.what();
    }
}

TEST(WebSocketAddress, AcceptKeyOfTheStandardsExample)
{
    EXPECT_EQ(webSocketAccept("dGhlIHNhbXBsZSBub25jZQ=="), "s3pPLMBiTxaQ9kYGzzhZRbK+xOo=");
}

TEST_F(Socketpair, MessagesOfEveryLengthFragmentsAndPings)
{
    WebSocketTransport transport(automation::UniqueFd{fds[0]}, serverFrame(0x1, "pending"));
    const std::string medium(300, 'm');
    const std::string large(70000, 'L');
    writeAll(fds[1], serverFrame(0x1, medium) + serverFrame(0x1, large) +
                         serverFrame(0x1, "frag", false) + serverFrame(0x9, "are you there") +
                         serverFrame(0x0, "ment"));
    std::string message;
    ASSERT_EQ(transport.receive(message, soon()), ReceiveResult::Message);
    EXPECT_EQ(message, "pending");
    ASSERT_EQ(transport.receive(message, soon()), ReceiveResult::Message);
    EXPECT_EQ(message, medium);
    ASSERT_EQ(transport.receive(message, soon()), ReceiveResult::Message);
    EXPECT_EQ(message, large);
    ASSERT_EQ(transport.receive(message, soon()), ReceiveResult::Message);
    EXPECT_EQ(message, "fragment");

    // The ping in the middle of the fragmented message was answered.
    const auto pong = readClientFrame(fds[1]);
    EXPECT_EQ(pong.first, 0xAu);
    EXPECT_EQ(pong.second, "are you there");

    EXPECT_EQ(transport.receive(message, soon(50ms)), ReceiveResult::Timeout);
}

TEST_F(Socketpair, SentMessagesAreMaskedTextFrames)
{
    WebSocketTransport transport(automation::UniqueFd{fds[0]}, {});
    const std::string large(70000, 'q');
    ASSERT_TRUE(transport.send("{\"id\":1}", soon()));
    std::thread sender([&] { EXPECT_TRUE(transport.send(large, soon())); });
    const auto first = readClientFrame(fds[1]);
    const auto second = readClientFrame(fds[1]);
    sender.join();
    EXPECT_EQ(first.first, 0x1u);
    EXPECT_EQ(first.second, "{\"id\":1}");
    EXPECT_EQ(second.second, large);
}

TEST_F(Socketpair, ACloseFrameOrAHangUpEndsTheConnection)
{
    WebSocketTransport transport(automation::UniqueFd{fds[0]}, {});
    writeAll(fds[1], serverFrame(0x8, ""));
    std::string message;
    EXPECT_EQ(transport.receive(message, soon()), ReceiveResult::Closed);
    EXPECT_TRUE(transport.closed());
    EXPECT_FALSE(transport.send("x", soon()));
}

TEST_F(Socketpair, AnAbsurdLengthIsRefusedNotAllocated)
{
    WebSocketTransport transport(automation::UniqueFd{fds[0]}, {});
    std::string frame = "\x81\x7f";
    frame += std::string("\x7f\xff\xff\xff\xff\xff\xff\xff", 8);
    writeAll(fds[1], frame);
    std::string message;
    EXPECT_EQ(transport.receive(message, soon()), ReceiveResult::Closed);
}

TEST_F(Socketpair, AControlFrameIsShortAndWhole)
{
    // A ping is answered with its payload, so a long one (or one in pieces) would
    // let the peer make the program write as much as it likes.
    for (const std::string& frame :
         {serverFrame(0x9, std::string(126, 'p')), serverFrame(0x9, "half", false)}) {
        int pair[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
        WebSocketTransport transport(automation::UniqueFd{pair[0]},
                                     frame + serverFrame(0x1, "after"));
        std::string message;
        EXPECT_EQ(transport.receive(message, soon()), ReceiveResult::Closed);
        ::close(pair[1]);
    }
}

TEST(WebSocketReader, BytesInPiecesReadAsTheSameBytesAtOnce)
{
    std::string stream;
    for (int i = 0; i < 300; ++i)
        stream += serverFrame(0x1, std::to_string(i)) + serverFrame(0xA, "");
    stream += serverFrame(0x1, std::string(70000, 'L'), false) + serverFrame(0x9, "ping") +
              serverFrame(0x0, "end") + serverFrame(0x8, "");
    using Items = std::vector<std::pair<WebSocketReader::Item, std::string>>;
    const auto readAll = [](WebSocketReader& reader, Items& items) {
        for (;;) {
            std::string payload;
            const auto item = reader.next(payload);
            if (item == WebSocketReader::Item::None)
                return;
            items.emplace_back(item, payload);
            if (item == WebSocketReader::Item::Close || item == WebSocketReader::Item::Broken)
                return;
        }
    };
    WebSocketReader whole(1 << 20);
    whole.buffer() = stream;
    Items atOnce;
    readAll(whole, atOnce);
    ASSERT_EQ(atOnce.size(), 303u);
    EXPECT_EQ(atOnce[299].second, "299");
    EXPECT_EQ(atOnce[300].first, WebSocketReader::Item::Ping);
    EXPECT_EQ(atOnce[301].second, std::string(70000, 'L') + "end");
    EXPECT_EQ(atOnce[302].first, WebSocketReader::Item::Close);

    for (const std::size_t piece : {1u, 3u, 1000u}) {
        WebSocketReader reader(1 << 20);
        Items inPieces;
        for (std::size_t at = 0; at < stream.size(); at += piece) {
            reader.buffer() += stream.substr(at, piece);
            readAll(reader, inPieces);
        }
        EXPECT_EQ(inPieces, atOnce) << "in pieces of " << piece;
    }
}

TEST(WebSocketHandshake, ConnectsToALoopbackServerAndChecksItsAnswer)
{
    for (const bool honest : {true, false}) {
        const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ASSERT_EQ(::listen(listener, 1), 0);
        socklen_t length = sizeof address;
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
        const int port = ntohs(address.sin_port);

        std::string request;
        std::thread server([&] {
            const int fd = ::accept(listener, nullptr, nullptr);
            char c;
            while (request.find("\r\n\r\n") == std::string::npos && ::read(fd, &c, 1) == 1)
                request.push_back(c);
            const std::string marker = "Sec-WebSocket-Key: ";
            const auto at = request.find(marker) + marker.size();
            const std::string key = request.substr(at, request.find("\r\n", at) - at);
            const std::string accept = honest ? webSocketAccept(key) : webSocketAccept(key + "x");
            writeAll(fd, "HTTP/1.1 101 WebSocket Protocol Handshake\r\nUpgrade: websocket\r\n"
                         "Connection: Upgrade\r\nSec-WebSocket-Accept: " +
                             accept + "\r\n\r\n" + serverFrame(0x1, R"({"method":"hello"})"));
            std::this_thread::sleep_for(100ms);
            ::close(fd);
        });
        // localhost is the loopback address itself, found without a resolver.
        const std::string url = std::string(honest ? "ws://localhost:" : "ws://127.0.0.1:") +
                                std::to_string(port) + "/devtools/browser/x";
        if (honest) {
            auto transport = connectWebSocket(url, soon());
            std::string message;
            ASSERT_EQ(transport->receive(message, soon()), ReceiveResult::Message);
            EXPECT_EQ(message, "{\"method\":\"hello\"}");
        } else {
            EXPECT_THROW(connectWebSocket(url, soon()), automation::Error);
        }
        server.join();
        ::close(listener);
        EXPECT_EQ(request.rfind("GET /devtools/browser/x HTTP/1.1\r\n", 0), 0u);
        EXPECT_NE(request.find("Upgrade: websocket"), std::string::npos);
    }
}
