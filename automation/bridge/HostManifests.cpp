#include "automation/bridge/HostManifests.h"

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <span>
#include <stdexcept>
#include <unistd.h>

namespace automation::bridge {

namespace fs = std::filesystem;

namespace {

struct Family
{
    const char* config; // under the home or the root folder
    const char* manifests;
    bool always;
    bool firefox;
};

constexpr Family kUserFamilies[] = {
    {".config/chromium", "NativeMessagingHosts", true, false},
    {".config/google-chrome", "NativeMessagingHosts", false, false},
    {".config/BraveSoftware/Brave-Browser", "NativeMessagingHosts", false, false},
    {".config/microsoft-edge", "NativeMessagingHosts", false, false},
    {".config/vivaldi", "NativeMessagingHosts", false, false},
    {".mozilla", "native-messaging-hosts", true, true},
};

// The machine's folders are written whether or not the browser is there yet, so one
// installed later finds the bridge too.
constexpr Family kSystemFamilies[] = {
    {"etc/chromium", "native-messaging-hosts", true, false},
    {"etc/opt/chrome", "native-messaging-hosts", true, false},
    {"usr/lib/mozilla", "native-messaging-hosts", true, true},
};

std::span<const Family> families(BridgeScope scope)
{
    if (scope == BridgeScope::System)
        return kSystemFamilies;
    return kUserFamilies;
}

fs::path manifestPath(const std::string& base, const Family& family)
{
    return fs::path(base) / family.config / family.manifests / (std::string(kHostName) + ".json");
}

void removeIfEmpty(const fs::path& folder)
{
    std::error_code error;
    if (fs::is_empty(folder, error) && !error)
        fs::remove(folder, error);
}

std::string manifest(const std::string& hostPath, const char* allowKey, const std::string& allowed)
{
    const nlohmann::json text = {{"name", kHostName},
                                 {"description", "Tabulon's bridge to this browser"},
                                 {"path", hostPath},
                                 {"type", "stdio"},
                                 {allowKey, nlohmann::json::array({allowed})}};
    return text.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

bool namesOurHost(const fs::path& path)
{
    std::ifstream in(path);
    const auto text = nlohmann::json::parse(in, nullptr, false);
    return text.is_object() && text.value("name", "") == kHostName;
}

} // namespace

std::string chromiumHostManifest(const std::string& hostPath)
{
    return manifest(hostPath, "allowed_origins",
                    std::string("chrome-extension://") + kChromiumExtensionId + "/");
}

std::string firefoxHostManifest(const std::string& hostPath)
{
    return manifest(hostPath, "allowed_extensions", kFirefoxExtensionId);
}

void writeHostManifest(const std::string& path, const std::string& text)
{
    const fs::path target(path);
    std::error_code error;
    fs::create_directories(target.parent_path(), error);
    const fs::path temporary = target.parent_path() / ("." + target.filename().string() + "." +
                                                       std::to_string(::getpid()));
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        out.flush();
        if (!out)
            throw std::runtime_error("cannot write " + temporary.string());
    }
    fs::rename(temporary, target, error);
    if (error) {
        fs::remove(temporary, error);
        throw std::runtime_error("cannot write " + target.string());
    }
}

std::vector<std::string> installBrowserBridge(const std::string& base, const std::string& hostPath,
                                              BridgeScope scope)
{
    if (!fs::path(hostPath).is_absolute())
        throw std::runtime_error("the host's path must be absolute: " + hostPath);
    std::vector<std::string> written;
    for (const Family& family : families(scope)) {
        std::error_code error;
        if (!family.always && !fs::is_directory(fs::path(base) / family.config, error))
            continue;
        const fs::path path = manifestPath(base, family);
        writeHostManifest(path.string(), family.firefox ? firefoxHostManifest(hostPath)
                                                        : chromiumHostManifest(hostPath));
        written.push_back(path.string());
    }
    return written;
}

std::vector<std::string> uninstallBrowserBridge(const std::string& base, BridgeScope scope)
{
    std::vector<std::string> removed;
    for (const Family& family : families(scope)) {
        const fs::path path = manifestPath(base, family);
        std::error_code error;
        if (!fs::is_regular_file(fs::symlink_status(path, error)) || !namesOurHost(path))
            continue;
        if (fs::remove(path, error))
            removed.push_back(path.string());
        // Installing made the manifests' folder, and the browser's own when it was not
        // there yet (a browser never started); neither is left behind empty.
        removeIfEmpty(path.parent_path());
        removeIfEmpty(path.parent_path().parent_path());
    }
    return removed;
}

} // namespace automation::bridge
