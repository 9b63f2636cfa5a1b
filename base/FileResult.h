#pragma once

#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace tabulon {

// Why a file could not be read or written.
struct FileError
{
    enum class Reason
    {
        NotFound,        // nothing at the path, or a folder on the way is missing
        NotOrdinaryFile, // a folder, a FIFO or a device: never waited on, never replaced
        TooLarge,        // past the program's limit on a file it reads
        Failed,          // refused or failing: no permission, an I/O error, a full disk
    };
    Reason reason = Reason::Failed;
    std::string detail; // for the log: the system's own words, or what was refused
};

// What a file read or write gave: the value, or why there is none. Tested like a
// pointer; the value is only there when the result is true.
template <typename T> class FileResult
{
public:
    FileResult(T value) : m_state(std::in_place_index<0>, std::move(value)) {}
    FileResult(FileError error) : m_state(std::in_place_index<1>, std::move(error)) {}

    bool has_value() const { return m_state.index() == 0; }
    explicit operator bool() const { return has_value(); }

    T& operator*() & { return std::get<0>(m_state); }
    const T& operator*() const& { return std::get<0>(m_state); }
    T&& operator*() && { return std::get<0>(std::move(m_state)); }
    T* operator->() { return &std::get<0>(m_state); }
    const T* operator->() const { return &std::get<0>(m_state); }

    const FileError& error() const { return std::get<1>(m_state); }
    bool failedFor(FileError::Reason reason) const
    {
        return !has_value() && error().reason == reason;
    }
    template <typename U> T value_or(U&& otherwise) const&
    {
        return has_value() ? **this : static_cast<T>(std::forward<U>(otherwise));
    }

    friend bool operator==(const FileResult& result, const T& value)
    {
        return result.has_value() && *result == value;
    }

private:
    std::variant<T, FileError> m_state;
};

// A write or a read that hands its bytes on as it goes: success, or why not.
template <> class FileResult<void>
{
public:
    FileResult() = default;
    FileResult(FileError error) : m_error(std::move(error)) {}

    bool has_value() const { return !m_error; }
    explicit operator bool() const { return has_value(); }

    const FileError& error() const { return *m_error; }
    bool failedFor(FileError::Reason reason) const { return m_error && m_error->reason == reason; }

private:
    std::optional<FileError> m_error;
};

} // namespace tabulon
