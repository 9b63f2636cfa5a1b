#pragma once

#include "automation/Shell.h"

#include <memory>

namespace automation {
class DesktopArranger;
}

namespace automation::chromium {

class ChromiumClient;

// The shell over the browser: its window collection is the browser's tabs; the
// desktop-wide arrangements go to the arranger the program handed in.
class ChromiumShell : public Shell
{
public:
    ChromiumShell(std::shared_ptr<ChromiumClient> client, DesktopArranger* arranger);

    std::shared_ptr<ShellWindows> windows() override;
    void MinimizeAll() override;
    void TileVertically() override;
    void TileHorizontally() override;
    void CascadeWindows() override;

private:
    DesktopArranger& arranger(const char* member);

    std::shared_ptr<ChromiumClient> m_client;
    DesktopArranger* m_arranger;
};

} // namespace automation::chromium
