#pragma once

#include <optional>

namespace automation {

// An open file descriptor, closed when its owner goes. Moves, never copies.
class UniqueFd
{
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) noexcept : m_fd(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : m_fd(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const noexcept { return m_fd; }
    explicit operator bool() const noexcept { return m_fd >= 0; }
    // Gives the descriptor up without closing it.
    int release() noexcept
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    // Closes the descriptor held (if any) and holds fd instead.
    void reset(int fd = -1) noexcept;
    // Closes now; false when closing reports an error (a deferred write can surface
    // only here).
    bool close() noexcept;

private:
    int m_fd = -1;
};

// The two ends of a pipe, both closed on exec.
struct PipeEnds
{
    UniqueFd read;
    UniqueFd write;
};

// A new pipe; nothing when the system has no descriptors to spare.
std::optional<PipeEnds> makePipe();

// /dev/null opened for reading and writing, closed on exec.
UniqueFd openNull();

// Sets O_NONBLOCK on the descriptor.
void setNonBlocking(int fd);

} // namespace automation
