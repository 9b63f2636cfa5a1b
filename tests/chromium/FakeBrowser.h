#pragma once

#include "FakePeer.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <poll.h>
#include <sys/ioctl.h>
#include <thread>
#include <vector>

// A browser's end of the pipe, answering on a thread of its own: every request is
// recorded and handed to the test's answer function, which returns the result (or an
// "error" object), or nothing to leave it unanswered.
class FakeBrowser
{
public:
    using Answer = std::function<std::optional<nlohmann::json>(const nlohmann::json& request)>;

    explicit FakeBrowser(Answer answer) : m_answer(std::move(answer))
    {
        m_thread = std::thread([this] { run(); });
    }
    ~FakeBrowser() { stop(); }

    // The program's ends of the pipes, handed out once.
    automation::UniqueFd programRead() { return std::move(m_peer.programRead); }
    automation::UniqueFd programWrite() { return std::move(m_peer.programWrite); }

    // Whether the browser has read everything the program wrote and written all its
    // answers (see FakeClock).
    bool quiet() const
    {
        // The pipe is looked at first: once it is empty, what was in it was taken by the
        // thread, which was busy before it read, so a request read between the two
        // looks is never missed.
        int waiting = 0;
        const bool empty = ::ioctl(m_peer.peerRead.get(), FIONREAD, &waiting) != 0 || waiting == 0;
        return empty && !m_busy;
    }
    // Waits until the browser has taken in and answered what it was sent.
    void settle() const
    {
        for (int i = 0; i < 10000 && !quiet(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    // Answers a request the answer function left open.
    void reply(const nlohmann::json& request, const nlohmann::json& result)
    {
        nlohmann::json message = {{"id", request["id"]}, {"result", result}};
        if (request.contains("sessionId"))
            message["sessionId"] = request["sessionId"];
        send(message);
    }
    // Answers a request the answer function left open with a protocol error.
    void fail(const nlohmann::json& request, const std::string& why)
    {
        nlohmann::json message = {{"id", request["id"]},
                                  {"error", {{"code", -32000}, {"message", why}}}};
        if (request.contains("sessionId"))
            message["sessionId"] = request["sessionId"];
        send(message);
    }
    void event(const std::string& method, const nlohmann::json& params,
               const std::string& sessionId = {})
    {
        nlohmann::json message = {{"method", method}, {"params", params}};
        if (!sessionId.empty())
            message["sessionId"] = sessionId;
        send(message);
    }

    std::vector<nlohmann::json> requests()
    {
        std::lock_guard lock(m_mutex);
        return m_requests;
    }
    // The requests of one method, in order.
    std::vector<nlohmann::json> requests(const std::string& method)
    {
        std::vector<nlohmann::json> found;
        for (const auto& request : requests()) {
            if (request["method"] == method)
                found.push_back(request);
        }
        return found;
    }
    void clearRequests()
    {
        std::lock_guard lock(m_mutex);
        m_requests.clear();
    }

    // The browser dies: both ends of its pipe close.
    void stop()
    {
        m_stopping = true;
        if (m_thread.joinable())
            m_thread.join();
        std::lock_guard lock(m_writeMutex);
        m_peer.closePeerWrite();
        m_peer.closePeerRead();
    }

private:
    void send(const nlohmann::json& message)
    {
        std::lock_guard lock(m_writeMutex);
        if (m_peer.peerWrite)
            m_peer.write(message);
    }

    void run()
    {
        std::string buffer;
        while (!m_stopping) {
            pollfd p{m_peer.peerRead.get(), POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            // Busy from before the read until every answer to what it read is written.
            m_busy = true;
            struct Idle
            {
                std::atomic<bool>& busy;
                ~Idle() { busy = false; }
            } idle{m_busy};
            char chunk[4096];
            const ssize_t n = ::read(m_peer.peerRead.get(), chunk, sizeof chunk);
            if (n <= 0)
                return;
            buffer.append(chunk, static_cast<std::size_t>(n));
            std::size_t end;
            while ((end = buffer.find('\0')) != std::string::npos) {
                const nlohmann::json request = nlohmann::json::parse(buffer.substr(0, end));
                buffer.erase(0, end + 1);
                {
                    std::lock_guard lock(m_mutex);
                    m_requests.push_back(request);
                }
                const auto result = m_answer(request);
                if (!result)
                    continue;
                if (result->contains("error")) {
                    nlohmann::json message = {{"id", request["id"]}, {"error", (*result)["error"]}};
                    send(message);
                } else {
                    reply(request, *result);
                }
            }
        }
    }

    FakePeer m_peer;
    Answer m_answer;
    std::atomic<bool> m_stopping{false};
    std::atomic<bool> m_busy{false};
    std::thread m_thread;
    std::mutex m_mutex;
    std::mutex m_writeMutex;
    std::vector<nlohmann::json> m_requests;
};
