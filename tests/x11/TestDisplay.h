#pragma once

#include <string>
#include <sys/types.h>

namespace automation::x11::test {

// The X server (Xvfb on display :85) and the window manager (openbox) the X11 tests
// run against, started and stopped by the tests themselves. Both die with the test
// process, even when it crashes.
class TestDisplay
{
public:
    static constexpr const char* kName = ":85";

    ~TestDisplay();

    // Starts what is not running yet; false with reason() when it cannot.
    bool start();
    void stop();
    bool running() const;
    const std::string& reason() const { return m_reason; }

    bool startWindowManager();
    void stopWindowManager();
    // The X server goes away under its clients.
    void killServer();

private:
    std::string m_reason;
    std::string m_home;
    pid_t m_server = 0;
    pid_t m_windowManager = 0;
};

// The one display of this test process.
TestDisplay& display();

} // namespace automation::x11::test
