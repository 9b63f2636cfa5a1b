#pragma once

#include "automation/bridge/Framing.h"

#include <chrono>
#include <optional>
#include <string>

namespace automation::bridge {

// Bytes waiting to be written to a descriptor.
class OutBuffer
{
public:
    void append(std::string_view bytes) { m_data.append(bytes); }
    std::size_t size() const { return m_data.size() - m_offset; }
    bool empty() const { return size() == 0; }
    void clear();
    // Writes what the non-blocking fd takes now; false when the fd is broken.
    bool writeTo(int fd, bool socket);

private:
    std::string m_data;
    std::size_t m_offset = 0;
};

struct RelayOptions
{
    // The private folder where Tabulon's socket appears.
    std::string folder;
    // The first message Tabulon gets on each connection.
    std::string hostMessage;
};

// The native-messaging host's work: messages between the browser (its standard input
// and output) and Tabulon (the Unix socket), each way checked against its limit.
// Either side may come first and Tabulon may come and go: while it is away the host
// waits for its socket to appear (inotify on the folder, never polling), drops what
// the browser sends, and tells the extension each time Tabulon comes or goes.
class Relay
{
public:
    // Takes ownership of neither descriptor.
    Relay(int browserIn, int browserOut, RelayOptions options);
    ~Relay();
    Relay(const Relay&) = delete;
    Relay& operator=(const Relay&) = delete;

    // Relays until the browser closes its end (0), or a write to it fails (0 too:
    // it has gone); 1 when the host cannot run at all.
    int run();

private:
    using Clock = std::chrono::steady_clock;

    void watchFolder();
    void readWatch();
    void tryConnect();
    void loseTabulon(const char* why);
    bool readBrowser();
    void readTabulon();
    void toBrowser(std::string_view message);
    void flushToTabulon(std::chrono::milliseconds limit);

    int m_in;
    int m_out;
    RelayOptions m_options;
    std::string m_socketPath;
    bool m_folderUsable = false;
    int m_inotify = -1;
    int m_watch = -1;
    int m_tabulon = -1;
    // Until the extension greets a new Tabulon, what it sends belongs to the one before
    // (events posted before it heard that Tabulon went) and is dropped.
    bool m_greeted = false;
    // A new socket appeared while connected: try it as soon as this connection ends.
    bool m_socketSeen = false;
    // After a socket appeared but refused (not yet listening), a few spaced retries.
    std::optional<Clock::time_point> m_retryAt;
    int m_retries = 0;
    FrameReader m_fromBrowser{kMaxFromBrowser};
    FrameReader m_fromTabulon{kMaxToBrowser};
    OutBuffer m_toBrowser;
    OutBuffer m_toTabulon;
    std::size_t m_browserSkipped = 0;
    std::size_t m_tabulonSkipped = 0;
};

} // namespace automation::bridge
