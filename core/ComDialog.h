#pragma once

#include "automation/CommonDialog.h"

#include <cstdint>
#include <string>

namespace tabulon {

// The main window's one common-dialog control, shared by the colour, Open and Save
// dialogs: what one use leaves in it (the colour, the file name) stays for the next.
class ComDialog
{
public:
    explicit ComDialog(automation::CommonDialog& dialogs) : m_dialogs(dialogs) {}

    // The colour last chosen (0x00BBGGRR); the colour dialog starts from it.
    std::int32_t Color = 0;
    // The file last chosen in the Open or Save dialog.
    std::string FileName;
    // The folder the Open and Save dialogs start in.
    std::string InitDir;

    // Each shows its dialog and returns false when the user cancels; Color or
    // FileName then keep what they held.
    bool ShowColor();
    bool ShowOpen();
    bool ShowSave();

private:
    automation::CommonDialog& m_dialogs;
};

} // namespace tabulon
