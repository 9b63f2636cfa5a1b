// Answers queued for the next message box or common dialog.
#include "automation/sim/SimDesktop.h"
#include "scenario/Runner.h"

namespace tabulon::scenario {

using nlohmann::json;

void Runner::answerStep(const json& step)
{
    auto& dialogs = desktop().dialogs();
    const auto [kind, answer] = *step["answer"].items().begin();
    const bool cancel = answer.is_string() && answer.get<std::string>() == "cancel";
    if (kind == "msgbox") {
        const std::string choice = answer.get<std::string>();
        dialogs.queueMsgBox(choice == "OK"       ? automation::MsgBoxAnswer::OK
                            : choice == "Cancel" ? automation::MsgBoxAnswer::Cancel
                                                 : automation::MsgBoxAnswer::Close);
    } else if (kind == "color") {
        dialogs.queueColor(cancel ? std::nullopt
                                  : std::optional<std::uint32_t>(answer.get<std::uint32_t>()));
    } else if (kind == "open") {
        dialogs.queueOpen(cancel ? std::nullopt
                                 : std::optional<std::string>(answer.get<std::string>()));
    } else if (kind == "save") {
        std::optional<std::string> name;
        if (!cancel) {
            const std::filesystem::path path = answer.get<std::string>();
            name = (path.is_absolute() ? path : m_workdir / path).string();
        }
        dialogs.queueSave(name);
    } else if (kind == "input") {
        dialogs.queueInput(cancel ? std::nullopt
                                  : std::optional<std::string>(answer.get<std::string>()));
    }
}

} // namespace tabulon::scenario
