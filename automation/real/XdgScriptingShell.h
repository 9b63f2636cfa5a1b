#pragma once

#include "automation/Shell.h"

namespace automation {

// The user's folders on a Linux desktop: the desktop and documents folders as the XDG
// user-dirs settings name them, and the Favourites folder the browser's
// add-to-favourites answer writes to (made when missing).
class XdgScriptingShell : public ScriptingShell
{
public:
    explicit XdgScriptingShell(std::string favoritesFolder);

    // "Desktop", "MyDocuments" or "Favorites"; "" for any other name.
    std::string SpecialFolders(const std::string& name) override;

private:
    std::string m_favoritesFolder;
};

} // namespace automation
