#include "core/Module1.h"

#include "core/ListFile.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <iostream>
#include <limits>
#include <vector>

namespace tabulon {

namespace {

const char* const kWeatherName = "天気予報";
const char* const kWeatherUrl = "https://tenki.jp/";
const char* const kNotepadName = "メモ帳";

bool isWindowsStylePath(const std::string& path)
{
    return path.size() >= 2 && path[1] == ':';
}

// The text editor the default application entry starts. On a Windows-style desktop it
// is notepad in the system folder; elsewhere the first graphical editor installed. With
// none installed it names the first of them, which starts nothing: "editor" would be a
// terminal editor, started without a terminal.
std::string defaultNotepadPath(const std::string& winDir, automation::FileSystem& files)
{
    if (isWindowsStylePath(winDir))
        return winDir + "\\notepad.exe";
    static const char* const kEditors[] = {
        "gnome-text-editor", "gedit",   "mousepad", "kwrite", "kate", "xed", "pluma",
        "featherpad",        "leafpad", "geany",    "xedit"};
    for (const char* editor : kEditors) {
        std::string path = joinPath(winDir, editor);
        if (files.isFile(path))
            return path;
    }
    return joinPath(winDir, kEditors[0]);
}

template <typename Entry, std::size_t N>
std::vector<ListEntry> tableEntries(const std::array<Entry, N>& table, std::int32_t last,
                                    std::string Entry::*value)
{
    std::vector<ListEntry> entries;
    for (std::int32_t i = 0; i <= last && i < static_cast<std::int32_t>(N); ++i)
        entries.push_back(
            {table[static_cast<std::size_t>(i)].Name, table[static_cast<std::size_t>(i)].*value});
    return entries;
}

} // namespace

Module1::Module1(automation::Platform& platform, ProgramFiles files)
    : ComDialog1(platform.dialogs), m_platform(platform), m_files(std::move(files)),
      m_ini(platform.files, m_files.settingsPath())
{}

bool Module1::WriteIni(const std::string& section, const std::string& key, const std::string& value)
{
    return saved(m_ini.path(), m_ini.write(section, key, value));
}

bool Module1::saved(const std::string& path, const FileResult<void>& result)
{
    if (result) {
        m_unsaved.erase(path);
        return true;
    }
    if (m_unsaved.insert(path).second)
        std::cerr << "tabulon: " << path << ": not saved: " << result.error().detail << '\n';
    return false;
}

std::string Module1::ReadIni(const std::string& section, const std::string& key) const
{
    return m_ini.read(section, key);
}

std::string Module1::GetWinState(automation::Hwnd hwnd)
{
    if (hwnd == 0)
        return "0";
    if (m_platform.windows.IsZoomed(hwnd))
        return "L";
    if (m_platform.windows.IsIconic(hwnd))
        return "S";
    return "M";
}

void Module1::MinimizeWin(automation::Hwnd hwnd)
{
    m_platform.windows.CloseWindow(hwnd);
}

void Module1::RestoreWin(automation::Hwnd hwnd)
{
    m_platform.windows.OpenIcon(hwnd);
}

void Module1::OpenSiteWindow(const std::string& url)
{
    CurIE = m_platform.objects.createBrowser();
    CurIE->put(automation::BrowserProperty::FullScreen, false);
    CurIE->put(automation::BrowserProperty::Toolbar, true);
    CurIE->put(automation::BrowserProperty::MenuBar, true);
    CurIE->Navigate(url);
    CurIE->put(automation::BrowserProperty::Visible, true);
}

void Module1::LoadSiteList()
{
    const auto entries = readListFile(m_platform.files, m_files.siteListPath(), kSiteSlots);
    m_siteListUnread = !entries && m_platform.files.isFile(m_files.siteListPath());
    // No file, or an empty one: the built-in entry, and nothing is written.
    if (!entries || entries->empty()) {
        SiteLast = 0;
        SiteList[0] = {kWeatherName, kWeatherUrl};
        return;
    }
    SiteLast = static_cast<std::int32_t>(entries->size()) - 1;
    for (std::size_t i = 0; i < entries->size(); ++i)
        SiteList[i] = {(*entries)[i].name, (*entries)[i].value};
}

void Module1::LoadAppList()
{
    const auto entries = readListFile(m_platform.files, m_files.appListPath(), kAppSlots);
    m_appListUnread = !entries && m_platform.files.isFile(m_files.appListPath());
    if (!entries || entries->empty()) {
        AppLast = 0;
        AppList[0] = {kNotepadName, defaultNotepadPath(WinDir, m_platform.files)};
        return;
    }
    AppLast = static_cast<std::int32_t>(entries->size()) - 1;
    for (std::size_t i = 0; i < entries->size(); ++i)
        AppList[i] = {(*entries)[i].name, (*entries)[i].value};
}

bool Module1::SaveSiteList()
{
    if (!mayWriteList(m_siteListUnread, m_files.siteListPath()))
        return false;
    return saved(m_files.siteListPath(),
                 writeListFile(m_platform.files, m_files.siteListPath(),
                               tableEntries(SiteList, SiteLast, &SiteEntry::URL)));
}

bool Module1::SaveAppList()
{
    if (!mayWriteList(m_appListUnread, m_files.appListPath()))
        return false;
    return saved(m_files.appListPath(),
                 writeListFile(m_platform.files, m_files.appListPath(),
                               tableEntries(AppList, AppLast, &AppEntry::Path)));
}

// A list file that was there but could not be read is not in the table: writing the
// table would put the built-in entry and the changes in place of the user's list. It
// stays as it is for the whole run, unless it goes away.
bool Module1::mayWriteList(bool& unread, const std::string& path)
{
    if (unread && m_platform.files.isFile(path)) {
        std::cerr << "tabulon: " << path
                  << ": not saved: the file could not be read at start-up, and is kept as it is\n";
        return false;
    }
    unread = false;
    return true;
}

std::string guessWinDir(const std::string& desktopPath)
{
    if (!isWindowsStylePath(desktopPath))
        return "/usr/bin";
    std::string lower = desktopPath;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    std::string drive = desktopPath.substr(0, 2);
    std::transform(drive.begin(), drive.end(), drive.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return drive + (lower.find(":\\winnt") != std::string::npos ? "\\winnt" : "\\windows");
}

double leadingNumber(const std::string& text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    double sign = 1;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        sign = text[i] == '-' ? -1 : 1;
        ++i;
    }
    double value = 0;
    bool digits = false;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
        value = value * 10 + (text[i] - '0');
        digits = true;
        ++i;
    }
    if (i < text.size() && text[i] == '.') {
        double scale = 0.1;
        for (++i; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
            value += (text[i] - '0') * scale;
            scale /= 10;
            digits = true;
        }
    }
    return digits ? sign * value : 0;
}

std::int32_t toLong(double value)
{
    if (std::isnan(value))
        return 0;
    const double rounded = std::nearbyint(value);
    if (rounded <= std::numeric_limits<std::int32_t>::min())
        return std::numeric_limits<std::int32_t>::min();
    if (rounded >= std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(rounded);
}

} // namespace tabulon
