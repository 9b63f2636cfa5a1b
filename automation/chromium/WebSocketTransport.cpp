#include "automation/chromium/WebSocketTransport.h"

#include "automation/Error.h"
#include "automation/chromium/FdWait.h"

#include <arpa/inet.h>
#include <array>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <random>
#include <sys/socket.h>
#include <unistd.h>

namespace automation::chromium {

namespace {

std::array<std::uint8_t, 20> sha1(const std::string& input)
{
    std::uint32_t h[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
    std::string data = input;
    const std::uint64_t bits = static_cast<std::uint64_t>(input.size()) * 8;
    data.push_back(static_cast<char>(0x80));
    while (data.size() % 64 != 56)
        data.push_back('\0');
    for (int i = 7; i >= 0; --i)
        data.push_back(static_cast<char>((bits >> (i * 8)) & 0xFF));
    auto rotl = [](std::uint32_t v, int n) { return (v << n) | (v >> (32 - n)); };
    for (std::size_t chunk = 0; chunk < data.size(); chunk += 64) {
        std::uint32_t w[80];
        for (std::size_t i = 0; i < 16; ++i) {
            w[i] = 0;
            for (std::size_t j = 0; j < 4; ++j)
                w[i] = (w[i] << 8) | static_cast<std::uint8_t>(data[chunk + i * 4 + j]);
        }
        for (int i = 16; i < 80; ++i)
            w[i] = rotl(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
        std::uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
        for (int i = 0; i < 80; ++i) {
            std::uint32_t f, k;
            if (i < 20) {
                f = (b & c) | (~b & d);
                k = 0x5A827999;
            } else if (i < 40) {
                f = b ^ c ^ d;
                k = 0x6ED9EBA1;
            } else if (i < 60) {
                f = (b & c) | (b & d) | (c & d);
                k = 0x8F1BBCDC;
            } else {
                f = b ^ c ^ d;
                k = 0xCA62C1D6;
            }
            const std::uint32_t t = rotl(a, 5) + f + e + k + w[i];
            e = d;
            d = c;
            c = rotl(b, 30);
            b = a;
            a = t;
        }
        h[0] += a;
        h[1] += b;
        h[2] += c;
        h[3] += d;
        h[4] += e;
    }
    std::array<std::uint8_t, 20> digest{};
    for (std::size_t i = 0; i < 5; ++i)
        for (std::size_t j = 0; j < 4; ++j)
            digest[i * 4 + j] = static_cast<std::uint8_t>(h[i] >> (24 - j * 8));
    return digest;
}

std::string base64(const std::uint8_t* bytes, std::size_t size)
{
    static const char* table = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < size; i += 3) {
        const std::uint32_t n = (bytes[i] << 16) | (i + 1 < size ? bytes[i + 1] << 8 : 0) |
                                (i + 2 < size ? bytes[i + 2] : 0);
        out.push_back(table[(n >> 18) & 63]);
        out.push_back(table[(n >> 12) & 63]);
        out.push_back(i + 1 < size ? table[(n >> 6) & 63] : '=');
        out.push_back(i + 2 < size ? table[n & 63] : '=');
    }
    return out;
}

std::mt19937& randomBytes()
{
    static std::mt19937 engine{std::random_device{}()};
    return engine;
}

// A loopback literal as a socket address. "localhost" is taken for 127.0.0.1 without
// asking a resolver, which could wait on the network or name another machine.
bool loopbackSocket(const std::string& host, std::uint16_t port, sockaddr_storage& address,
                    socklen_t& length)
{
    address = {};
    auto* v4 = reinterpret_cast<sockaddr_in*>(&address);
    const std::string literal = host == "localhost" ? "127.0.0.1" : host;
    if (::inet_pton(AF_INET, literal.c_str(), &v4->sin_addr) == 1) {
        if ((ntohl(v4->sin_addr.s_addr) >> 24) != 127)
            return false;
        v4->sin_family = AF_INET;
        v4->sin_port = htons(port);
        length = sizeof(sockaddr_in);
        return true;
    }
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&address);
    if (::inet_pton(AF_INET6, literal.c_str(), &v6->sin6_addr) == 1 &&
        IN6_IS_ADDR_LOOPBACK(&v6->sin6_addr)) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(port);
        length = sizeof(sockaddr_in6);
        return true;
    }
    return false;
}

bool writeAll(WaitClock& clock, int fd, std::string_view bytes, Deadline deadline)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) &&
            clock.waitFd(fd, POLLOUT, deadline) == FdReady::Ready)
            continue;
        return false;
    }
    return true;
}

} // namespace

std::string webSocketAccept(const std::string& key)
{
    const auto digest = sha1(key + "258EAFA5-E914-47DA-95CA-C5AB0DC85B11");
    return base64(digest.data(), digest.size());
}

