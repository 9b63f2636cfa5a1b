#pragma once

#include <memory>
#include <string>

namespace automation {
class Browser;
}

namespace tabulon {

// The page-information report of one browser window, every line ended with CR LF:
// its name and address, its size, the document's history count, referrer, cookie and
// date, the counts of its scripts, style sheets, forms, anchors and frames, then every
// image and every link. A line whose value cannot be read is left out whole; a window
// without a document gives the first four lines only; no browser gives "". Past
// kMaxReportItems images (links), or once the report holds kMaxReportBytes, one line
// says how many were left out.
std::string DispDataText(std::shared_ptr<automation::Browser> W);

} // namespace tabulon
