#include "winlist/AutoMinimize.h"

#include "automation/Error.h"
#include "core/Module1.h"
#include "winlist/WebWindowList.h"

#include <charconv>
#include <unordered_set>

namespace tabulon {

using automation::skipOnFailure;

namespace {

std::unordered_set<automation::Hwnd> handleSet(const std::vector<std::string>& entries)
{
    std::unordered_set<automation::Hwnd> handles;
    handles.reserve(entries.size());
    for (const std::string& entry : entries) {
        automation::Hwnd value = 0;
        std::from_chars(entry.data(), entry.data() + entry.size(), value);
        handles.insert(value);
    }
    return handles;
}

} // namespace

std::vector<std::string> seenHandles(const WebWindowList& list)
{
    std::vector<std::string> seen;
    for (int i = 1; i <= list.lastTracked(); ++i) {
        const auto browser = list.WebWin(i);
        if (browser)
            skipOnFailure([&] { seen.push_back(std::to_string(browser->hWnd())); });
    }
    return seen;
}

void autoMinimize(const WebWindowList& list, std::vector<std::string>& seen, Module1& module)
{
    // Compared with the entries there were before this tick, as the list's own lookup is.
    const auto known = handleSet(seen);
    for (int i = 1; i <= list.lastTracked(); ++i) {
        const auto browser = list.WebWin(i);
        if (!browser)
            continue;
        skipOnFailure([&] {
            const automation::Hwnd h = browser->hWnd();
            if (known.count(h))
                return;
            module.MinimizeWin(h);
            seen.push_back(std::to_string(h));
        });
    }
}

} // namespace tabulon
