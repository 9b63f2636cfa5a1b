#pragma once

#include "automation/sim/SimDesktop.h"
#include "core/Module1.h"
#include "winlist/WebWindowList.h"

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

namespace tabulon::test {

// A simulated desktop with the program's shared tables over a temporary program
// folder, and a list whose rows are the desktop's browser windows in order.
class PageDesktop
{
public:
    PageDesktop()
        : m_folder(makeFolder()), sim(automation::sim::SimSetup{}), desktop(sim.control()),
          platform(sim.platform()), module(platform, ProgramFiles{m_folder.string(), "tabulon"})
    {}
    ~PageDesktop()
    {
        std::error_code error;
        std::filesystem::remove_all(m_folder, error);
    }
    PageDesktop(const PageDesktop&) = delete;
    PageDesktop& operator=(const PageDesktop&) = delete;

    // Opens a browser window showing a page; its document, to change it further.
    std::shared_ptr<automation::sim::SimDocumentData> open(const std::string& id,
                                                           const std::string& title = "Page")
    {
        automation::sim::SimWindow window;
        window.id = id;
        window.title = title;
        window.url = "http://" + id + ".example/";
        window.document = std::make_shared<automation::sim::SimDocumentData>();
        return desktop.openWindow(std::move(window), false).document;
    }

    // Lists every open browser window, one row each, and selects row selected.
    void listAll(int selected)
    {
        list.clearRows();
        int row = 0;
        for (const auto& browser : platform.objects.createShell()->windows()->items()) {
            list.addRow(desktop.idOf(browser.get()));
            list.setWebWin(++row, browser);
        }
        list.select(selected);
    }

    std::string path(const std::string& name) const { return (m_folder / name).string(); }

private:
    static std::filesystem::path makeFolder()
    {
        static std::atomic<int> counter{0};
        auto folder =
            std::filesystem::temp_directory_path() /
            ("tabulon-page-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
        std::filesystem::create_directories(folder);
        return folder;
    }

    std::filesystem::path m_folder;

public:
    automation::sim::SimDesktop sim;
    automation::sim::SimControl& desktop;
    automation::Platform platform;
    Module1 module;
    WebWindowList list;
};

} // namespace tabulon::test
