#include "automation/chromium/FavoriteShortcut.h"

#include "app/Cp932.h"
#include "automation/WindowManager.h"
#include "automation/chromium/ChromiumBrowser.h"
#include "automation/chromium/ChromiumDocument.h"
#include "automation/chromium/ChromiumWindows.h"
#include "automation/chromium/WindowHandle.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

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

TEST(FavoriteText, ABaseUrlLineForThePageAndEachFrameThenTheAddress)
{
    const std::string text = favoriteShortcutText(
        "http://h/top.html", {{"left", "http://h/a.html"}, {"", "http://other/b.html"}});
    EXPECT_EQ(text, "[DEFAULT]\r\nBASEURL=http://h/top.html\r\n"
                    "[DOC_left]\r\nBASEURL=http://h/a.html\r\n"
                    "[DOC_frame1]\r\nBASEURL=http://other/b.html\r\n"
                    "[InternetShortcut]\r\nURL=http://h/top.html\r\n");
    // A line break smuggled into an address cannot make a line of its own.
    const std::string odd = favoriteShortcutText("http://h/x\r\nURL=evil", {});
    EXPECT_EQ(odd.find("\nURL=evil"), std::string::npos);
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
