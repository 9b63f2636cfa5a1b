#pragma once

#include "automation/Shell.h"

#include <memory>

namespace automation::bridged {

class BridgeHub;

// The shell whose window collection is the program's own browser's windows followed
// by every bridged browser's tabs, browser by browser in the order they connected and
// tab by tab in the order they were found. The desktop-wide arrangements are the inner
// shell's; afterwards the bridged browsers are asked where their windows went (not
// every browser says when a window is moved by someone else).
class UnionShell : public Shell
{
public:
    UnionShell(std::shared_ptr<Shell> inner, std::shared_ptr<BridgeHub> hub);

    std::shared_ptr<ShellWindows> windows() override;
    void MinimizeAll() override;
    void TileVertically() override;
    void TileHorizontally() override;
    void CascadeWindows() override;

private:
    std::shared_ptr<Shell> m_inner;
    std::shared_ptr<BridgeHub> m_hub;
};

} // namespace automation::bridged
