#include "automation/x11/X11Connection.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

namespace automation::x11 {
namespace {

struct FreeDeleter
{
    void operator()(void* p) const { std::free(p); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter>;

// The longest property we read, in 32-bit units: captions and lists are far shorter.
constexpr std::uint32_t kMaxPropertyLongs = 16384;

// A property as read: type XCB_NONE when the window has no such property.
struct Property
{
    xcb_atom_t type = XCB_NONE;
    std::uint8_t format = 0;
    std::string bytes;

    std::vector<std::uint32_t> values32() const
    {
        std::vector<std::uint32_t> values;
        if (format != 32)
            return values;
        values.resize(bytes.size() / 4);
        if (!values.empty())
            std::memcpy(values.data(), bytes.data(), values.size() * 4);
        return values;
    }
};

std::string latin1ToUtf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (byte >> 6));
            out += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return out;
}

} // namespace

struct X11Connection::Impl
{
    xcb_connection_t* c = nullptr;
    xcb_ewmh_connection_t ewmh{};
    bool ewmhReady = false;
    int screenNumber = 0;
    xcb_screen_t* screen = nullptr;
    xcb_atom_t wmState = XCB_NONE;
    xcb_atom_t wmChangeState = XCB_NONE;

    ~Impl()
    {
        if (ewmhReady)
            xcb_ewmh_connection_wipe(&ewmh);
        if (c)
            xcb_disconnect(c);
    }

    xcb_atom_t intern(const char* name)
    {
        const auto cookie =
            xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
        const Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(c, cookie, nullptr));
        return reply ? reply->atom : XCB_NONE;
    }

    // nullopt when the window is gone or the connection broke.
    std::optional<Property> read(XWindow window, xcb_atom_t atom,
                                 xcb_atom_t type = XCB_GET_PROPERTY_TYPE_ANY)
    {
        if (window == 0 || atom == XCB_NONE)
            return std::nullopt;
        const auto cookie = xcb_get_property(c, 0, window, atom, type, 0, kMaxPropertyLongs);
        xcb_generic_error_t* error = nullptr;
        const Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(c, cookie, &error));
        std::free(error);
        if (!reply)
            return std::nullopt;
        Property property;
        property.type = reply->type;
        property.format = reply->format;
        const int length = xcb_get_property_value_length(reply.get());
        if (length > 0)
            property.bytes.assign(static_cast<const char*>(xcb_get_property_value(reply.get())),
                                  static_cast<std::size_t>(length));
        return property;
    }

    std::optional<std::uint32_t> firstValue(XWindow window, xcb_atom_t atom)
    {
        const auto property = read(window, atom);
        if (!property)
            return std::nullopt;
        const auto values = property->values32();
        if (values.empty())
            return std::nullopt;
        return values.front();
    }

    // The _NET_WM_STATE atoms and the bit each stands for.
    std::array<std::pair<xcb_atom_t, unsigned>, 5> stateAtoms() const
    {
        return {{{ewmh._NET_WM_STATE_MAXIMIZED_VERT, kMaximizedVert},
                 {ewmh._NET_WM_STATE_MAXIMIZED_HORZ, kMaximizedHorz},
                 {ewmh._NET_WM_STATE_HIDDEN, kHidden},
                 {ewmh._NET_WM_STATE_ABOVE, kAbove},
                 {ewmh._NET_WM_STATE_FULLSCREEN, kFullscreen}}};
    }

    // The window's _NET_WM_STATE atoms; none when it has no such property, nullopt
    // when the window is gone or the connection broke.
    std::optional<std::vector<xcb_atom_t>> netStateAtoms(XWindow window)
    {
        if (window == 0)
            return std::nullopt;
        xcb_ewmh_get_atoms_reply_t atoms{};
        xcb_generic_error_t* error = nullptr;
        const bool read = xcb_ewmh_get_wm_state_reply(&ewmh, xcb_ewmh_get_wm_state(&ewmh, window),
                                                      &atoms, &error);
        const bool failed = error != nullptr || xcb_connection_has_error(c);
        std::free(error);
        if (!read)
            return failed ? std::nullopt : std::optional(std::vector<xcb_atom_t>());
        std::vector<xcb_atom_t> list(atoms.atoms, atoms.atoms + atoms.atoms_len);
        xcb_ewmh_get_atoms_reply_wipe(&atoms);
        return list;
    }
};

X11Connection::X11Connection(std::unique_ptr<Impl> impl, std::string displayName)
    : m_impl(std::move(impl)), m_displayName(std::move(displayName))
{}

X11Connection::~X11Connection() = default;

