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

// Writes the host manifests into a user's home: Chromium's and Firefox's always,
// Google Chrome's, Brave's, Edge's and Vivaldi's where that browser's configuration
// folder exists. Gives the files written; throws std::runtime_error when hostPath is
// not absolute or a file cannot be written.
std::vector<std::string> installBrowserBridge(const std::string& home, const std::string& hostPath);

// Removes the manifests installBrowserBridge writes (only files that name our host),
// and their folder when that leaves it empty. Gives the files removed.
std::vector<std::string> uninstallBrowserBridge(const std::string& home);

} // namespace automation::bridge
