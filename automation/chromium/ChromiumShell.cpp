#include "automation/chromium/ChromiumShell.h"

#include "automation/DesktopArranger.h"
#include "automation/Error.h"
#include "automation/chromium/ChromiumBrowser.h"
#include "automation/chromium/ChromiumClient.h"
#include "automation/chromium/ChromiumShellWindows.h"

namespace automation::chromium {

std::vector<std::shared_ptr<Browser>> ChromiumShellWindows::items()
{
    m_client->tryAttach();
    std::vector<std::shared_ptr<Browser>> result;
    for (const std::string& targetId : m_client->listedPages())
        result.push_back(std::make_shared<ChromiumBrowser>(m_client, targetId));
    return result;
}

bool ChromiumShellWindows::beginRefresh()
{
    m_client->tryAttach();
    return m_client->beginRefresh();
}

bool ChromiumShellWindows::continueRefresh()
{
    return m_client->continueRefresh();
}

ChromiumShell::ChromiumShell(std::shared_ptr<ChromiumClient> client, DesktopArranger* arranger)
    : m_client(std::move(client)), m_arranger(arranger)
{}

std::shared_ptr<ShellWindows> ChromiumShell::windows()
{
    return std::make_shared<ChromiumShellWindows>(m_client);
}

DesktopArranger& ChromiumShell::arranger(const char* member)
{
    if (!m_arranger)
        throw Error(member, "no window manager arranges the desktop");
    return *m_arranger;
}

void ChromiumShell::MinimizeAll()
{
    arranger("MinimizeAll").MinimizeAll();
    m_client->invalidate();
}

void ChromiumShell::TileVertically()
{
    arranger("TileVertically").TileVertically();
    m_client->invalidate();
}

void ChromiumShell::TileHorizontally()
{
    arranger("TileHorizontally").TileHorizontally();
    m_client->invalidate();
}

void ChromiumShell::CascadeWindows()
{
    arranger("CascadeWindows").CascadeWindows();
    m_client->invalidate();
}

} // namespace automation::chromium
