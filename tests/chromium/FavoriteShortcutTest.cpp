#include "automation/chromium/FavoriteShortcut.h"

#include "automation/WindowManager.h"
#include "automation/chromium/ChromiumBrowser.h"
#include "automation/chromium/ChromiumDocument.h"
#include "automation/chromium/ChromiumWindows.h"
#include "automation/chromium/WindowHandle.h"
#include "base/Cp932.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <vector>

using namespace automation::chromium;

TEST(FavoriteKeys, TheNameBetweenTheDialogsKeys)
{
    EXPECT_EQ(favoriteNameFromKeys("%A{ENTER}{TAB}D3{ENTER}"), "D3");
    EXPECT_EQ(favoriteNameFromKeys("%A{ENTER}D12{ENTER}"), "D12");
    EXPECT_EQ(favoriteNameFromKeys("%A{ENTER}{TAB}お気に入り{ENTER}"), "お気に入り");

    EXPECT_FALSE(favoriteNameFromKeys("D3{ENTER}"));
    EXPECT_FALSE(favoriteNameFromKeys("%A{ENTER}{TAB}{ENTER}"));
    EXPECT_FALSE(favoriteNameFromKeys("%A{ENTER}{TAB}D3"));
    EXPECT_FALSE(favoriteNameFromKeys("%A{ENTER}{TAB}D{TAB}3{ENTER}"));
    // Names that would leave the Favourites folder, or are no names at all.
    EXPECT_FALSE(favoriteNameFromKeys("%A{ENTER}{TAB}../D3{ENTER}"));
    EXPECT_FALSE(favoriteNameFromKeys("%A{ENTER}{TAB}..{ENTER}"));
    EXPECT_FALSE(favoriteNameFromKeys(std::string("%A{ENTER}D\n3{ENTER}")));
}

// The lines of a shortcut file, split at CR LF only (the only line end it writes).
std::vector<std::string> linesOf(const std::string& bytes)
{
    std::vector<std::string> lines;
    std::size_t from = 0;
    for (std::size_t at; (at = bytes.find("\r\n", from)) != std::string::npos; from = at + 2)
        lines.push_back(bytes.substr(from, at - from));
    EXPECT_EQ(from, bytes.size()) << "the file ends with CR LF";
    return lines;
}

TEST(FavoriteText, ABaseUrlLineForThePageAndEachFrameThenTheAddress)
{
    const std::string bytes = favoriteShortcutBytes(
        "http://h/top.html", {{"left", "http://h/a.html"}, {"", "http://other/b.html"}});
    EXPECT_EQ(bytes, "[DEFAULT]\r\nBASEURL=http://h/top.html\r\n"
                     "[DOC_left]\r\nBASEURL=http://h/a.html\r\n"
                     "[DOC_frame1]\r\nBASEURL=http://other/b.html\r\n"
                     "[InternetShortcut]\r\nURL=http://h/top.html\r\n");
    // Names are written as the list files are: CP932.
    EXPECT_EQ(favoriteShortcutBytes("http://h/", {{"左", "http://h/a.html"}}),
              "[DEFAULT]\r\nBASEURL=http://h/\r\n[DOC_" + tabulon::toCp932("左") +
                  "]\r\nBASEURL=http://h/a.html\r\n[InternetShortcut]\r\nURL=http://h/\r\n");
}

TEST(FavoriteText, NoValueAddsALineWhateverItHolds)
{
    // A line break, a NUL, or the characters the codec writes back as the bytes CR
    // and LF (U+10FF0D, U+10FF0A), in a frame's name or in an address.
    const std::string injected = "URL=javascript:alert(1)";
    for (const std::string& breaker :
         {std::string("\r\n"), std::string("\n"), std::string("\r"), std::string("\0", 1),
          std::string("\xF4\x8F\xBC\x8D\xF4\x8F\xBC\x8A"), std::string("\xF4\x8F\xBC\x8A")}) {
        const std::string tail = breaker + injected;
        std::string frameName = "x]" + tail;
        frameName += breaker;
        frameName += "[DOC_y";
        const std::string bytes =
            favoriteShortcutBytes("http://h/top.html" + tail, {{frameName, "http://h/a" + tail}});
        const auto lines = linesOf(bytes);
        ASSERT_EQ(lines.size(), 6u) << bytes;
        EXPECT_EQ(bytes.find('\0'), std::string::npos);
        for (const std::string& line : lines) {
            EXPECT_EQ(line.find('\r'), std::string::npos);
            EXPECT_NE(line.rfind(injected, 0), 0u) << line;
        }
        EXPECT_EQ(lines[5], "URL=http://h/top.html" + injected);
    }
}

TEST(BrowserValues, AddressesHandlesAndColours)
{
    EXPECT_EQ(ChromiumBrowser::navigableAddress("http://a/b"), "http://a/b");
    EXPECT_EQ(ChromiumBrowser::navigableAddress("www.example.com"), "http://www.example.com");
    EXPECT_EQ(ChromiumBrowser::navigableAddress("about:blank"), "about:blank");
    EXPECT_EQ(ChromiumBrowser::navigableAddress("/tmp/a b.html"), "file:///tmp/a b.html");

    const automation::Hwnd handle = handleOfWindow(1547307875);
    EXPECT_TRUE(ChromiumWindows::owns(handle));
    EXPECT_EQ(windowOfHandle(handle), 1547307875);
    // X11 ids and the program's own handles are never taken for browser windows.
    EXPECT_FALSE(ChromiumWindows::owns(0x1FFFFFFF));
    EXPECT_FALSE(ChromiumWindows::owns(0));
    EXPECT_FALSE(ChromiumWindows::owns(automation::HWND_TOPMOST));

    EXPECT_EQ(ChromiumDocument::htmlColor(0x9400D3), "#9400d3");
    EXPECT_EQ(ChromiumDocument::htmlColor(0), "#000000");
    EXPECT_EQ(ChromiumDocument::htmlColor(-1), "#ffffff");
}
