#include "app/RealDesktop.h"

#include "app/BridgeWatch.h"
#include "automation/bridge/BridgeSocket.h"
#include "automation/bridged/BridgeHub.h"
#include "automation/bridged/BridgedWindowManager.h"
#include "automation/bridged/UnionObjectFactory.h"
#include "automation/chromium/ChromiumClient.h"
#include "automation/chromium/ChromiumObjectFactory.h"
#include "automation/chromium/ChromiumWindows.h"
#include "automation/local/AnsweringWaitClock.h"
#include "automation/local/DataFolders.h"
#include "automation/local/LocalFileSystem.h"
#include "automation/local/LocalHelpViewer.h"
#include "automation/local/LocalLauncher.h"
#include "automation/local/QtClock.h"
#include "automation/local/QtDialogs.h"
#include "automation/real/RealWindowManager.h"
#include "automation/real/X11Arranger.h"
#include "automation/real/XdgScriptingShell.h"
#include "automation/x11/X11Desktop.h"

#include <iostream>

namespace tabulon {

using namespace automation;

RealDesktop::RealDesktop(std::unique_ptr<x11::X11Desktop> desktop,
                         const chromium::ChromiumSettings& settings)
    : m_waits(std::make_unique<AnsweringWaitClock>()), m_files(std::make_unique<LocalFileSystem>()),
      m_desktop(std::move(desktop)),
      m_client(std::make_shared<chromium::ChromiumClient>(settings, *m_waits)),
      m_browserWindows(std::make_unique<chromium::ChromiumWindows>(
          m_client, defaultFavoritesFolder(), *m_files)),
      m_arranger(std::make_unique<X11Arranger>(*m_desktop)),
      m_objects(std::make_unique<chromium::ChromiumObjectFactory>(
          m_client, m_arranger.get(),
          [favorites = m_browserWindows->favoritesFolder()] {
              return std::make_shared<XdgScriptingShell>(favorites);
          })),
      m_windows(std::make_unique<RealWindowManager>(*m_desktop, *m_browserWindows)),
      m_clock(std::make_unique<QtClock>(m_waits.get())), m_dialogs(std::make_unique<QtDialogs>()),
      m_launcher(std::make_unique<LocalLauncher>()), m_help(std::make_unique<LocalHelpViewer>()),
      m_hub(std::make_shared<bridged::BridgeHub>(*m_waits))
{
    // The user's own browsers come in through the bridge's socket; without it the
    // program still has its own browser.
    if (const auto error = m_hub->listen(bridge::bridgeFolder()))
        std::cerr << "tabulon: no bridge to the user's browsers (" << *error << ")\n";
    m_bridgeWatch = std::make_unique<BridgeWatch>(*m_hub);
    m_unionObjects = std::make_unique<bridged::UnionObjectFactory>(*m_objects, m_hub);
    m_unionWindows = std::make_unique<bridged::BridgedWindowManager>(
        *m_windows, m_hub, m_browserWindows->favoritesFolder(), *m_files);
}

RealDesktop::~RealDesktop() = default;

Platform RealDesktop::platform()
{
    return Platform{*m_unionObjects, *m_unionWindows, *m_launcher, *m_dialogs,
                    *m_dialogs,      *m_help,         *m_clock,    *m_files};
}

std::string RealDesktop::description() const
{
    return "Chromium's windows on the X11 display " + m_desktop->connection().displayName();
}

} // namespace tabulon
