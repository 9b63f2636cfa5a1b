#pragma once

#include "automation/Browser.h"
#include "automation/HtmlDocument.h"
#include "automation/PageWindow.h"
#include "automation/Shell.h"
#include "automation/sim/SimWindow.h"

#include <memory>
#include <nlohmann/json.hpp>
#include <string>

namespace automation::sim {

class SimDesktop;

// A browser object of the simulated desktop: one window of its collection, or one
// the program created. Once the window is closed every member raises.
class SimBrowserObject : public Browser
{
public:
    SimBrowserObject(SimDesktop& desktop, std::shared_ptr<SimWindow> window);

    const std::string& id() const { return m_window->id; }

    bool busy() override;
    std::string LocationURL() override;
    std::string LocationName() override;
    Hwnd hWnd() override;
    long Height() override;
    long Width() override;
    std::shared_ptr<HtmlDocument> Document() override;
    void put(BrowserProperty property, bool value) override;
    bool get(BrowserProperty property) override;
    void Navigate(const std::string& url) override;
    void Quit() override;

private:
    SimWindow& use(std::string_view member);
    SimWindow& read(std::string_view member);

    SimDesktop& m_desktop;
    std::shared_ptr<SimWindow> m_window;
};

// A page's document; it belongs to the page the window showed when it was read.
class SimDocumentObject : public HtmlDocument
{
public:
    SimDocumentObject(SimDesktop& desktop, std::shared_ptr<SimWindow> window,
                      std::shared_ptr<SimDocumentData> data);

    std::string Title() override;
    std::shared_ptr<PageWindow> parentwindow() override;
    int FramesLength() override;
    std::shared_ptr<PageWindow> FramesItem(int index) override;
    std::string bodyBackground() override;
    void putBodyBackground(const std::string& value) override;
    std::string bodyFontSize() override;
    void putBodyFontSize(const std::string& value) override;
    void putColor(DocumentColor color, std::int32_t rgb) override;
    std::string referrer() override;
    std::string cookie() override;
    std::string lastModified() override;
    int collectionLength(DocumentCollection collection) override;
    std::string imageHref(int index) override;
    std::string imageFileSize(int index) override;
    std::string linkInnerHTML(int index) override;
    std::string linkHref(int index) override;

private:
    SimDocumentData& read(std::string_view member);
    SimBody& body(std::string_view member);
    void put(nlohmann::json call, std::string_view member, const std::function<void()>& change);

    SimDesktop& m_desktop;
    std::shared_ptr<SimWindow> m_window;
    std::shared_ptr<SimDocumentData> m_data;
};

// The window object of a page (frame -1) or of one of its frames.
class SimPageWindowObject : public PageWindow
{
public:
    SimPageWindowObject(SimDesktop& desktop, std::shared_ptr<SimWindow> window,
                        std::shared_ptr<SimDocumentData> data, int frame);

    void moveto(double x, double y) override;
    void resizeto(double width, double height) override;
    int historyLength() override;
    std::shared_ptr<PageWindow> Parent() override;
    std::shared_ptr<HtmlDocument> Document() override;
    std::string Location() override;

private:
    SimWindow& use(std::string_view member);

    SimDesktop& m_desktop;
    std::shared_ptr<SimWindow> m_window;
    std::shared_ptr<SimDocumentData> m_data;
    int m_frame;
};

class SimShellWindowsObject : public ShellWindows
{
public:
    explicit SimShellWindowsObject(SimDesktop& desktop) : m_desktop(desktop) {}
    std::vector<std::shared_ptr<Browser>> items() override;

private:
    SimDesktop& m_desktop;
};

class SimShellObject : public Shell
{
public:
    explicit SimShellObject(SimDesktop& desktop) : m_desktop(desktop) {}
    std::shared_ptr<ShellWindows> windows() override;
    void MinimizeAll() override;
    void TileVertically() override;
    void TileHorizontally() override;
    void CascadeWindows() override;

private:
    SimDesktop& m_desktop;
};

class SimScriptingShellObject : public ScriptingShell
{
public:
    explicit SimScriptingShellObject(SimDesktop& desktop) : m_desktop(desktop) {}
    std::string SpecialFolders(const std::string& name) override;

private:
    SimDesktop& m_desktop;
};

} // namespace automation::sim