std::unique_ptr<X11Connection> X11Connection::open(const std::string& display, std::string& error)
{
    std::string name = display;
    if (name.empty()) {
        const char* env = std::getenv("DISPLAY");
        name = env ? env : "";
    }
    if (name.empty()) {
        error = "no X11 display: DISPLAY is not set";
        return nullptr;
    }
    auto impl = std::make_unique<Impl>();
    impl->c = xcb_connect(name.c_str(), &impl->screenNumber);
    if (xcb_connection_has_error(impl->c)) {
        error = "cannot open X11 display " + name;
        return nullptr;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(impl->c));
    for (int i = 0; it.rem && i < impl->screenNumber; ++i)
        xcb_screen_next(&it);
    if (!it.rem) {
        error = "X11 display " + name + " has no screen " + std::to_string(impl->screenNumber);
        return nullptr;
    }
    impl->screen = it.data;

    xcb_intern_atom_cookie_t* cookies = xcb_ewmh_init_atoms(impl->c, &impl->ewmh);
    if (!xcb_ewmh_init_atoms_replies(&impl->ewmh, cookies, nullptr)) {
        error = "cannot read the EWMH atoms of X11 display " + name;
        return nullptr;
    }
    impl->ewmhReady = true;
    impl->wmState = impl->intern("WM_STATE");
    impl->wmChangeState = impl->intern("WM_CHANGE_STATE");
    return std::unique_ptr<X11Connection>(new X11Connection(std::move(impl), std::move(name)));
}

bool X11Connection::broken() const
{
    return xcb_connection_has_error(m_impl->c) != 0;
}

XWindow X11Connection::root() const
{
    return m_impl->screen->root;
}

int X11Connection::screenWidth() const
{
    return m_impl->screen->width_in_pixels;
}

int X11Connection::screenHeight() const
{
    return m_impl->screen->height_in_pixels;
}

double X11Connection::dotsPerInch()
{
    const auto property = m_impl->read(root(), XCB_ATOM_RESOURCE_MANAGER, XCB_ATOM_STRING);
    if (property) {
        static constexpr std::string_view key = "Xft.dpi:";
        std::string_view rest = property->bytes;
        while (!rest.empty()) {
            const std::size_t end = std::min(rest.find('\n'), rest.size());
            std::string_view line = rest.substr(0, end);
            rest.remove_prefix(std::min(end + 1, rest.size()));
            if (line.substr(0, key.size()) != key)
                continue;
            line.remove_prefix(key.size());
            while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
                line.remove_prefix(1);
            double dpi = 0;
            const auto [ptr, ec] = std::from_chars(line.data(), line.data() + line.size(), dpi);
            if (ec == std::errc() && dpi >= 24 && dpi <= 1440)
                return dpi;
        }
    }
    return 96;
}

bool X11Connection::hasWindowManager()
{
    const auto atom = m_impl->ewmh._NET_SUPPORTING_WM_CHECK;
    const auto check = m_impl->firstValue(root(), atom);
    if (!check || *check == 0)
        return false;
    const auto self = m_impl->firstValue(*check, atom);
    return self && *self == *check;
}

std::vector<XWindow> X11Connection::clientList(bool stacking)
{
    const auto property = m_impl->read(root(), stacking ? m_impl->ewmh._NET_CLIENT_LIST_STACKING
                                                        : m_impl->ewmh._NET_CLIENT_LIST);
    if (!property)
        return {};
    auto windows = property->values32();
    std::erase(windows, 0u);
    return windows;
}

XWindow X11Connection::activeWindow()
{
    xcb_ewmh_connection_t* ewmh = &m_impl->ewmh;
    xcb_window_t active = 0;
    xcb_generic_error_t* error = nullptr;
    const bool read = xcb_ewmh_get_active_window_reply(
        ewmh, xcb_ewmh_get_active_window(ewmh, m_impl->screenNumber), &active, &error);
    std::free(error);
    return read ? active : 0;
}

std::uint32_t X11Connection::currentDesktop()
{
    return m_impl->firstValue(root(), m_impl->ewmh._NET_CURRENT_DESKTOP).value_or(0);
}

Rect X11Connection::workArea()
{
    const Rect screen{0, 0, screenWidth(), screenHeight()};
    const auto property = m_impl->read(root(), m_impl->ewmh._NET_WORKAREA);
    if (!property)
        return screen;
    const auto values = property->values32();
    std::size_t index = 4 * static_cast<std::size_t>(currentDesktop());
    if (index + 4 > values.size())
        index = 0;
    if (values.size() < 4)
        return screen;
    const Rect area{static_cast<int>(values[index]), static_cast<int>(values[index + 1]),
                    static_cast<int>(values[index + 2]), static_cast<int>(values[index + 3])};
    if (area.width <= 0 || area.height <= 0)
        return screen;
    return area;
}

