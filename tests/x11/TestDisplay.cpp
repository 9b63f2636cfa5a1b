#include "TestDisplay.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <poll.h>
#include <sstream>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>
#include <xcb/xcb.h>

extern char** environ;

namespace automation::x11::test {
namespace {

using namespace std::chrono_literals;

// How long the server and the window manager are given to come up, and to go.
constexpr auto kStartLimit = 10s;
constexpr auto kStopGrace = 2s;

// The program's environment with the display and the folders of the test's home: openbox
// reads the stock configuration (or the test's), never the user's, and writes nothing
// home.
std::vector<std::string> environmentFor(const std::string& display, const std::string& home)
{
    const std::map<std::string, std::string> ours = {{"DISPLAY", display},
                                                     {"XDG_CONFIG_HOME", home + "/config"},
                                                     {"XDG_CACHE_HOME", home + "/cache"},
                                                     {"XDG_DATA_HOME", home + "/data"}};
    std::vector<std::string> environment;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        if (!ours.count(text.substr(0, text.find('='))))
            environment.push_back(text);
    }
    for (const auto& [name, value] : ours)
        environment.push_back(name + "=" + value);
    return environment;
}

// Starts a child that dies with this process; its output goes nowhere.
Process spawn(std::vector<std::string> argv, const std::string& display, const std::string& home,
              std::vector<SpawnOptions::Descriptor> descriptors = {})
{
    SpawnOptions options;
    options.argv = std::move(argv);
    options.environment = environmentFor(display, home);
    options.descriptors = std::move(descriptors);
    options.quiet = true;
    options.parentDeathSignal = SIGKILL;
    return Process::spawn(options);
}

void end(Process& process)
{
    process.terminate(kStopGrace);
    process = Process();
}

bool serverAnswers(const std::string& display)
{
    xcb_connection_t* c = xcb_connect(display.c_str(), nullptr);
    const bool ok = xcb_connection_has_error(c) == 0;
    xcb_disconnect(c);
    return ok;
}

// Whether a window manager has claimed the screen (_NET_SUPPORTING_WM_CHECK is set).
bool windowManagerAnswers(const std::string& display)
{
    xcb_connection_t* c = xcb_connect(display.c_str(), nullptr);
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
bool windowManagerManages(const std::string& display)
{
    xcb_connection_t* c = xcb_connect(display.c_str(), nullptr);
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

template <typename Done> bool waitFor(Done done, Process& child)
{
    for (int i = 0; i < 500; ++i) {
        if (done())
            return true;
        if (!child.running())
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
        std::error_code error;
        const auto base = std::filesystem::temp_directory_path(error);
        // A name of its own: the folder holds the window manager's configuration.
        for (int attempt = 0; attempt < 100 && m_home.empty(); ++attempt) {
            const auto folder = base / ("tabulon-display-" + std::to_string(::getpid()) + "-" +
                                        std::to_string(attempt));
            if (std::filesystem::create_directory(folder, error))
                m_home = folder.string();
        }
        if (m_home.empty()) {
            m_reason = "cannot make a temporary folder";
            return false;
        }
    }
    if (!m_server.running()) {
        end(m_windowManager);
        if (!startServer())
            return false;
    }
    return startWindowManager();
}

bool TestDisplay::startServer()
{
    end(m_server);
    m_name.clear();
    // Xvfb takes the first free display number and writes it to the descriptor.
    auto numberPipe = makePipe();
    if (!numberPipe) {
        m_reason = "no descriptors for a pipe";
        return false;
    }
    try {
        m_server = spawn({"Xvfb", "-displayfd", "3", "-screen", "0", "1280x800x24", "-nolisten",
                          "tcp", "-noreset"},
                         "", m_home, {{3, numberPipe->write.get()}});
    } catch (const std::system_error& error) {
        m_reason = error.what();
        return false;
    }
    numberPipe->write.reset();
    std::string number;
    const auto deadline = WaitClock::steady().now() + kStartLimit;
    setNonBlocking(numberPipe->read.get());
    while (number.find('\n') == std::string::npos) {
        if (WaitClock::steady().waitFd(numberPipe->read.get(), POLLIN, deadline) != FdReady::Ready)
            break;
        char chunk[16];
        const ssize_t n = ::read(numberPipe->read.get(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        number.append(chunk, static_cast<std::size_t>(n));
    }
    if (const auto newline = number.find('\n'); newline != std::string::npos)
        number.resize(newline);
    else
        number.clear();
    if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) {
        end(m_server);
        m_reason = "Xvfb did not start";
        return false;
    }
    m_name = ":" + number;
    if (!waitFor([&] { return serverAnswers(m_name); }, m_server)) {
        end(m_server);
        m_reason = "Xvfb on display " + m_name + " does not answer";
        m_name.clear();
        return false;
    }
    return true;
}

bool TestDisplay::startWindowManager()
{
    if (m_windowManager.running())
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
        std::error_code ignored;
        std::filesystem::create_directories(m_home + "/config/openbox", ignored);
        std::ofstream(m_home + "/config/openbox/rc.xml") << config;
    }
    try {
        m_windowManager = spawn({"openbox", "--sm-disable"}, m_name, m_home);
    } catch (const std::system_error& error) {
        m_reason = error.what();
        return false;
    }
    bool ready = waitFor([&] { return windowManagerAnswers(m_name); }, m_windowManager);
    for (int i = 0; ready && i < 10 && !windowManagerManages(m_name); ++i)
        ready = i < 9 && m_windowManager.running();
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
    m_name.clear();
    if (!m_home.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_home, ignored);
        m_home.clear();
    }
}

bool TestDisplay::running()
{
    return m_server.running() && m_windowManager.running();
}

void TestDisplay::stopWindowManager()
{
    end(m_windowManager);
}

void TestDisplay::killServer()
{
    m_server.signal(SIGKILL);
    m_server.waitFor(kStopGrace);
    m_server = Process();
    end(m_windowManager);
}

} // namespace automation::x11::test
