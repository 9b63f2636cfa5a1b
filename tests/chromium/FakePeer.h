#pragma once

#include "automation/local/UniqueFd.h"

#include <atomic>
#include <functional>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <thread>
#include <unistd.h>

// The browser's end of a pipe pair: what the program writes arrives here, and what
// the test writes here arrives at the program.
struct FakePeer
{
    automation::UniqueFd programRead;  // handed to the transport
    automation::UniqueFd programWrite; // handed to the transport
    automation::UniqueFd peerRead;
    automation::UniqueFd peerWrite;

    FakePeer()
    {
        auto toProgram = automation::makePipe();
        auto fromProgram = automation::makePipe();
        if (!toProgram || !fromProgram)
            throw std::runtime_error("pipe");
        programRead = std::move(toProgram->read);
        peerWrite = std::move(toProgram->write);
        peerRead = std::move(fromProgram->read);
        programWrite = std::move(fromProgram->write);
    }

    void write(const std::string& text, bool terminate = true) const
    {
        std::string bytes = text;
        if (terminate)
            bytes.push_back('\0');
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(peerWrite.get(), bytes.data() + done, bytes.size() - done);
            if (n <= 0)
                throw std::runtime_error("write");
            done += static_cast<std::size_t>(n);
        }
    }
    void write(const nlohmann::json& message) const { write(message.dump()); }

    // Writes on a thread of its own (what does not fit the pipe, or comes later); the
    // peer is not quiet until it is done.
    std::thread writeLater(std::function<void()> writing)
    {
        ++m_writers;
        return std::thread([this, writing = std::move(writing)] {
            struct Done
            {
                std::atomic<int>& writers;
                ~Done() { --writers; }
            } done{m_writers};
            writing();
        });
    }
    // Whether the peer has written all it will (see FakeClock).
    bool quiet() const { return m_writers == 0; }

    // The next NUL-terminated message the program wrote.
    nlohmann::json read() const
    {
        std::string text;
        char c;
        while (::read(peerRead.get(), &c, 1) == 1 && c != '\0')
            text.push_back(c);
        return nlohmann::json::parse(text);
    }

    void closePeerWrite() { peerWrite.reset(); }
    void closePeerRead() { peerRead.reset(); }

private:
    std::atomic<int> m_writers{0};
};
