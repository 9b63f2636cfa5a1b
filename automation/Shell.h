#pragma once

#include <memory>
#include <string>
#include <vector>

namespace automation {

class Browser;

// The shell's collection of open shell and browser windows.
class ShellWindows
{
public:
    virtual ~ShellWindows() = default;

    // The windows open now, in the collection's order. Each call looks afresh, unless
    // a reading begun by beginRefresh serves.
    virtual std::vector<std::shared_ptr<Browser>> items() = 0;
    // Begins reading every window for the next items() and the reads of its windows,
    // without waiting for the answers; true when the reading is complete already
    // (a collection that reads at once completes it at once).
    virtual bool beginRefresh() { return true; }
    // Takes in the answers that have arrived, without waiting; true once complete.
    // Reads made before it is complete see what has answered by then.
    virtual bool continueRefresh() { return true; }
};

// The desktop shell's automation object.
class Shell
{
public:
    virtual ~Shell() = default;

    // The collection of open shell and browser windows.
    virtual std::shared_ptr<ShellWindows> windows() = 0;

    // Minimises every top-level window of the desktop.
    virtual void MinimizeAll() = 0;
    // Arranges every top-level window that is not minimised.
    virtual void TileVertically() = 0;
    virtual void TileHorizontally() = 0;
    virtual void CascadeWindows() = 0;
};

// The scripting shell: where the user's folders are.
class ScriptingShell
{
public:
    virtual ~ScriptingShell() = default;

    // The path of "Desktop", "MyDocuments" or "Favorites", without a trailing separator.
    virtual std::string SpecialFolders(const std::string& name) = 0;
};

// Makes the automation objects the program creates by name.
class ObjectFactory
{
public:
    virtual ~ObjectFactory() = default;

    virtual std::shared_ptr<Shell> createShell() = 0;
    virtual std::shared_ptr<ScriptingShell> createScriptingShell() = 0;
    // A new, not yet visible browser window.
    virtual std::shared_ptr<Browser> createBrowser() = 0;
    // A new browser window of the named browser program ("" the program's own) while
    // that program is there; otherwise where createBrowser opens one.
    virtual std::shared_ptr<Browser> createBrowserIn(const std::string& browserName)
    {
        (void)browserName;
        return createBrowser();
    }
};

} // namespace automation