std::optional<WebSocketAddress> parseLoopbackAddress(const std::string& url)
{
    const std::string scheme = "ws://";
    if (url.rfind(scheme, 0) != 0)
        return std::nullopt;
    const std::string rest = url.substr(scheme.size());
    const auto slash = rest.find('/');
    const std::string authority = rest.substr(0, slash);
    WebSocketAddress address;
    address.path = slash == std::string::npos ? "/" : rest.substr(slash);
    std::string port;
    if (!authority.empty() && authority.front() == '[') {
        const auto close = authority.find(']');
        if (close == std::string::npos || authority.compare(close + 1, 1, ":") != 0)
            return std::nullopt;
        address.host = authority.substr(1, close - 1);
        port = authority.substr(close + 2);
    } else {
        const auto colon = authority.rfind(':');
        if (colon == std::string::npos)
            return std::nullopt;
        address.host = authority.substr(0, colon);
        port = authority.substr(colon + 1);
    }
    if (port.empty() || port.size() > 5 ||
        port.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const unsigned long number = std::stoul(port);
    sockaddr_storage socket{};
    socklen_t length = 0;
    if (number == 0 || number > 65535 ||
        !loopbackSocket(address.host, static_cast<std::uint16_t>(number), socket, length))
        return std::nullopt;
    // Nothing may ride along into the request line.
    if (address.path.find_first_of(" \r\n") != std::string::npos)
        return std::nullopt;
    address.port = static_cast<std::uint16_t>(number);
    return address;
}

WebSocketTransport::WebSocketTransport(UniqueFd fd, std::string pending, WaitClock& clock)
    : m_fd(std::move(fd)), m_clock(clock)
{
    m_reader.buffer() = std::move(pending);
    ignoreSigpipe();
    setNonBlocking(m_fd.get());
}

WebSocketTransport::~WebSocketTransport()
{
    close();
}

void WebSocketTransport::close()
{
    m_fd.reset();
    m_closed = true;
}

bool WebSocketTransport::sendFrame(unsigned opcode, std::string_view payload, Deadline deadline)
{
    if (m_closed)
        return false;
    if (!writeAll(m_clock, m_fd.get(), webSocketFrame(opcode, payload, randomBytes()()),
                  deadline)) {
        close();
        return false;
    }
    return true;
}

bool WebSocketTransport::send(std::string_view message, Deadline deadline)
{
    return sendFrame(0x1, message, deadline);
}

ReceiveResult WebSocketTransport::receive(std::string& message, Deadline deadline)
{
    for (;;) {
        std::string payload;
        switch (m_reader.next(payload)) {
        case WebSocketReader::Item::Message:
            message = std::move(payload);
            return ReceiveResult::Message;
        case WebSocketReader::Item::Ping:
            sendFrame(0xA, payload, m_clock.now() + std::chrono::seconds(1));
            continue;
        case WebSocketReader::Item::Close:
            sendFrame(0x8, {}, m_clock.now() + std::chrono::milliseconds(100));
            close();
            return ReceiveResult::Closed;
        case WebSocketReader::Item::Broken:
            close();
            return ReceiveResult::Closed;
        case WebSocketReader::Item::None:
            break;
        }
        if (m_closed)
            return ReceiveResult::Closed;
        const FdRead got = readInto(m_clock, m_fd.get(), m_reader.buffer(), deadline);
        if (got == FdRead::Timeout)
            return ReceiveResult::Timeout;
        if (got == FdRead::Closed) {
            close();
            return ReceiveResult::Closed;
        }
    }
}

std::unique_ptr<Transport> connectWebSocket(const std::string& url, Deadline deadline,
                                            WaitClock& clock)
{
    ignoreSigpipe();
    const auto address = parseLoopbackAddress(url);
    if (!address)
        throw Error("createBrowser",
                    "the browser's address must be ws://HOST:PORT/PATH with HOST 127.0.0.1, ::1 "
                    "or localhost, not " +
                        url);
    sockaddr_storage target{};
    socklen_t targetLength = 0;
    loopbackSocket(address->host, address->port, target, targetLength);
    const std::string port = std::to_string(address->port);
    UniqueFd socket(::socket(target.ss_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    const int fd = socket.get();
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&target), targetLength) != 0 &&
        errno != EINPROGRESS)
        socket.reset();
    if (socket) {
        int error = 0;
        socklen_t length = sizeof error;
        if (clock.waitFd(fd, POLLOUT, deadline) != FdReady::Ready ||
            ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0)
            socket.reset();
    }
    if (!socket)
        throw Error("createBrowser", "cannot connect to " + url);
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);

    std::uint8_t keyBytes[16];
    for (auto& b : keyBytes)
        b = static_cast<std::uint8_t>(randomBytes()());
    const std::string key = base64(keyBytes, sizeof keyBytes);
    const std::string hostHeader = address->host.find(':') != std::string::npos
                                       ? "[" + address->host + "]:" + port
                                       : address->host + ":" + port;
    const std::string request = "GET " + address->path + " HTTP/1.1\r\nHost: " + hostHeader +
                                "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                                "Sec-WebSocket-Key: " +
                                key + "\r\nSec-WebSocket-Version: 13\r\n\r\n";
    if (!writeAll(clock, fd, request, deadline))
        throw Error("createBrowser", "the browser closed the connection");
    std::string response;
    std::size_t end = std::string::npos;
    while ((end = response.find("\r\n\r\n")) == std::string::npos) {
        if (response.size() > 16384 || clock.waitFd(fd, POLLIN, deadline) != FdReady::Ready)
            throw Error("createBrowser", "no WebSocket handshake from " + url);
        char chunk[4096];
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN))
            throw Error("createBrowser", "the browser closed the connection");
        if (n > 0)
            response.append(chunk, static_cast<std::size_t>(n));
    }
    const std::string head = response.substr(0, end);
    std::string lower = head;
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const bool switched = head.rfind("HTTP/1.1 101", 0) == 0;
    const std::string acceptLine = "sec-websocket-accept: ";
    const auto at = lower.find(acceptLine);
    std::string accept;
    if (at != std::string::npos) {
        const auto from = at + acceptLine.size();
        accept = head.substr(from, head.find("\r\n", from) - from);
    }
    if (!switched || accept != webSocketAccept(key))
        throw Error("createBrowser", "the WebSocket handshake was refused");
    return std::make_unique<WebSocketTransport>(std::move(socket), response.substr(end + 4), clock);
}

} // namespace automation::chromium
