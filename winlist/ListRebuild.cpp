#include "winlist/ListRebuild.h"

#include "automation/Error.h"
#include "automation/HtmlDocument.h"
#include "automation/Shell.h"
#include "base/AsciiText.h"
#include "core/Module1.h"
#include "winlist/WebWindowList.h"

namespace tabulon {

using automation::skipOnFailure;

namespace {

bool endsWith(std::string_view text, std::string_view suffix)
{
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

} // namespace

bool isWebAddress(std::string_view lowerUrl)
{
    return lowerUrl.rfind("http", 0) == 0 || endsWith(lowerUrl, ".htm") ||
           endsWith(lowerUrl, ".html");
}

void rebuildRows(WebWindowList& list, automation::ShellWindows& windows, Module1& module)
{
    list.clearRows();
    int k = 1;
    std::vector<std::shared_ptr<automation::Browser>> items;
    skipOnFailure([&] { items = windows.items(); });

    for (const auto& w : items) {
        // A window whose loading flag cannot be read is listed as busy.
        bool busy = true;
        skipOnFailure([&] { busy = w->busy(); });
        if (busy) {
            ListRow& row = list.addRow("busy");
            skipOnFailure([&] { row.browser = w->browserName(); });
            list.setWebWin(k, w);
            ++k;
            continue;
        }

        // An address that cannot be read is no address: the window gets no row.
        std::string u;
        skipOnFailure([&] { u = asciiLower(w->LocationURL()); });
        module.CurURL = u;
        if (!isWebAddress(u))
            continue;

        std::string name;
        skipOnFailure([&] { name = w->LocationName(); });
        ListRow& row = list.addRow(std::move(name));
        skipOnFailure([&] { row.sub[0] = module.GetWinState(w->hWnd()); });
        skipOnFailure([&] { row.sub[1] = std::to_string(w->Height()); });
        skipOnFailure([&] { row.sub[2] = std::to_string(w->Width()); });
        skipOnFailure([&] {
            const auto document = w->Document();
            if (!document)
                throw automation::Error("Document", "no document");
            row.sub[3] = std::to_string(document->FramesLength());
        });
        row.sub[4] = u;
        skipOnFailure([&] { row.browser = w->browserName(); });
        list.setWebWin(k, w);
        ++k;
    }
}

} // namespace tabulon