bool X11Connection::exists(XWindow window)
{
    if (window == 0)
        return false;
    const auto cookie = xcb_get_window_attributes(m_impl->c, window);
    xcb_generic_error_t* error = nullptr;
    const Reply<xcb_get_window_attributes_reply_t> reply(
        xcb_get_window_attributes_reply(m_impl->c, cookie, &error));
    std::free(error);
    return reply != nullptr;
}

std::optional<std::string> X11Connection::name(XWindow window)
{
    const auto net = m_impl->read(window, m_impl->ewmh._NET_WM_NAME, m_impl->ewmh.UTF8_STRING);
    if (!net)
        return std::nullopt;
    if (net->type == m_impl->ewmh.UTF8_STRING && net->format == 8)
        return net->bytes;
    const auto plain = m_impl->read(window, XCB_ATOM_WM_NAME);
    if (!plain)
        return std::nullopt;
    if (plain->format != 8)
        return std::string();
    // STRING is Latin-1; UTF8_STRING and COMPOUND_TEXT are kept as they are, which is
    // right for UTF-8 and for the ASCII that compound text nearly always is.
    if (plain->type == XCB_ATOM_STRING)
        return latin1ToUtf8(plain->bytes);
    return plain->bytes;
}

std::optional<unsigned> X11Connection::netState(XWindow window)
{
    const auto atoms = m_impl->netStateAtoms(window);
    if (!atoms)
        return std::nullopt;
    unsigned bits = 0;
    for (const xcb_atom_t atom : *atoms) {
        for (const auto& [known, bit] : m_impl->stateAtoms()) {
            if (atom == known)
                bits |= bit;
        }
    }
    return bits;
}

std::optional<IcccmState> X11Connection::icccmState(XWindow window)
{
    const auto property = m_impl->read(window, m_impl->wmState);
    if (!property)
        return std::nullopt;
    const auto values = property->values32();
    if (values.empty())
        return IcccmState::Withdrawn;
    switch (values.front()) {
    case 1:
        return IcccmState::Normal;
    case 3:
        return IcccmState::Iconic;
    default:
        return IcccmState::Withdrawn;
    }
}

std::optional<WindowKind> X11Connection::kind(XWindow window)
{
    const auto property = m_impl->read(window, m_impl->ewmh._NET_WM_WINDOW_TYPE, XCB_ATOM_ATOM);
    if (!property)
        return std::nullopt;
    // The first type the window manager knows is the one it uses.
    for (const std::uint32_t atom : property->values32()) {
        if (atom == m_impl->ewmh._NET_WM_WINDOW_TYPE_DOCK)
            return WindowKind::Dock;
        if (atom == m_impl->ewmh._NET_WM_WINDOW_TYPE_DESKTOP)
            return WindowKind::Desktop;
        if (atom == m_impl->ewmh._NET_WM_WINDOW_TYPE_NORMAL)
            return WindowKind::Normal;
    }
    return WindowKind::Normal;
}

std::optional<std::uint32_t> X11Connection::desktopOf(XWindow window)
{
    return m_impl->firstValue(window, m_impl->ewmh._NET_WM_DESKTOP);
}

FrameExtents X11Connection::frameExtents(XWindow window)
{
    const auto property = m_impl->read(window, m_impl->ewmh._NET_FRAME_EXTENTS);
    if (!property)
        return {};
    const auto values = property->values32();
    if (values.size() < 4)
        return {};
    // A damaged property must not turn into a negative or absurd frame.
    const auto clamp = [](std::uint32_t v) { return static_cast<int>(std::min(v, 4096u)); };
    return {clamp(values[0]), clamp(values[1]), clamp(values[2]), clamp(values[3])};
}

std::optional<Rect> X11Connection::clientBounds(XWindow window)
{
    if (window == 0)
        return std::nullopt;
    xcb_connection_t* c = m_impl->c;
    const auto geometryCookie = xcb_get_geometry(c, window);
    const auto translateCookie = xcb_translate_coordinates(c, window, root(), 0, 0);
    xcb_generic_error_t* error = nullptr;
    const Reply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(c, geometryCookie, &error));
    std::free(error);
    error = nullptr;
    const Reply<xcb_translate_coordinates_reply_t> origin(
        xcb_translate_coordinates_reply(c, translateCookie, &error));
    std::free(error);
    if (!geometry || !origin)
        return std::nullopt;
    return Rect{origin->dst_x, origin->dst_y, geometry->width, geometry->height};
}

void X11Connection::requestIconify(XWindow window)
{
    if (window == 0)
        return;
    const std::uint32_t iconic = 3; // IconicState
    xcb_ewmh_send_client_message(m_impl->c, window, root(), m_impl->wmChangeState, sizeof iconic,
                                 &iconic);
}

