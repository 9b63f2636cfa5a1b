#include "app/RealDesktop.h"

#include "automation/chromium/ChromiumClient.h"
#include "automation/chromium/ChromiumObjectFactory.h"
#include "automation/chromium/ChromiumWindows.h"
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

namespace tabulon {

using namespace automation;

RealDesktop::RealDesktop(std::unique_ptr<x11::X11Desktop> desktop,
                         chromium::ChromiumSettings settings)
    : m_files(std::make_unique<LocalFileSystem>()), m_desktop(std::move(desktop)),
      m_client(std::make_shared<chromium::ChromiumClient>(std::move(settings))),
      m_browserWindows(std::make_unique<chromium::ChromiumWindows>(
          m_client, defaultFavoritesFolder(), *m_files)),
      m_arranger(std::make_unique<X11Arranger>(*m_desktop)),
      m_objects(std::make_unique<chromium::ChromiumObjectFactory>(
          m_client, m_arranger.get(),
          [favorites = m_browserWindows->favoritesFolder()] {
              return std::make_shared<XdgScriptingShell>(favorites);
          })),
      m_windows(std::make_unique<RealWindowManager>(*m_desktop, *m_browserWindows)),
      m_clock(std::make_unique<QtClock>()), m_dialogs(std::make_unique<QtDialogs>()),
      m_launcher(std::make_unique<LocalLauncher>()), m_help(std::make_unique<LocalHelpViewer>())
{}

RealDesktop::~RealDesktop() = default;

Platform RealDesktop::platform()
{
    return Platform{*m_objects, *m_windows, *m_launcher, *m_dialogs,
                    *m_dialogs, *m_help,    *m_clock,    *m_files};
}

std::string RealDesktop::description() const
{
    return "Chromium's windows on the X11 display " + m_desktop->connection().displayName();
}

} // namespace tabulon
