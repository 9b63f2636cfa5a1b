#pragma once

#include "automation/Types.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

struct xcb_connection_t;

namespace automation::x11::test {

// Another program on the test display: it makes, maps and destroys its own windows and
// reads what the window manager made of them, with plain xcb calls of its own. Its
// windows go away with it.
class TestClient
{
public:
    enum class Type
    {
        Normal,
        Dock,
    };

    TestClient();
    ~TestClient();
    TestClient(const TestClient&) = delete;
    TestClient& operator=(const TestClient&) = delete;

    bool ok() const;

    // A window of the given client size with _NET_WM_NAME set (or only a Latin-1
    // WM_NAME), not mapped yet.
    std::uint32_t create(const std::string& title, int width, int height, Type type = Type::Normal,
                         bool latin1NameOnly = false);
    // Maps it and waits until the window manager has framed it.
    bool map(std::uint32_t window);
    std::uint32_t open(const std::string& title, int width = 300, int height = 200,
                       Type type = Type::Normal);
    void destroy(std::uint32_t window);
    // Reserves a strip at the bottom of the screen (set before mapping a dock).
    void reserveBottom(std::uint32_t window, int height);
    // Asks the window manager, as a user would, to maximise or minimise the window.
    void maximize(std::uint32_t window);
    void minimize(std::uint32_t window);
    void setResource(const std::string& text);
    // Writes _NET_CLIENT_LIST and _NET_CLIENT_LIST_STACKING (bottom to top) as a window
    // manager would, for example one that has not yet seen a window go.
    void writeClientLists(const std::vector<std::uint32_t>& windows);

    bool iconic(std::uint32_t window);
    bool hasState(std::uint32_t window, const char* atomName);
    // Outer frame in root coordinates, from the client's place and _NET_FRAME_EXTENTS.
    Rect frame(std::uint32_t window);
    int titleBar(std::uint32_t window);
    std::uint32_t activeWindow();
    Rect workArea();
    std::size_t managedCount();
    // _NET_CLIENT_LIST_STACKING, bottom to top.
    std::vector<std::uint32_t> stacking();

    // Polls done() for up to two seconds.
    bool waitFor(const std::function<bool()>& done);

private:
    void sync();
    std::uint32_t atom(const char* name);
    std::uint32_t root() const;
    void sendToRoot(std::uint32_t window, const char* type, std::uint32_t d0, std::uint32_t d1,
                    std::uint32_t d2);
    std::string property(std::uint32_t window, const char* name);
    std::uint32_t value(std::uint32_t window, const char* name, std::size_t index);

    xcb_connection_t* m_c = nullptr;
    std::map<std::string, std::uint32_t> m_atoms;
};

} // namespace automation::x11::test
