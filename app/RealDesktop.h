#pragma once

#include "app/Backend.h"
#include "automation/chromium/ChromiumSettings.h"

#include <memory>

namespace automation {
class RealWindowManager;
class X11Arranger;
class AnsweringWaitClock;
class QtClock;
class QtDialogs;
class LocalLauncher;
class LocalFileSystem;
class LocalHelpViewer;
namespace chromium {
class ChromiumClient;
class ChromiumObjectFactory;
class ChromiumWindows;
} // namespace chromium
namespace x11 {
class X11Desktop;
}
namespace bridged {
class BridgeHub;
class BridgedWindowManager;
class UnionObjectFactory;
} // namespace bridged
} // namespace automation

namespace tabulon {

class BridgeWatch;

// The real desktop: Chromium's windows over the DevTools protocol, the user's own
// browsers through the bridge, every other window, the main window and the shell's
// arrangements on X11, and the machine's own clock, dialogs, files, launcher and help
// viewer.
class RealDesktop : public Backend
{
public:
    RealDesktop(std::unique_ptr<automation::x11::X11Desktop> desktop,
                const automation::chromium::ChromiumSettings& settings);
    ~RealDesktop() override;

    automation::Platform platform() override;
    std::string description() const override;

    // The connection to the browser and the X11 desktop, for looking behind the
    // program's back.
    automation::chromium::ChromiumClient& browser() { return *m_client; }
    automation::x11::X11Desktop& desktop() { return *m_desktop; }
    automation::bridged::BridgeHub& bridge() { return *m_hub; }

private:
    // The clock every wait for a browser goes by; it lets the windows paint through a
    // long one. First, so that it outlives everything that waits by it.
    std::unique_ptr<automation::AnsweringWaitClock> m_waits;
    std::unique_ptr<automation::LocalFileSystem> m_files;
    std::unique_ptr<automation::x11::X11Desktop> m_desktop;
    std::shared_ptr<automation::chromium::ChromiumClient> m_client;
    std::unique_ptr<automation::chromium::ChromiumWindows> m_browserWindows;
    std::unique_ptr<automation::X11Arranger> m_arranger;
    std::unique_ptr<automation::chromium::ChromiumObjectFactory> m_objects;
    std::unique_ptr<automation::RealWindowManager> m_windows;
    std::unique_ptr<automation::QtClock> m_clock;
    std::unique_ptr<automation::QtDialogs> m_dialogs;
    std::unique_ptr<automation::LocalLauncher> m_launcher;
    std::unique_ptr<automation::LocalHelpViewer> m_help;
    std::shared_ptr<automation::bridged::BridgeHub> m_hub;
    std::unique_ptr<BridgeWatch> m_bridgeWatch;
    std::unique_ptr<automation::bridged::UnionObjectFactory> m_unionObjects;
    std::unique_ptr<automation::bridged::BridgedWindowManager> m_unionWindows;
};

} // namespace tabulon
