#pragma once

#include "automation/CommonDialog.h"

#include <cstdint>
#include <deque>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace automation::sim {

// Message boxes and common dialogs take queued answers; without one they are
// cancelled. Every dialog shown is recorded.
class SimDialogs : public CommonDialog, public MessageBox
{
public:
    std::optional<std::uint32_t> ShowColor(std::uint32_t initial) override;
    std::optional<std::string> ShowOpen(const std::string& initDir) override;
    std::optional<std::string> ShowSave(const std::string& initDir) override;
    // Takes the Save dialog's queued answer; the kind stays the first.
    std::optional<SaveChoice> ShowSaveAs(const std::string& initDir,
                                         const std::vector<std::string>& filters) override;
    // Takes the queued text; with choices, a text that is none of them cancels.
    std::optional<std::string> InputText(const std::string& title, const std::string& prompt,
                                         const std::vector<std::string>& choices) override;
    MsgBoxAnswer MsgBox(const std::string& text, const std::string& title,
                        MsgBoxButtons buttons) override;

    void queueMsgBox(MsgBoxAnswer answer) { m_msgbox.push_back(answer); }
    void queueColor(std::optional<std::uint32_t> answer) { m_color.push_back(answer); }
    void queueOpen(std::optional<std::string> answer) { m_open.push_back(std::move(answer)); }
    void queueSave(std::optional<std::string> answer) { m_save.push_back(std::move(answer)); }
    void queueInput(std::optional<std::string> answer) { m_input.push_back(std::move(answer)); }

    // The dialogs shown since the last call, oldest first.
    nlohmann::json takeShown();

private:
    std::deque<MsgBoxAnswer> m_msgbox;
    std::deque<std::optional<std::uint32_t>> m_color;
    std::deque<std::optional<std::string>> m_open;
    std::deque<std::optional<std::string>> m_save;
    std::deque<std::optional<std::string>> m_input;
    nlohmann::json m_shown = nlohmann::json::array();
};

} // namespace automation::sim
