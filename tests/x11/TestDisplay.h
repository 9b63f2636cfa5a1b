#pragma once

#include "automation/local/Process.h"

#include <string>

namespace automation::x11::test {

// An X server (Xvfb, on a display number it picks itself) and a window manager
// (openbox) that tests run against, started and stopped by the tests themselves. Both
// die with the test process, even when it crashes, and several test processes can each
// have their own at once.
class TestDisplay
{
public:
    ~TestDisplay();

    // Starts what is not running yet; false with reason() when it cannot.
    bool start();
    void stop();
    bool running();
    const std::string& reason() const { return m_reason; }
    // The display's name (":N"), "" until the server has started.
    const std::string& name() const { return m_name; }

    bool startWindowManager();
    void stopWindowManager();
    // The X server goes away under its clients.
    void killServer();

private:
    bool startServer();

    std::string m_reason;
    std::string m_home;
    std::string m_name;
    Process m_server;
    Process m_windowManager;
};

// The one display of this test process.
TestDisplay& display();

} // namespace automation::x11::test
