#include "core/ComDialog.h"

namespace tabulon {

bool ComDialog::ShowColor()
{
    const auto chosen = m_dialogs.ShowColor(static_cast<std::uint32_t>(Color) & 0xFFFFFFu);
    if (!chosen)
        return false;
    Color = static_cast<std::int32_t>(*chosen & 0xFFFFFFu);
    return true;
}

bool ComDialog::ShowOpen()
{
    auto chosen = m_dialogs.ShowOpen(InitDir);
    if (!chosen || chosen->empty())
        return false;
    FileName = std::move(*chosen);
    return true;
}

bool ComDialog::ShowSave()
{
    auto chosen = m_dialogs.ShowSave(InitDir);
    if (!chosen || chosen->empty())
        return false;
    FileName = std::move(*chosen);
    return true;
}

} // namespace tabulon
