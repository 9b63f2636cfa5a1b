#pragma once

#include "automation/bridge/HostManifests.h"

#include <iosfwd>
#include <string>

namespace tabulon {

// Where the bridge's pieces are: the host executable, the extension's folder (for the
// Chromium family) and its Firefox package.
struct BridgeFiles
{
    std::string host;
    std::string extensionFolder;
    std::string xpi;
};

// The pieces beside the running executable (the extension folder from the source tree
// the program was built from).
BridgeFiles bridgeFilesBesideProgram();

using automation::bridge::BridgeScope;

// --install-browser-bridge: writes the host manifests under base (the user's home, or
// with --system the root folder, as the package does for every user) and says on out
// what was written and the one step left in each browser. --uninstall-browser-bridge:
// removes what that wrote. The exit status; a failure is said on err.
int installBrowserBridge(const std::string& base, const BridgeFiles& files, std::ostream& out,
                         std::ostream& err, BridgeScope scope = BridgeScope::User);
int uninstallBrowserBridge(const std::string& base, std::ostream& out, std::ostream& err,
                           BridgeScope scope = BridgeScope::User);

} // namespace tabulon
