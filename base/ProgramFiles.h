#pragma once

#include <string>

namespace tabulon {

// Joins a folder and a file name with the folder's own separator: a Windows-style
// folder ("C:\Documents and Settings\u") keeps its back-slash, any other a slash.
std::string joinPath(const std::string& folder, const std::string& name);

// Where the program keeps its files: the settings file named after the executable,
// the two lists and the help file, all in the program folder. An installed copy
// writes its files elsewhere and reads its help from the folder it was installed with.
struct ProgramFiles
{
    std::string folder;
    std::string exeName = "tabulon"; // the executable's base name
    std::string helpFolder = {};     // where the help file is; empty: the program folder

    std::string settingsPath() const { return joinPath(folder, exeName + ".ini"); }
    std::string siteListPath() const { return joinPath(folder, "sitelist.txt"); }
    std::string appListPath() const { return joinPath(folder, "applist.txt"); }
    std::string helpPath() const
    {
        return joinPath(helpFolder.empty() ? folder : helpFolder, exeName + ".chm");
    }
};

} // namespace tabulon
