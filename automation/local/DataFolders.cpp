#include "automation/local/DataFolders.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace automation {

namespace {

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string homeFolder()
{
    std::string home = environment("HOME");
    if (home.empty()) {
        if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir)
            home = entry->pw_dir;
    }
    return home;
}

} // namespace

std::string tabulonDataFolder()
{
    std::string base = environment("XDG_DATA_HOME");
    // A relative XDG_DATA_HOME is invalid and is ignored.
    if (base.empty() || base.front() != '/')
        base = homeFolder() + "/.local/share";
    return base + "/tabulon";
}

std::string defaultFavoritesFolder()
{
    return tabulonDataFolder() + "/Favorites";
}

} // namespace automation
