#pragma once

#include "automation/Platform.h"
#include "base/ProgramFiles.h"
#include "core/ComDialog.h"
#include "core/IniFile.h"

#include <array>
#include <cstdint>
#include <memory>
#include <set>
#include <string>

namespace tabulon {

struct SiteEntry
{
    std::string Name;
    std::string URL;
};

struct AppEntry
{
    std::string Name;
    std::string Path;
};

inline constexpr int kSiteSlots = 71; // SiteList holds entries 0 to 70
inline constexpr int kAppSlots = 31;  // AppList holds entries 0 to 30

// The base colours: five entries (text, link, active link, visited link, background)
// by two columns (0 applied, 1 edited), each 0x00BBGGRR.
using ColorTable = std::array<std::array<std::int32_t, 2>, 5>;

// The program's shared tables and the small procedures every window calls. One
// instance lives for the whole run; the windows are handed it.
class Module1
{
public:
    Module1(automation::Platform& platform, ProgramFiles files);

    automation::Platform& platform() { return m_platform; }
    const ProgramFiles& files() const { return m_files; }

    // The registered lists: entries 0 to SiteLast and 0 to AppLast are in use.
    std::array<SiteEntry, kSiteSlots> SiteList{};
    std::int32_t SiteLast = 0;
    std::array<AppEntry, kAppSlots> AppList{};
    std::int32_t AppLast = 0;
    ColorTable HtmColors{};

    // Found at start-up.
    std::string WinDir;
    std::string MyDocPath;
    // Scratch: the browser a command works on, the address being handled.
    std::shared_ptr<automation::Browser> CurIE;
    std::string CurURL;
    // The main window's common dialog (colour, Open, Save).
    ComDialog ComDialog1;

    // The settings file, key by key. False when the key could not be written: the file
    // keeps what it had, and the reason goes to the log once until a write succeeds.
    bool WriteIni(const std::string& section, const std::string& key, const std::string& value);
    std::string ReadIni(const std::string& section, const std::string& key) const;

    // "0" for handle 0, "L" maximised, "S" minimised, "M" normal.
    std::string GetWinState(automation::Hwnd hwnd);
    void MinimizeWin(automation::Hwnd hwnd);
    void RestoreWin(automation::Hwnd hwnd);
    static std::int32_t MaxLong(std::int32_t a, std::int32_t b) { return a >= b ? a : b; }
    // Opens a new browser window on the address; a failure goes to the caller.
    void OpenSiteWindow(const std::string& url);

    // sitelist.txt and applist.txt into the tables (the menus follow the tables).
    void LoadSiteList();
    void LoadAppList();
    // Rewrites the file from its table; false when it could not be written, and when the
    // file is there but could not be read at start-up (it is never written over then).
    bool SaveSiteList();
    bool SaveAppList();

private:
    bool mayWriteList(bool& unread, const std::string& path);
    // Whether the write to path went through; a failure is said on the log, once until
    // a write to that path succeeds again.
    bool saved(const std::string& path, const FileResult<void>& result);

    automation::Platform& m_platform;
    ProgramFiles m_files;
    IniFile m_ini;
    // The list file is there but could not be read: the table does not hold it.
    bool m_siteListUnread = false;
    bool m_appListUnread = false;
    // Files whose failed write has been said on the log.
    std::set<std::string> m_unsaved;
};

// The system folder guessed from the desktop folder: "<drive>\winnt" when the path
// holds ":\winnt" (any case), else "<drive>\windows". A POSIX desktop gives "/usr/bin".
std::string guessWinDir(const std::string& desktopPath);

// The number at the start of a text, as the settings file's values are read: blanks
// skipped, an optional sign, digits with an optional fraction; 0 when there is none.
double leadingNumber(const std::string& text);

// A number rounded to the nearest 32-bit integer (halves to even); out of range clamps.
std::int32_t toLong(double value);

} // namespace tabulon
