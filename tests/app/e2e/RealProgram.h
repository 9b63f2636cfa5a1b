#pragma once

#include "app/RealDesktop.h"
#include "automation/Types.h"
#include "automation/chromium/ChromiumClient.h"
#include "winlist/WebWindowList.h"

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace automation {
struct Platform;
namespace x11 {
class X11Desktop;
}
} // namespace automation

namespace tabulon {
class Form1;
class Module1;
class Program;
} // namespace tabulon

// Tabulon as a user starts it, on the real desktop of the test (Chromium, X11 with a
// window manager), in a program folder of its own; and a view of that desktop behind
// the program's back.
class RealProgram
{
public:
    // Starts the program with these files (name → bytes) in its folder.
    explicit RealProgram(const std::map<std::string, std::string>& files = {});
    // Starts the program on a backend made elsewhere (the loader's).
    explicit RealProgram(std::unique_ptr<tabulon::Backend> backend);
    ~RealProgram();

    tabulon::Form1& form();
    tabulon::Module1& module();
    automation::Platform& platform() { return *m_platform; }
    // Only when the program runs on the real desktop.
    tabulon::RealDesktop& desktop();
    automation::chromium::ChromiumClient& browser() { return desktop().browser(); }
    const std::string& folder() const { return m_folder; }

    // Chooses a menu item of the main window as the user would.
    void choose(const char* name);
    // Lets events (and the program's ticks) run for a while.
    static void pump(std::chrono::milliseconds duration);
    // Lets events run until holds() does; false when it never did. The window manager
    // and the browser carry changes out on their own time.
    static bool eventually(const std::function<bool()>& holds,
                           std::chrono::milliseconds limit = std::chrono::seconds(5));
    // Lets events run for a while; the longest time one round of them took, in seconds:
    // how long the program's windows could not answer the user.
    static double longestStall(std::chrono::milliseconds duration);
    // Rebuilds the list and lets events run until holds() does; false when it never did.
    bool refreshUntil(const std::function<bool()>& holds,
                      std::chrono::milliseconds limit = std::chrono::seconds(20));
    // Rebuilds until the list shows count windows, none of them still loading.
    bool settle(int count, std::chrono::milliseconds limit = std::chrono::seconds(20));
    // The rows as the main window's list shows them.
    std::vector<tabulon::ListRow> shown();
    // The browser tab behind a row, and its window's bounds as the browser reports them.
    std::string tabOf(int row);
    automation::chromium::WindowBounds boundsOf(int row);
    // The outer bounds of the X11 window with this caption, nothing when none has it.
    std::optional<automation::Rect> x11Frame(const std::string& caption);
    automation::x11::X11Desktop& probe() { return *m_probe; }

private:
    void start();

    std::string m_folder;
    std::unique_ptr<tabulon::Backend> m_backend;
    std::unique_ptr<automation::Platform> m_platform;
    std::unique_ptr<tabulon::Program> m_program;
    std::unique_ptr<automation::x11::X11Desktop> m_probe;
};
