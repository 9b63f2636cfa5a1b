#include "TestDisplay.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>
#include <xcb/xcb.h>

namespace automation::x11::test {
namespace {

using namespace std::chrono_literals;

// Starts a child that dies with this process; its output goes nowhere.
pid_t spawn(const std::vector<std::string>& argv, const std::string& home)
{
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid != 0)
        return pid < 0 ? 0 : pid;
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent)
        _exit(127);
    const int null = open("/dev/null", O_RDWR);
    dup2(null, 0);
    dup2(null, 1);
    dup2(null, 2);
    setenv("DISPLAY", TestDisplay::kName, 1);
    // openbox reads the stock configuration, never the user's, and writes nothing home.
    setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
    setenv("XDG_CACHE_HOME", (home + "/cache").c_str(), 1);
    setenv("XDG_DATA_HOME", (home + "/data").c_str(), 1);
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
}

bool alive(pid_t pid)
{
    return pid > 0 && waitpid(pid, nullptr, WNOHANG) == 0;
}

void end(pid_t& pid)
{
    if (pid <= 0)
        return;
    kill(pid, SIGCONT);
    kill(pid, SIGTERM);
    for (int i = 0; i < 200 && waitpid(pid, nullptr, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(10ms);
    if (waitpid(pid, nullptr, WNOHANG) == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    pid = 0;
}

bool serverAnswers()
{
    xcb_connection_t* c = xcb_connect(TestDisplay::kName, nullptr);
    const bool ok = xcb_connection_has_error(c) == 0;
    xcb_disconnect(c);
    return ok;
}

// Whether a window manager has claimed the screen (_NET_SUPPORTING_WM_CHECK is set).
bool windowManagerAnswers()
{
    xcb_connection_t* c = xcb_connect(TestDisplay::kName, nullptr);
    bool ok = false;
    if (xcb_connection_has_error(c) == 0) {
        const char* name = "_NET_SUPPORTING_WM_CHECK";
        auto* atom = xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, 24, name), nullptr);
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        // The property outlives a window manager that quit: the window it names must
        // exist and name itself.
        const auto check = [&](xcb_window_t window) -> xcb_window_t {
            auto* reply = xcb_get_property_reply(
                c, xcb_get_property(c, 0, window, atom->atom, XCB_ATOM_WINDOW, 0, 1), nullptr);
            xcb_window_t named = 0;
            if (reply && xcb_get_property_value_length(reply) == 4)
                named = *static_cast<xcb_window_t*>(xcb_get_property_value(reply));
            std::free(reply);
            return named;
        };
        if (atom && atom->atom != XCB_NONE) {
            const xcb_window_t named = check(root);
            ok = named != 0 && check(named) == named;
        }
        std::free(atom);
    }
    xcb_disconnect(c);
    return ok;
}

// Whether the window manager takes a window that is mapped now: just after it claims
// the screen, openbox still lets a first map request go by.
bool windowManagerManages()
{
    xcb_connection_t* c = xcb_connect(TestDisplay::kName, nullptr);
    bool managed = false;
    if (xcb_connection_has_error(c) == 0) {
        auto* atom = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, 8, "WM_STATE"), nullptr);
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        const xcb_window_t probe = xcb_generate_id(c);
        xcb_create_window(c, XCB_COPY_FROM_PARENT, probe, root, 0, 0, 10, 10, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
        xcb_map_window(c, probe);
        xcb_flush(c);
        for (int i = 0; atom && i < 50 && !managed; ++i) {
            std::this_thread::sleep_for(10ms);
            auto* reply = xcb_get_property_reply(
                c, xcb_get_property(c, 0, probe, atom->atom, XCB_GET_PROPERTY_TYPE_ANY, 0, 1),
                nullptr);
            managed = reply && xcb_get_property_value_length(reply) >= 4;
            std::free(reply);
        }
        std::free(atom);
    }
    xcb_disconnect(c);
    return managed;
}

template <typename Done> bool waitFor(Done done, pid_t child)
{
    for (int i = 0; i < 500; ++i) {
        if (done())
            return true;
        if (!alive(child))
            return false;
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

} // namespace

TestDisplay& display()
{
    static TestDisplay instance;
    return instance;
}

TestDisplay::~TestDisplay()
{
    stop();
}

bool TestDisplay::start()
{
    if (m_home.empty()) {
        char pattern[] = "/tmp/tabulon-x11-test-XXXXXX";
        if (!mkdtemp(pattern)) {
            m_reason = "cannot make a temporary folder";
            return false;
        }
        m_home = pattern;
    }
    if (!alive(m_server)) {
        end(m_server);
        end(m_windowManager);
        // The server of a test process that just died may hold the display for a moment
        // longer: a new server then gives up at once, and is tried again.
        bool started = false;
        for (int attempt = 0; attempt < 10 && !started; ++attempt) {
            if (attempt > 0)
                std::this_thread::sleep_for(200ms);
            if (serverAnswers()) {
                m_reason = std::string("display ") + kName + " is already in use";
                continue;
            }
            m_reason = std::string("Xvfb did not start on display ") + kName;
            m_server = spawn(
                {"Xvfb", kName, "-screen", "0", "1280x800x24", "-nolisten", "tcp", "-noreset"},
                m_home);
            started = waitFor(serverAnswers, m_server);
            if (!started)
                end(m_server);
        }
        if (!started)
            return false;
    }
    return startWindowManager();
}

bool TestDisplay::startWindowManager()
{
    if (alive(m_windowManager))
        return true;
    end(m_windowManager);
    // The stock configuration, without the iconify animation: a minimised window's
    // frame then stays where it was, and the tests can see that nobody moved it.
    std::ifstream stock("/etc/xdg/openbox/rc.xml");
    if (stock) {
        std::stringstream text;
        text << stock.rdbuf();
        std::string config = text.str();
        const std::string animate = "<animateIconify>yes</animateIconify>";
        if (const auto at = config.find(animate); at != std::string::npos)
            config.replace(at, animate.size(), "<animateIconify>no</animateIconify>");
        std::filesystem::create_directories(m_home + "/config/openbox");
        std::ofstream(m_home + "/config/openbox/rc.xml") << config;
    }
    m_windowManager = spawn({"openbox", "--sm-disable"}, m_home);
    bool ready = waitFor(windowManagerAnswers, m_windowManager);
    for (int i = 0; ready && i < 10 && !windowManagerManages(); ++i)
        ready = i < 9 && alive(m_windowManager);
    if (!ready) {
        end(m_windowManager);
        m_reason = "openbox did not start";
        return false;
    }
    return true;
}

void TestDisplay::stop()
{
    end(m_windowManager);
    end(m_server);
    if (!m_home.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_home, ignored);
        m_home.clear();
    }
}

bool TestDisplay::running() const
{
    return alive(m_server) && alive(m_windowManager);
}

void TestDisplay::stopWindowManager()
{
    end(m_windowManager);
}

void TestDisplay::killServer()
{
    if (m_server > 0) {
        kill(m_server, SIGKILL);
        waitpid(m_server, nullptr, 0);
        m_server = 0;
    }
    end(m_windowManager);
}

} // namespace automation::x11::test
