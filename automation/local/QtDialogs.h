#pragma once

#include "automation/CommonDialog.h"

namespace automation {

// The common dialogs and message boxes, shown for real with Qt.
class QtDialogs : public CommonDialog, public MessageBox
{
public:
    std::optional<std::uint32_t> ShowColor(std::uint32_t initial) override;
    std::optional<std::string> ShowOpen(const std::string& initDir) override;
    std::optional<std::string> ShowSave(const std::string& initDir) override;
    std::optional<SaveChoice> ShowSaveAs(const std::string& initDir,
                                         const std::vector<std::string>& filters) override;
    std::optional<std::string> InputText(const std::string& title, const std::string& prompt,
                                         const std::vector<std::string>& choices) override;
    MsgBoxAnswer MsgBox(const std::string& text, const std::string& title,
                        MsgBoxButtons buttons) override;
};

} // namespace automation
