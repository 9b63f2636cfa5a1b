#pragma once

#include "automation/CommonDialog.h"

#include <functional>
#include <string>
#include <vector>

namespace automation {

// Opens a compiled help file on this machine. A CHM viewer, when one is installed,
// shows the file from its default topic (the program's help starts at its
// introduction). Without one, the file is extracted with extract_chmLib into a
// cache folder, once per version of the file, and the topic's page is opened in the
// browser with xdg-open. Nothing is shown when neither works.
class LocalHelpViewer : public HelpViewer
{
public:
    // What the viewer needs of the machine; tests hand in their own.
    struct Tools
    {
        // The full path of a program found on PATH, "" when there is none.
        std::function<std::string(const std::string& name)> findProgram;
        // Starts a program and leaves it running; false when it could not start.
        std::function<bool(const std::vector<std::string>& argv)> start;
        // Runs a program to its end, killing it after timeoutMs; true when it ended with 0.
        std::function<bool(const std::vector<std::string>& argv, int timeoutMs)> run;
    };

    // The machine's own programs; extractions cached under $XDG_CACHE_HOME/tabulon/help.
    LocalHelpViewer();
    LocalHelpViewer(Tools tools, std::string cacheFolder);

    void HtmlHelp(const std::string& file, const std::string& topic) override;

    static Tools machineTools();
    static std::string defaultCacheFolder();

private:
    // The folder holding the file's extracted pages, extracting them when needed;
    // "" when that failed.
    std::string extracted(const std::string& file);

    Tools m_tools;
    std::string m_cacheFolder;
};

} // namespace automation
