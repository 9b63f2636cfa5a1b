#pragma once

#include <stdexcept>
#include <string>
#include <utility>

namespace automation {

// A member of an automation object that failed: a window closed since the list was
// built, a page still loading, a frame from another site, a browser that died.
class Error : public std::runtime_error
{
public:
    explicit Error(std::string member, const std::string& reason = {});

    // The member that failed, as the program calls it ("LocationURL", "moveto").
    const std::string& member() const noexcept { return m_member; }

private:
    std::string m_member;
};

// Runs one step that the program skips when it fails. Only automation failures are
// absorbed; anything else is a fault of ours and goes on up. Returns whether the
// step ran to its end.
template <typename Step> bool skipOnFailure(Step&& step)
{
    try {
        std::forward<Step>(step)();
        return true;
    } catch (const Error&) {
        return false;
    }
}

} // namespace automation
