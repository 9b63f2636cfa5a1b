#pragma once

#include <exception>
#include <string_view>
#include <utility>

namespace automation {

// Says in one line on standard error that the handler named what stopped on failure
// (nullptr: an exception that is not a std::exception).
void reportStopped(std::string_view what, const std::exception* failure) noexcept;

// Runs a handler of something the user or the clock sets off (a menu item, a button, a
// list, a timer tick) and lets nothing escape it: a failure of any kind ends that one
// command, is said in one line on standard error, and the program goes on. Returns
// whether the handler ran to its end. Steps the program skips on an automation failure
// use skipOnFailure inside; this is the boundary around the whole handler.
template <typename Handler> bool guarded(std::string_view what, Handler&& handler) noexcept
{
    try {
        std::forward<Handler>(handler)();
        return true;
    } catch (const std::exception& failure) {
        reportStopped(what, &failure);
    } catch (...) {
        reportStopped(what, nullptr);
    }
    return false;
}

// A callable that runs (object->*handler)() through guarded, for connecting a window's
// handler to a signal. what names it in the line on standard error and must outlive the
// connection (a literal).
template <typename Object>
auto guardedHandler(std::string_view what, Object* object, void (Object::*handler)())
{
    return [what, object, handler] { guarded(what, [&] { (object->*handler)(); }); };
}

} // namespace automation
