#include "app/BridgeSetup.h"

#include <filesystem>
#include <ostream>
#include <stdexcept>
#include <system_error>

namespace tabulon {

namespace fs = std::filesystem;

BridgeFiles bridgeFilesBesideProgram()
{
    std::error_code error;
    const fs::path folder = fs::read_symlink("/proc/self/exe", error).parent_path();
    // Installed: the host in libexec, the extension in the data folder.
    const fs::path installed = folder.parent_path() / "libexec/tabulon/tabulon-bridge";
    if (!fs::exists(folder / "tabulon-bridge", error) && fs::exists(installed, error)) {
        const fs::path data = folder.parent_path() / "share/tabulon";
        return {installed.string(), (data / "extension").string(),
                (data / "tabulon-bridge.xpi").string()};
    }
    return {(folder / "tabulon-bridge").string(), TABULON_EXTENSION_DIR,
            (folder / "tabulon-bridge.xpi").string()};
}

int installBrowserBridge(const std::string& base, const BridgeFiles& files, std::ostream& out,
                         std::ostream& err, BridgeScope scope)
{
    std::error_code error;
    if (!fs::is_regular_file(files.host, error)) {
        err << "tabulon: the bridge's host is missing: " << files.host << '\n';
        return 1;
    }
    std::vector<std::string> written;
    try {
        written = automation::bridge::installBrowserBridge(base, files.host, scope);
    } catch (const std::exception& failure) {
        err << "tabulon: " << failure.what() << '\n';
        return 1;
    }
    out << "Wrote the bridge's host manifests:\n";
    for (const std::string& path : written)
        out << "  " << path << '\n';
    out << "\nOne step is left in each browser:\n"
        << "  Chromium, Google Chrome, Brave, Edge, Vivaldi: open the extensions page, switch on\n"
        << "    developer mode, choose \"Load unpacked\" and pick the folder\n"
        << "    " << files.extensionFolder << '\n'
        << "  Firefox: install the add-on " << files.xpi << '\n'
        << "    (Firefox ESR or Developer Edition with xpinstall.signatures.required set to false\n"
        << "    in about:config; or, until Firefox restarts, \"Load Temporary Add-on\" in\n"
        << "    about:debugging)\n"
        << "Then start Tabulon: the browsers' windows join its list.\n";
    return 0;
}

int uninstallBrowserBridge(const std::string& base, std::ostream& out, std::ostream&,
                           BridgeScope scope)
{
    const auto removed = automation::bridge::uninstallBrowserBridge(base, scope);
    if (removed.empty())
        out << "No host manifest of the bridge was found.\n";
    for (const std::string& path : removed)
        out << "Removed " << path << '\n';
    out << "The extension itself is removed in each browser's extensions page.\n";
    return 0;
}

} // namespace tabulon
