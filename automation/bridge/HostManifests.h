#pragma once

#include <string>
#include <vector>

namespace automation::bridge {

// The native-messaging host's name, and the extension allowed to call it in each
// kind of browser (the Chromium id follows from the public key in the extension's
// manifest).
inline constexpr const char* kHostName = "org.example.tabulon.bridge";
inline constexpr const char* kChromiumExtensionId = "kmfijapfifagppihhoiacpfmojiefhje";
inline constexpr const char* kFirefoxExtensionId = "bridge@tabulon.example.org";

// The host manifest's text for the Chromium family and for Firefox.
std::string chromiumHostManifest(const std::string& hostPath);
std::string firefoxHostManifest(const std::string& hostPath);

// Writes a manifest file atomically, making its folder when missing; throws
// std::runtime_error when it cannot.
void writeHostManifest(const std::string& path, const std::string& text);

// A user's own manifests, under the home folder, or the machine's, under the root
// folder, which every user's Chromium, Google Chrome and Firefox read as well.
enum class BridgeScope
{
    User,
    System
};

// Writes the host manifests under base (the home folder, or the root for the machine).
// A user's: Chromium's and Firefox's always, Google Chrome's, Brave's, Edge's and
// Vivaldi's where that browser's configuration folder exists. The machine's: Chromium's,
// Google Chrome's and Firefox's. Gives the files written; throws std::runtime_error when
// hostPath is not absolute or a file cannot be written.
std::vector<std::string> installBrowserBridge(const std::string& base, const std::string& hostPath,
                                              BridgeScope scope = BridgeScope::User);

// Removes the manifests installBrowserBridge writes (only files that name our host),
// and their folder and the folder above it when that leaves them empty. Gives the
// files removed.
std::vector<std::string> uninstallBrowserBridge(const std::string& base,
                                                BridgeScope scope = BridgeScope::User);

} // namespace automation::bridge
