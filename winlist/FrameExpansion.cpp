#include "winlist/FrameExpansion.h"

#include "base/AsciiText.h"
#include "base/Cp932.h"
#include "base/ProgramFiles.h"
#include "core/Module1.h"
#include "winlist/WebWindowList.h"

#include <algorithm>

namespace tabulon {

using automation::skipOnFailure;

namespace {

const char* const kBrowserCaptionSuffix = " - Microsoft Internet Explorer";

bool isContinuationByte(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Characters, not bytes: a Japanese address counts its letters.
std::size_t characterCount(std::string_view utf8)
{
    return static_cast<std::size_t>(
        std::count_if(utf8.begin(), utf8.end(), [](char c) { return !isContinuationByte(c); }));
}

// text without its first count characters.
std::string_view dropCharacters(std::string_view text, std::size_t count)
{
    std::size_t i = 0;
    for (std::size_t dropped = 0; dropped < count && i < text.size(); ++dropped) {
        ++i;
        while (i < text.size() && isContinuationByte(text[i]))
            ++i;
    }
    return text.substr(i);
}

void replaceAll(std::string& text, std::string_view from, std::string_view to)
{
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

void collect(std::vector<std::string>& List1, std::string_view address)
{
    if (!isOpenableAddress(address))
        return;
    std::string s = NormalizeUrl(address);
    if (characterCount(s) >= kMinFrameAddress)
        List1.push_back(std::move(s));
}

std::shared_ptr<automation::HtmlDocument> documentOf(automation::PageWindow& window)
{
    auto document = window.Document();
    if (!document)
        throw automation::Error("Document", "the window shows no document");
    return document;
}

bool contains(const std::vector<std::string>& names, const std::string& name)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

std::string favoritePath(const std::string& folder, const std::string& name)
{
    return joinPath(folder, name + ".url");
}

// The first name D<n> whose file does not exist. A name given up on earlier is never
// taken again: its file may still appear and must not pass for the new one.
std::string freeFavoriteName(automation::FileSystem& files, const std::string& folder,
                             const std::vector<std::string>& late)
{
    for (long long n = 1;; ++n) {
        std::string name = "D" + std::to_string(n);
        const std::string path = favoritePath(folder, name);
        if (!files.isFile(path) && !contains(late, path))
            return name;
    }
}

// Lets events run until the file exists; false when the time limit passed first or
// the program ended meanwhile.
bool awaitFile(automation::Platform& platform, FavoriteWait& wait, const std::string& path)
{
    const std::int64_t start = platform.clock.nowMs();
    while (!platform.files.isFile(path)) {
        if (platform.clock.nowMs() - start >= wait.limitMs || (wait.ended && wait.ended()))
            return false;
        platform.clock.DoEvents();
    }
    return true;
}

void removeRepeats(std::vector<std::string>& entries)
{
    std::vector<std::string> kept;
    for (std::string& entry : entries) {
        if (!contains(kept, entry))
            kept.push_back(std::move(entry));
    }
    entries = std::move(kept);
}

} // namespace

bool isOpenableAddress(std::string_view address)
{
    // Read as the browser reads an address: blanks and control characters in front
    // are dropped, tabs and line breaks anywhere.
    std::string s;
    for (const char c : address) {
        const auto byte = static_cast<unsigned char>(c);
        if ((s.empty() && byte <= 0x20) || c == '\t' || c == '\r' || c == '\n')
            continue;
        s.push_back(c);
    }
    const auto isLetter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    std::size_t end = 0;
    while (end < s.size() &&
           (isLetter(s[end]) || (end > 0 && ((s[end] >= '0' && s[end] <= '9') || s[end] == '+' ||
                                             s[end] == '-' || s[end] == '.'))))
        ++end;
    if (end == s.size() || s[end] != ':' || end < 2)
        return true;
    const std::string scheme = asciiLower(std::string_view(s).substr(0, end));
    return scheme == "http" || scheme == "https" || scheme == "file" || scheme == "ftp";
}

std::string NormalizeUrl(std::string_view address)
{
    std::string s(address);
    if (s.rfind("file", 0) == 0) {
        s = asciiLower(dropCharacters(s, 6));
        const std::size_t firstNotSlash = s.find_first_not_of('/');
        s.erase(0, firstNotSlash == std::string::npos ? s.size() : firstNotSlash);
        replaceAll(s, "%20", " ");
        std::replace(s.begin(), s.end(), '\\', '/');
    }
    if (s.find('+') != std::string::npos)
        s.clear();
    return s;
}

void GetFramesByDOM(automation::PageWindow& p, std::vector<std::string>& List1)
{
    const auto t = p.Parent();
    const auto document = documentOf(*t);
    const int n = document->FramesLength();
    for (int j = 0; j < n; ++j)
        skipOnFailure([&] { collect(List1, document->FramesItem(j)->Location()); });
}

void GetFramesByFavorite(automation::PageWindow& p, automation::Platform& platform,
                         FavoriteWait& wait, std::vector<std::string>& List1)
{
    const auto t = p.Parent();
    const std::string folder = platform.objects.createScriptingShell()->SpecialFolders("Favorites");
    // Without a Favourites folder there is nowhere the browser could write the file.
    if (folder.empty())
        throw automation::Error("SpecialFolders", "no Favorites folder");
    const std::string name = freeFavoriteName(platform.files, folder, wait.late);
    const std::string path = favoritePath(folder, name);

    platform.windows.AppActivate(documentOf(*t)->Title() + kBrowserCaptionSuffix);
    std::string keys = "%A{ENTER}";
    if (t->Location().rfind("file", 0) != 0)
        keys += "{TAB}";
    keys += name + "{ENTER}";

    // From the keystrokes on, the browser may write the file at any time: if this route
    // ends without having read it, the clean-up deletes it when it appears.
    wait.pending = path;
    bool arrived = false;
    try {
        platform.windows.SendKeys(keys);
        arrived = awaitFile(platform, wait, path);
    } catch (...) {
        wait.pending.clear();
        wait.late.push_back(path);
        throw;
    }
    wait.pending.clear();
    if (!arrived) {
        wait.late.push_back(path);
        return;
    }

    static constexpr std::string_view kBase = "BASEURL=";
    platform.files.readLines(path, [&](std::string_view line) {
        if (line.substr(0, kBase.size()) == kBase)
            collect(List1, fromCp932(line.substr(kBase.size())));
        return true;
    });
    if (!platform.files.DeleteFile(path))
        wait.late.push_back(path);
}

void ExpandFrames(FrameExpansion& x)
{
    x.List1.clear();
    // Rows above the 20th have no browser object; without a document there is nothing
    // to expand.
    const auto browser = x.list.selectedWebWin();
    if (!browser)
        return;
    int frames = 0;
    if (!skipOnFailure([&] {
            const auto document = browser->Document();
            if (!document)
                throw automation::Error("Document", "the window shows no document");
            frames = document->FramesLength();
        }) ||
        frames == 0)
        return;

    std::shared_ptr<automation::PageWindow> p;
    skipOnFailure([&] { p = browser->Document()->parentwindow(); });
    if (p) {
        skipOnFailure([&] { GetFramesByFavorite(*p, x.platform, x.wait, x.List1); });
        // The user may have ended the program while the route waited.
        if (x.wait.ended && x.wait.ended())
            return;
        skipOnFailure([&] { GetFramesByDOM(*p, x.List1); });
    }

    removeRepeats(x.List1);
    // The rows as they are now: a tick may have rebuilt the list during the wait.
    std::vector<std::string> listed;
    for (const ListRow& row : x.list.rows())
        listed.push_back(NormalizeUrl(row.sub[4]));
    std::erase_if(x.List1, [&](const std::string& entry) { return contains(listed, entry); });

    for (const std::string& address : x.List1)
        skipOnFailure([&] { x.module.OpenSiteWindow(address); });
    skipOnFailure([&] { x.platform.windows.AppActivate(x.mainCaption); });
}

} // namespace tabulon
