#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <unistd.h>

// The browser's end of a pipe pair: what the program writes arrives here, and what
// the test writes here arrives at the program.
struct FakePeer
{
    int programRead = -1;  // handed to the transport
    int programWrite = -1; // handed to the transport
    int peerRead = -1;
    int peerWrite = -1;

    FakePeer()
    {
        int toProgram[2];
        int fromProgram[2];
        if (::pipe(toProgram) != 0 || ::pipe(fromProgram) != 0)
            throw std::runtime_error("pipe");
        programRead = toProgram[0];
        peerWrite = toProgram[1];
        peerRead = fromProgram[0];
        programWrite = fromProgram[1];
    }
    ~FakePeer()
    {
        closePeerWrite();
        closePeerRead();
    }

    void write(const std::string& text, bool terminate = true) const
    {
        std::string bytes = text;
        if (terminate)
            bytes.push_back('\0');
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(peerWrite, bytes.data() + done, bytes.size() - done);
            if (n <= 0)
                throw std::runtime_error("write");
            done += static_cast<std::size_t>(n);
        }
    }
    void write(const nlohmann::json& message) const { write(message.dump()); }

    // The next NUL-terminated message the program wrote.
    nlohmann::json read() const
    {
        std::string text;
        char c;
        while (::read(peerRead, &c, 1) == 1 && c != '\0')
            text.push_back(c);
        return nlohmann::json::parse(text);
    }

    void closePeerWrite()
    {
        if (peerWrite >= 0)
            ::close(peerWrite);
        peerWrite = -1;
    }
    void closePeerRead()
    {
        if (peerRead >= 0)
            ::close(peerRead);
        peerRead = -1;
    }
};
