#pragma once

#include "automation/chromium/TargetRegistry.h"

#include <array>
#include <chrono>
#include <map>
#include <string>

namespace automation::chromium {

class PageCalls;

// The program's own style sheets in tabs' documents: the protocol's inspector sheets,
// which stand outside the page's scripts. Each tab has one sheet of each kind; putting
// text replaces the sheet's earlier text, never adds a second sheet.
class PageSheets : public TargetListener
{
public:
    enum Kind
    {
        colors,
        zoom,
        kindCount
    };

    PageSheets(PageCalls& pages, std::chrono::milliseconds setupLimit)
        : m_pages(pages), m_setupLimit(setupLimit)
    {}

    // Empty text empties the sheet (and makes none where there is none yet).
    void put(const std::string& member, const std::string& targetId, Kind kind,
             const std::string& text);
    // Forgets everything (the browser is gone).
    void clear() { m_sheets.clear(); }

    void documentGone(const std::string& targetId) override { m_sheets.erase(targetId); }
    void targetGone(const std::string& targetId) override { m_sheets.erase(targetId); }

private:
    struct Document
    {
        std::array<std::string, kindCount> sheets;
        // The style-sheet domain is on in the document's session.
        bool enabled = false;
    };

    PageCalls& m_pages;
    std::chrono::milliseconds m_setupLimit;
    std::map<std::string, Document> m_sheets;
};

} // namespace automation::chromium
