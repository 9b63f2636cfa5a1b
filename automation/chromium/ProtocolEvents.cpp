#include "automation/chromium/ProtocolEvents.h"

#include "automation/chromium/Checked.h"

namespace automation::chromium {

using nlohmann::json;

std::optional<BrowserEvent> readEvent(const json& message)
{
    const std::string method = checked::lineAt(message, "method", 128);
    const json& params = checked::objectAt(message, "params");
    const auto withTarget = [&]() -> std::optional<TargetInfo> {
        TargetInfo info = readTargetInfo(checked::objectAt(params, "targetInfo"));
        if (info.targetId.empty())
            return std::nullopt;
        return info;
    };
    if (method == "Target.targetCreated") {
        if (auto info = withTarget())
            return TargetCreated{std::move(*info)};
    } else if (method == "Target.targetInfoChanged") {
        if (auto info = withTarget())
            return TargetInfoChanged{std::move(*info)};
    } else if (method == "Target.targetDestroyed") {
        if (std::string id = checked::idAt(params, "targetId"); !id.empty())
            return TargetDestroyed{std::move(id)};
    } else if (method == "Target.attachedToTarget") {
        if (auto info = withTarget())
            return AttachedToTarget{checked::idAt(params, "sessionId"), std::move(*info)};
    } else if (method == "Target.detachedFromTarget") {
        if (std::string id = checked::idAt(params, "sessionId"); !id.empty())
            return DetachedFromTarget{std::move(id)};
    } else if (method == "Page.frameAttached" || method == "Page.frameDetached" ||
               method == "Page.frameNavigated" || method == "Page.frameStartedLoading" ||
               method == "Page.frameStoppedLoading" || method == "Page.navigatedWithinDocument" ||
               method == "Page.documentOpened") {
        if (std::string id = checked::idAt(message, "sessionId"); !id.empty())
            return PageChanged{std::move(id)};
    }
    return std::nullopt;
}

} // namespace automation::chromium
