#pragma once

#include <memory>

namespace automation {
class Browser;
class HtmlDocument;
} // namespace automation

namespace tabulon {

class WebWindowList;

// The browser object of the selected row. Raises automation::Error when no row is
// selected or the row has no browser object (rows above the 20th), as reading a
// member of nothing would.
std::shared_ptr<automation::Browser> selectedBrowser(const WebWindowList& list);

// The selected row's document: nothing when its window shows none; raises
// automation::Error as selectedBrowser does, or when the document cannot be read.
std::shared_ptr<automation::HtmlDocument> selectedDocument(const WebWindowList& list);

} // namespace tabulon
