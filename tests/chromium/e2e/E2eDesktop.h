#pragma once

#include "TestDisplay.h"

#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <thread>

// What the real-browser tests run on: a temporary home with its XDG folders, a
// display with a window manager (the one in DISPLAY, or an Xvfb and openbox of its
// own), and a loopback HTTP server for the test pages.
class E2eDesktop
{
public:
    static E2eDesktop& instance();

    const std::string& home() const { return m_home; }
    int port() const { return m_port; }
    // http://127.0.0.1:PORT/path, or on another site http://localhost:PORT/path.
    std::string url(const std::string& path, bool otherSite = false) const;
    // The bytes the server sends for a path.
    const std::string& page(const std::string& path) const { return m_pages.at(path); }

    void start();
    void stop();

private:
    void serve();
    void answer(int fd) const;

    std::string m_home;
    int m_port = 0;
    int m_listener = -1;
    std::atomic<bool> m_stopping{false};
    std::thread m_server;
    std::map<std::string, std::string> m_pages;
    // The display started for the tests, when there was none.
    std::unique_ptr<automation::x11::test::TestDisplay> m_display;
};
