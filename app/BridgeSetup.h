#pragma once

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

// --install-browser-bridge: writes the host manifests under home and says on out what
// was written and the one step left in each browser. --uninstall-browser-bridge:
// removes what that wrote. The exit status; a failure is said on err.
int installBrowserBridge(const std::string& home, const BridgeFiles& files, std::ostream& out,
                         std::ostream& err);
int uninstallBrowserBridge(const std::string& home, std::ostream& out, std::ostream& err);

} // namespace tabulon
