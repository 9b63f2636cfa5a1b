// The program on a real desktop: a display with a window manager (DISPLAY, or an Xvfb
// and openbox of the test's own), Chromium, and a loopback server with the test pages.
// The desktop exists before the QApplication, whose windows go to it over X11.
#include "E2eDesktop.h"
#include "app/GuardedApplication.h"

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <vector>

namespace {

// The folders a run could write to in the user's own home if anything escaped the
// temporary one: none of them may appear.
class RealHomeStaysUntouched : public ::testing::Environment
{
public:
    explicit RealHomeStaysUntouched(std::string home) : m_home(std::move(home))
    {
        for (const char* path :
             {"/.config/chromium", "/.cache/chromium", "/.config/tabulon", "/.local/share/tabulon",
              "/.cache/tabulon", "/Desktop", "/Documents"}) {
            if (!m_home.empty() && !std::filesystem::exists(m_home + path))
                m_absent.push_back(m_home + path);
        }
    }

    void TearDown() override
    {
        for (const std::string& path : m_absent)
            EXPECT_FALSE(std::filesystem::exists(path)) << path << " appeared in the real home";
    }

private:
    std::string m_home;
    std::vector<std::string> m_absent;
};

} // namespace

// Under the leak checker: the D-Bus library that Qt's X11 platform loads keeps a buffer
// for the life of the process.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libdbus-1.so\n";
}

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests))
        return RUN_ALL_TESTS();

    const char* home = std::getenv("HOME");
    ::testing::AddGlobalTestEnvironment(new RealHomeStaysUntouched(home ? home : ""));
    E2eDesktop& desktop = E2eDesktop::instance();
    desktop.start();
    // The program's windows are X11 windows, as on a user's desktop.
    qputenv("QT_QPA_PLATFORM", "xcb");
    int result = 0;
    {
        tabulon::GuardedApplication app(argc, argv);
        QApplication::setQuitOnLastWindowClosed(false);
        result = RUN_ALL_TESTS();
    }
    desktop.stop();
    return result;
}
