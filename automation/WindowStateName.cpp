#include "automation/WindowStateName.h"

namespace automation {

const char* windowStateName(WindowState state)
{
    switch (state) {
    case WindowState::Minimized:
        return "minimized";
    case WindowState::Maximized:
        return "maximized";
    case WindowState::Normal:
        break;
    }
    return "normal";
}

std::optional<WindowState> windowStateFromName(std::string_view name)
{
    for (const WindowState state :
         {WindowState::Normal, WindowState::Minimized, WindowState::Maximized}) {
        if (name == windowStateName(state))
            return state;
    }
    return std::nullopt;
}

} // namespace automation
