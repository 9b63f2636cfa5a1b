#include "TestClient.h"

#include "TestDisplay.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>
#include <xcb/xcb.h>

namespace automation::x11::test {

TestClient::TestClient() : m_c(xcb_connect(display().name().c_str(), nullptr)) {}

TestClient::~TestClient()
{
    xcb_disconnect(m_c);
}

// A round trip: whatever was sent before has been carried out by the server when
// another client looks.
void TestClient::sync()
{
    std::free(xcb_get_input_focus_reply(m_c, xcb_get_input_focus(m_c), nullptr));
}

bool TestClient::ok() const
{
    return xcb_connection_has_error(m_c) == 0;
}

std::uint32_t TestClient::root() const
{
    return xcb_setup_roots_iterator(xcb_get_setup(m_c)).data->root;
}

std::uint32_t TestClient::atom(const char* name)
{
    auto& slot = m_atoms[name];
    if (slot == 0) {
        auto* reply = xcb_intern_atom_reply(
            m_c, xcb_intern_atom(m_c, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
            nullptr);
        slot = reply ? reply->atom : 0;
        std::free(reply);
    }
    return slot;
}

std::string TestClient::property(std::uint32_t window, const char* name)
{
    auto* reply = xcb_get_property_reply(
        m_c, xcb_get_property(m_c, 0, window, atom(name), XCB_GET_PROPERTY_TYPE_ANY, 0, 4096),
        nullptr);
    std::string bytes;
    if (reply)
        bytes.assign(static_cast<const char*>(xcb_get_property_value(reply)),
                     static_cast<std::size_t>(xcb_get_property_value_length(reply)));
    std::free(reply);
    return bytes;
}

std::uint32_t TestClient::value(std::uint32_t window, const char* name, std::size_t index)
{
    const std::string bytes = property(window, name);
    std::uint32_t v = 0;
    if (bytes.size() >= 4 * (index + 1))
        std::memcpy(&v, bytes.data() + 4 * index, 4);
    return v;
}

std::uint32_t TestClient::create(const std::string& title, int width, int height, Type type,
                                 bool latin1NameOnly)
{
    const xcb_window_t window = xcb_generate_id(m_c);
    xcb_create_window(m_c, XCB_COPY_FROM_PARENT, window, root(), 100, 100,
                      static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height), 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
    if (latin1NameOnly) {
        xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING,
                            8, static_cast<std::uint32_t>(title.size()), title.data());
    } else {
        xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, window, atom("_NET_WM_NAME"),
                            atom("UTF8_STRING"), 8, static_cast<std::uint32_t>(title.size()),
                            title.data());
    }
    const std::uint32_t kind =
        atom(type == Type::Dock ? "_NET_WM_WINDOW_TYPE_DOCK" : "_NET_WM_WINDOW_TYPE_NORMAL");
    xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, window, atom("_NET_WM_WINDOW_TYPE"),
                        XCB_ATOM_ATOM, 32, 1, &kind);
    sync();
    return window;
}

bool TestClient::map(std::uint32_t window)
{
    xcb_map_window(m_c, window);
    sync();
    // Managed: WM_STATE set and, for framed windows, the frame extents published.
    return waitFor([&] {
        return value(window, "WM_STATE", 0) == 1 && !property(window, "_NET_FRAME_EXTENTS").empty();
    });
}

std::uint32_t TestClient::open(const std::string& title, int width, int height, Type type)
{
    const std::uint32_t window = create(title, width, height, type);
    return map(window) ? window : 0;
}

void TestClient::destroy(std::uint32_t window)
{
    xcb_destroy_window(m_c, window);
    sync();
}

void TestClient::reserveBottom(std::uint32_t window, int height)
{
    const auto h = static_cast<std::uint32_t>(height);
    const std::uint32_t strut[12] = {0, 0, 0, h, 0, 0, 0, 0, 0, 0, 0, 1279};
    xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, window, atom("_NET_WM_STRUT_PARTIAL"),
                        XCB_ATOM_CARDINAL, 32, 12, strut);
    sync();
}

