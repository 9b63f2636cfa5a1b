#include "page/SelectedPage.h"

#include "automation/Browser.h"
#include "automation/Error.h"
#include "winlist/WebWindowList.h"

namespace tabulon {

std::shared_ptr<automation::Browser> selectedBrowser(const WebWindowList& list)
{
    auto browser = list.selectedWebWin();
    if (!browser)
        throw automation::Error("WebWin", "no browser object for the selected row");
    return browser;
}

std::shared_ptr<automation::HtmlDocument> selectedDocument(const WebWindowList& list)
{
    return selectedBrowser(list)->Document();
}

} // namespace tabulon
