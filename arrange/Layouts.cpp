#include "arrange/Layouts.h"

#include "automation/Error.h"
#include "base/ProgramFiles.h"
#include "winlist/WebWindowList.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <nlohmann/json.hpp>

namespace tabulon {

using automation::skipOnFailure;
using nlohmann::json;

namespace {

bool validFile(const json& value)
{
    if (!value.is_object() || !value.contains("layouts") || !value["layouts"].is_array())
        return false;
    for (const json& layout : value["layouts"]) {
        if (!layout.is_object() || !layout.contains("name") || !layout["name"].is_string() ||
            !layout.contains("windows") || !savedGroupFromJson(layout["windows"]))
            return false;
    }
    return true;
}

} // namespace

Layouts::Layouts(automation::FileSystem& files, const std::string& folder)
    : m_file(files, joinPath(folder, "layouts.json"))
{}

void Layouts::load()
{
    m_layouts.clear();
    const auto value = m_file.load(validFile);
    if (!value)
        return;
    for (const json& layout : (*value)["layouts"]) {
        const std::string name = layout["name"].get<std::string>();
        // Two of one name in a file written by hand: the first is the one shown.
        if (std::none_of(m_layouts.begin(), m_layouts.end(),
                         [&](const Layout& known) { return known.name == name; }))
            m_layouts.push_back({name, *savedGroupFromJson(layout["windows"])});
    }
}

std::vector<std::string> Layouts::names() const
{
    std::vector<std::string> names;
    for (const Layout& layout : m_layouts)
        names.push_back(layout.name);
    return names;
}

void Layouts::save(const std::string& name, std::vector<SavedWindow> windows)
{
    const auto known = std::find_if(m_layouts.begin(), m_layouts.end(),
                                    [&](const Layout& layout) { return layout.name == name; });
    if (known != m_layouts.end())
        known->windows = std::move(windows);
    else
        m_layouts.push_back({name, std::move(windows)});
    write();
}

bool Layouts::remove(const std::string& name)
{
    const auto known = std::find_if(m_layouts.begin(), m_layouts.end(),
                                    [&](const Layout& layout) { return layout.name == name; });
    if (known == m_layouts.end())
        return false;
    m_layouts.erase(known);
    write();
    return true;
}

void Layouts::write()
{
    json layouts = json::array();
    for (const Layout& layout : m_layouts)
        layouts.push_back({{"name", layout.name}, {"windows", toJson(layout.windows)}});
    m_file.save({{"layouts", std::move(layouts)}});
}

std::string hostAndPath(std::string_view url)
{
    const std::size_t end = std::min(url.find('?'), url.find('#'));
    std::string_view rest = url.substr(0, end);
    const std::size_t scheme = rest.find("://");
    if (scheme == std::string_view::npos)
        return std::string(rest);
    rest.remove_prefix(scheme + 3);
    const std::size_t slash = rest.find('/');
    std::string_view host = rest.substr(0, slash);
    const std::string_view path = slash == std::string_view::npos ? "/" : rest.substr(slash);
    if (const std::size_t at = host.rfind('@'); at != std::string_view::npos)
        host.remove_prefix(at + 1);
    std::string key;
    for (const char c : host)
        key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    key += path;
    return key;
}

std::vector<int> matchAddresses(const std::vector<std::string>& saved,
                                const std::vector<std::string>& open)
{
    std::vector<int> match(saved.size(), -1);
    std::vector<bool> taken(open.size(), false);
    const auto pass = [&](const std::function<bool(const std::string&, const std::string&)>& same) {
        for (std::size_t s = 0; s < saved.size(); ++s) {
            if (match[s] >= 0)
                continue;
            for (std::size_t o = 0; o < open.size(); ++o) {
                if (!taken[o] && same(saved[s], open[o])) {
                    match[s] = static_cast<int>(o);
                    taken[o] = true;
                    break;
                }
            }
        }
    };
    pass([](const std::string& a, const std::string& b) { return a == b; });
    pass([](const std::string& a, const std::string& b) {
        return hostAndPath(a) == hostAndPath(b);
    });
    return match;
}

std::vector<SavedWindow> readLayout(const WebWindowList& list, automation::WindowManager& windows)
{
    std::vector<SavedWindow> layout;
    for (int i = 1; i <= list.lastTracked(); ++i) {
        if (const auto browser = list.WebWin(i)) {
            if (auto saved = readSavedWindow(*browser, windows))
                layout.push_back(std::move(*saved));
        }
    }
    return layout;
}

void restoreLayout(const Layout& layout, const WebWindowList& list,
                   automation::ObjectFactory& objects, automation::WindowManager& windows)
{
    std::vector<std::shared_ptr<automation::Browser>> browsers;
    std::vector<std::string> open;
    for (int i = 1; i <= list.lastTracked(); ++i) {
        const auto browser = list.WebWin(i);
        std::string url;
        // A window closed since the list was built matches nothing.
        if (browser && skipOnFailure([&] { url = storableAddress(browser->LocationURL()); })) {
            browsers.push_back(browser);
            open.push_back(std::move(url));
        }
    }
    std::vector<std::string> saved;
    for (const SavedWindow& window : layout.windows)
        saved.push_back(window.url);
    const std::vector<int> match = matchAddresses(saved, open);

    // Unbatched: a window is put in the normal state before it is moved, which a
    // browser needs done before the move is sent.
    for (std::size_t s = 0; s < layout.windows.size(); ++s) {
        const SavedWindow& window = layout.windows[s];
        if (match[s] >= 0)
            placeSavedWindow(*browsers[static_cast<std::size_t>(match[s])], window, windows);
        else
            skipOnFailure([&] { openSavedWindow(window, objects, windows); });
    }
}

} // namespace tabulon
