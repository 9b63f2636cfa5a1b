#pragma once

#include "automation/Types.h"

#include <optional>
#include <string_view>

namespace automation {

// The names a window state goes by in the program's files, the simulated desktop's
// descriptions and the browser bridge's messages: "normal", "minimized", "maximized".
const char* windowStateName(WindowState state);
// The state a name stands for; nothing for any other text.
std::optional<WindowState> windowStateFromName(std::string_view name);

} // namespace automation
