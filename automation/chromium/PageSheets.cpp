#include "automation/chromium/PageSheets.h"

#include "automation/Error.h"
#include "automation/chromium/Checked.h"
#include "automation/chromium/PageCalls.h"

namespace automation::chromium {

using nlohmann::json;

void PageSheets::put(const std::string& member, const std::string& targetId, Kind kind,
                     const std::string& text)
{
    Document& document = m_sheets[targetId];
    std::string& id = document.sheets[kind];
    if (!id.empty()) {
        try {
            m_pages.pageCall(member, targetId, "CSS.setStyleSheetText",
                             {{"styleSheetId", id}, {"text", text}});
            return;
        } catch (const Error&) {
            // The document it was in has gone; a page that stopped answering fails
            // again below at once.
            id.clear();
            document.enabled = false;
        }
    }
    if (text.empty())
        return;
    // The browser makes and keeps the program's sheets only while its style-sheet
    // domain is on in the document's session, and that only with the DOM's on too.
    // Turning it on gathers the page's rules, so it is done once per document.
    if (!document.enabled) {
        m_pages.pageCall(member, targetId, "DOM.enable", json::object(), m_setupLimit);
        m_pages.pageCall(member, targetId, "CSS.enable", json::object(), m_setupLimit);
        document.enabled = true;
    }
    // A tab's top frame has the tab's id.
    const json created = m_pages.pageCall(member, targetId, "CSS.createStyleSheet",
                                          {{"frameId", targetId}, {"force", true}});
    const std::string sheet = checked::idAt(created, "styleSheetId");
    if (sheet.empty())
        throw Error(member, "the browser made no style sheet");
    m_pages.pageCall(member, targetId, "CSS.setStyleSheetText",
                     {{"styleSheetId", sheet}, {"text", text}});
    id = sheet;
}

} // namespace automation::chromium
