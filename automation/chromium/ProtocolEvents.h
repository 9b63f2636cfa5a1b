#pragma once

#include "automation/chromium/ProtocolReplies.h"

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <variant>

// The protocol's events that the program follows, each read once, through the checked
// readers, into a value of its own.
namespace automation::chromium {

// A target came into being, or what the browser knows of it changed.
struct TargetCreated
{
    TargetInfo info;
};

struct TargetInfoChanged
{
    TargetInfo info;
};

struct TargetDestroyed
{
    std::string targetId;
};

// A session was attached to a target (the program asked for every tab to be).
struct AttachedToTarget
{
    // "" when the browser named none.
    std::string sessionId;
    TargetInfo info;
};

struct DetachedFromTarget
{
    std::string sessionId;
};

// Something changed in the page of an attached session: a frame came, went or
// navigated, or the page started or stopped loading.
struct PageChanged
{
    std::string sessionId;
};

using BrowserEvent = std::variant<TargetCreated, TargetInfoChanged, TargetDestroyed,
                                  AttachedToTarget, DetachedFromTarget, PageChanged>;

// The event a protocol message carries; nothing for a method the program does not
// follow, or one that names no target or session to apply it to.
std::optional<BrowserEvent> readEvent(const nlohmann::json& message);

} // namespace automation::chromium