void X11Connection::requestNetState(XWindow window, unsigned bits, bool add)
{
    if (window == 0)
        return;
    // One message carries two atoms at most.
    std::vector<xcb_atom_t> atoms;
    for (const auto& [atom, bit] : m_impl->stateAtoms()) {
        if (bits & bit)
            atoms.push_back(atom);
    }
    for (std::size_t i = 0; i < atoms.size(); i += 2) {
        const xcb_atom_t second = i + 1 < atoms.size() ? atoms[i + 1] : XCB_NONE;
        // As a pager sends it: the user's own will.
        xcb_ewmh_request_change_wm_state(&m_impl->ewmh, m_impl->screenNumber, window,
                                         add ? XCB_EWMH_WM_STATE_ADD : XCB_EWMH_WM_STATE_REMOVE,
                                         atoms[i], second, XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER);
    }
}

bool X11Connection::writeNetState(XWindow window, unsigned bits, bool add)
{
    auto read = m_impl->netStateAtoms(window);
    if (!read)
        return false;
    std::vector<xcb_atom_t> atoms = std::move(*read);
    for (const auto& [atom, bit] : m_impl->stateAtoms()) {
        if (!(bits & bit))
            continue;
        const bool present = std::find(atoms.begin(), atoms.end(), atom) != atoms.end();
        if (add && !present)
            atoms.push_back(atom);
        else if (!add)
            std::erase(atoms, atom);
    }
    const auto cookie = xcb_ewmh_set_wm_state_checked(
        &m_impl->ewmh, window, static_cast<std::uint32_t>(atoms.size()), atoms.data());
    xcb_generic_error_t* error = xcb_request_check(m_impl->c, cookie);
    const bool ok = error == nullptr && !broken();
    std::free(error);
    return ok;
}

void X11Connection::requestActivate(XWindow window)
{
    if (window == 0)
        return;
    xcb_ewmh_request_change_active_window(&m_impl->ewmh, m_impl->screenNumber, window,
                                          XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER, XCB_CURRENT_TIME,
                                          activeWindow());
}

void X11Connection::requestMoveResize(XWindow window, std::optional<int> x, std::optional<int> y,
                                      std::optional<int> width, std::optional<int> height)
{
    if (window == 0)
        return;
    unsigned flags = 0;
    if (x)
        flags |= XCB_EWMH_MOVERESIZE_WINDOW_X;
    if (y)
        flags |= XCB_EWMH_MOVERESIZE_WINDOW_Y;
    if (width)
        flags |= XCB_EWMH_MOVERESIZE_WINDOW_WIDTH;
    if (height)
        flags |= XCB_EWMH_MOVERESIZE_WINDOW_HEIGHT;
    const auto size = [](std::optional<int> v) {
        return static_cast<std::uint32_t>(std::max(1, v.value_or(1)));
    };
    // As a pager sends it.
    xcb_ewmh_request_moveresize_window(&m_impl->ewmh, m_impl->screenNumber, window,
                                       XCB_GRAVITY_NORTH_WEST, XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER,
                                       static_cast<xcb_ewmh_moveresize_window_opt_flags_t>(flags),
                                       static_cast<std::uint32_t>(x.value_or(0)),
                                       static_cast<std::uint32_t>(y.value_or(0)), size(width),
                                       size(height));
}

bool X11Connection::configure(XWindow window, std::optional<int> x, std::optional<int> y,
                              std::optional<int> width, std::optional<int> height)
{
    if (window == 0)
        return false;
    std::uint16_t mask = 0;
    std::vector<std::uint32_t> values;
    if (x) {
        mask |= XCB_CONFIG_WINDOW_X;
        values.push_back(static_cast<std::uint32_t>(*x));
    }
    if (y) {
        mask |= XCB_CONFIG_WINDOW_Y;
        values.push_back(static_cast<std::uint32_t>(*y));
    }
    if (width) {
        mask |= XCB_CONFIG_WINDOW_WIDTH;
        values.push_back(static_cast<std::uint32_t>(std::max(1, *width)));
    }
    if (height) {
        mask |= XCB_CONFIG_WINDOW_HEIGHT;
        values.push_back(static_cast<std::uint32_t>(std::max(1, *height)));
    }
    if (mask == 0)
        return exists(window);
    const auto cookie = xcb_configure_window_checked(m_impl->c, window, mask, values.data());
    xcb_generic_error_t* error = xcb_request_check(m_impl->c, cookie);
    const bool ok = error == nullptr && !broken();
    std::free(error);
    return ok;
}

void X11Connection::flush()
{
    xcb_flush(m_impl->c);
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_impl->c))
        std::free(event);
}

} // namespace automation::x11
