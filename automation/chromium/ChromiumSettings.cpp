#include "automation/chromium/ChromiumSettings.h"

#include "automation/local/DataFolders.h"

#include <cstdlib>

namespace automation::chromium {

namespace {

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

} // namespace

ChromiumSettings ChromiumSettings::fromEnvironment()
{
    ChromiumSettings settings;
    if (const std::string executable = environment("TABULON_CHROMIUM"); !executable.empty())
        settings.launch.executable = executable;
    settings.launch.profileDir = tabulonDataFolder() + "/chromium";
    settings.devtoolsUrl = environment("TABULON_DEVTOOLS");
    return settings;
}

} // namespace automation::chromium
