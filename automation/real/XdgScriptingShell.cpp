#include "automation/real/XdgScriptingShell.h"

#include "automation/Error.h"

#include <QStandardPaths>
#include <filesystem>
#include <system_error>

namespace automation {

namespace {

std::string withoutTrailingSlash(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::string location(QStandardPaths::StandardLocation which)
{
    return withoutTrailingSlash(QStandardPaths::writableLocation(which).toStdString());
}

} // namespace

XdgScriptingShell::XdgScriptingShell(std::string favoritesFolder)
    : m_favoritesFolder(withoutTrailingSlash(std::move(favoritesFolder)))
{}

std::string XdgScriptingShell::SpecialFolders(const std::string& name)
{
    if (name == "Desktop")
        return location(QStandardPaths::DesktopLocation);
    if (name == "MyDocuments")
        return location(QStandardPaths::DocumentsLocation);
    if (name == "Favorites") {
        // The browser writes its answers here; the clean-up and the frame expansion
        // read it, so it has to exist before either looks.
        namespace fs = std::filesystem;
        std::error_code error;
        // A folder made for the user's shortcuts is the user's alone.
        if (fs::create_directories(m_favoritesFolder, error))
            fs::permissions(m_favoritesFolder, fs::perms::owner_all, error);
        if (!fs::is_directory(m_favoritesFolder, error))
            throw Error("SpecialFolders", "cannot make the Favourites folder " + m_favoritesFolder);
        return m_favoritesFolder;
    }
    return {};
}

} // namespace automation