void TestClient::sendToRoot(std::uint32_t window, const char* type, std::uint32_t d0,
                            std::uint32_t d1, std::uint32_t d2)
{
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = atom(type);
    event.data.data32[0] = d0;
    event.data.data32[1] = d1;
    event.data.data32[2] = d2;
    xcb_send_event(m_c, 0, root(),
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
    sync();
}

void TestClient::maximize(std::uint32_t window)
{
    sendToRoot(window, "_NET_WM_STATE", 1, atom("_NET_WM_STATE_MAXIMIZED_VERT"),
               atom("_NET_WM_STATE_MAXIMIZED_HORZ"));
    waitFor([&] { return hasState(window, "_NET_WM_STATE_MAXIMIZED_HORZ"); });
}

void TestClient::minimize(std::uint32_t window)
{
    sendToRoot(window, "WM_CHANGE_STATE", 3, 0, 0);
    waitFor([&] { return iconic(window); });
}

void TestClient::setResource(const std::string& text)
{
    xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, root(), XCB_ATOM_RESOURCE_MANAGER,
                        XCB_ATOM_STRING, 8, static_cast<std::uint32_t>(text.size()), text.data());
    sync();
}

void TestClient::writeClientLists(const std::vector<std::uint32_t>& windows)
{
    for (const char* name : {"_NET_CLIENT_LIST", "_NET_CLIENT_LIST_STACKING"})
        xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, root(), atom(name), XCB_ATOM_WINDOW, 32,
                            static_cast<std::uint32_t>(windows.size()), windows.data());
    sync();
}

bool TestClient::iconic(std::uint32_t window)
{
    return value(window, "WM_STATE", 0) == 3;
}

bool TestClient::hasState(std::uint32_t window, const char* atomName)
{
    const std::string bytes = property(window, "_NET_WM_STATE");
    const std::uint32_t wanted = atom(atomName);
    for (std::size_t i = 0; i + 4 <= bytes.size(); i += 4) {
        std::uint32_t a = 0;
        std::memcpy(&a, bytes.data() + i, 4);
        if (a == wanted)
            return true;
    }
    return false;
}

Rect TestClient::frame(std::uint32_t window)
{
    auto* geometry = xcb_get_geometry_reply(m_c, xcb_get_geometry(m_c, window), nullptr);
    auto* origin = xcb_translate_coordinates_reply(
        m_c, xcb_translate_coordinates(m_c, window, root(), 0, 0), nullptr);
    Rect r;
    if (geometry && origin) {
        const int left = static_cast<int>(value(window, "_NET_FRAME_EXTENTS", 0));
        const int right = static_cast<int>(value(window, "_NET_FRAME_EXTENTS", 1));
        const int top = static_cast<int>(value(window, "_NET_FRAME_EXTENTS", 2));
        const int bottom = static_cast<int>(value(window, "_NET_FRAME_EXTENTS", 3));
        r = Rect{origin->dst_x - left, origin->dst_y - top, geometry->width + left + right,
                 geometry->height + top + bottom};
    }
    std::free(geometry);
    std::free(origin);
    return r;
}

int TestClient::titleBar(std::uint32_t window)
{
    return static_cast<int>(value(window, "_NET_FRAME_EXTENTS", 2));
}

std::uint32_t TestClient::activeWindow()
{
    return value(root(), "_NET_ACTIVE_WINDOW", 0);
}

Rect TestClient::workArea()
{
    const std::uint32_t root = this->root();
    return Rect{static_cast<int>(value(root, "_NET_WORKAREA", 0)),
                static_cast<int>(value(root, "_NET_WORKAREA", 1)),
                static_cast<int>(value(root, "_NET_WORKAREA", 2)),
                static_cast<int>(value(root, "_NET_WORKAREA", 3))};
}

std::size_t TestClient::managedCount()
{
    return property(root(), "_NET_CLIENT_LIST").size() / 4;
}

std::vector<std::uint32_t> TestClient::stacking()
{
    const std::string bytes = property(root(), "_NET_CLIENT_LIST_STACKING");
    std::vector<std::uint32_t> windows(bytes.size() / 4);
    if (!windows.empty())
        std::memcpy(windows.data(), bytes.data(), windows.size() * 4);
    return windows;
}

bool TestClient::waitFor(const std::function<bool()>& done)
{
    for (int i = 0; i < 200; ++i) {
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
}

} // namespace automation::x11::test
