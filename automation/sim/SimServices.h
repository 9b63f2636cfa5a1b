#pragma once

#include "automation/CommonDialog.h"
#include "automation/FileSystem.h"
#include "automation/Launcher.h"

#include <cstdint>
#include <deque>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace automation::sim {

class SimDesktop;

// The file system as the program sees it on the simulated desktop: the machine's own
// files, with every deletion recorded.
class SimFileSystem : public FileSystem
{
public:
    SimFileSystem(SimDesktop& desktop, FileSystem& disk) : m_desktop(desktop), m_disk(disk) {}

    bool isFile(const std::string& path) override { return m_disk.isFile(path); }
    std::vector<std::string> listFiles(const std::string& folder,
                                       const std::string& suffix) override
    {
        return m_disk.listFiles(folder, suffix);
    }
    std::optional<std::string> readFile(const std::string& path) override
    {
        return m_disk.readFile(path);
    }
    bool readLines(const std::string& path,
                   const std::function<bool(std::string_view)>& onLine) override
    {
        return m_disk.readLines(path, onLine);
    }
    bool replaceFile(const std::string& path, std::string_view bytes) override;
    bool DeleteFile(const std::string& path) override;

    // Makes every later replaceFile fail, as a full disk would.
    void setWritesFail(bool fail) { m_writesFail = fail; }

private:
    SimDesktop& m_desktop;
    FileSystem& m_disk;
    bool m_writesFail = false;
};

// Programs started and files opened are recorded, nothing more.
class SimLauncher : public Launcher
{
public:
    explicit SimLauncher(SimDesktop& desktop) : m_desktop(desktop) {}
    void ShellExecute(Hwnd owner, const std::string& operation, const std::string& file,
                      const std::string& parameters, const std::string& directory,
                      int show) override;
    void StartProgram(const std::string& commandLine, int show) override;

private:
    SimDesktop& m_desktop;
};

// Message boxes and common dialogs take queued answers; without one they are
// cancelled. Every dialog shown is recorded.
class SimDialogs : public CommonDialog, public MessageBox
{
public:
    std::optional<std::uint32_t> ShowColor(std::uint32_t initial) override;
    std::optional<std::string> ShowOpen(const std::string& initDir) override;
    std::optional<std::string> ShowSave(const std::string& initDir) override;
    MsgBoxAnswer MsgBox(const std::string& text, const std::string& title,
                        MsgBoxButtons buttons) override;

    void queueMsgBox(MsgBoxAnswer answer) { m_msgbox.push_back(answer); }
    void queueColor(std::optional<std::uint32_t> answer) { m_color.push_back(answer); }
    void queueOpen(std::optional<std::string> answer) { m_open.push_back(std::move(answer)); }
    void queueSave(std::optional<std::string> answer) { m_save.push_back(std::move(answer)); }

    // The dialogs shown since the last call, oldest first.
    nlohmann::json takeShown();

private:
    std::deque<MsgBoxAnswer> m_msgbox;
    std::deque<std::optional<std::uint32_t>> m_color;
    std::deque<std::optional<std::string>> m_open;
    std::deque<std::optional<std::string>> m_save;
    nlohmann::json m_shown = nlohmann::json::array();
};

// Help requests are recorded.
class SimHelp : public HelpViewer
{
public:
    explicit SimHelp(SimDesktop& desktop) : m_desktop(desktop) {}
    void HtmlHelp(const std::string& file, const std::string& topic) override;

private:
    SimDesktop& m_desktop;
};

} // namespace automation::sim
