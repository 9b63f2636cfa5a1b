#include "page/PageReport.h"

#include "automation/Browser.h"
#include "automation/Error.h"
#include "automation/HtmlDocument.h"
#include "automation/Limits.h"
#include "automation/PageWindow.h"

#include <utility>

namespace tabulon {

using automation::DocumentCollection;
using automation::skipOnFailure;

namespace {

const std::string kEnd = "\r\n";

// A page window or document member that gives nothing fails like a missing member.
template <typename T> T& existing(const std::shared_ptr<T>& object, const char* member)
{
    if (!object)
        throw automation::Error(member, "nothing there");
    return *object;
}

// Whether the report may go on with another image or link.
bool roomFor(const std::string& report, int index)
{
    return index < automation::limits::kMaxReportItems &&
           report.size() < automation::limits::kMaxReportBytes;
}

// The line that stands for the images or links the report leaves out.
std::string leftOut(const char* indent, int count)
{
    return indent + std::string("（以下 ") + std::to_string(count) + " 件は省略）";
}

// An item the read did not reach (the page changed meanwhile) reads as unreadable.
const automation::ReportItem& itemAt(const automation::ReportItems& read, int index)
{
    static const automation::ReportItem kUnread;
    const auto at = static_cast<std::size_t>(index);
    return at < read.items.size() ? read.items[at] : kUnread;
}

} // namespace

std::string DispDataText(std::shared_ptr<automation::Browser> W)
{
    if (!W)
        return {};
    std::string report;
    const auto add = [&report](const std::string& line) { report += line + kEnd; };

    skipOnFailure([&] { add("サイトの名称:  " + W->LocationName()); });
    skipOnFailure([&] { add("URL:　　　       " + W->LocationURL() + kEnd); });
    skipOnFailure([&] { add("Window Width =  " + std::to_string(W->Width())); });
    skipOnFailure([&] { add("Window Height =  " + std::to_string(W->Height())); });

    std::shared_ptr<automation::HtmlDocument> D;
    skipOnFailure([&] { D = W->Document(); });
    W.reset();
    if (!D)
        return report;

    skipOnFailure([&] {
        add("ブラウザの履歴数= " +
            std::to_string(existing(D->parentwindow(), "parentwindow").historyLength()));
    });
    skipOnFailure([&] { add("Referrer = " + D->referrer()); });
    skipOnFailure([&] { add("Cookie：　" + D->cookie()); });
    skipOnFailure([&] { add("サイトの最終更新日: " + D->lastModified()); });
    add("");

    // A count that cannot be read leaves its line out rather than print another's.
    const std::pair<const char*, DocumentCollection> counts[] = {
        {"　Script:　", DocumentCollection::scripts},
        {"　StyleSheet:　", DocumentCollection::styleSheets},
        {"　Form:　", DocumentCollection::Forms},
        {"　Anchor:　", DocumentCollection::anchors}};
    for (const auto& count : counts)
        skipOnFailure(
            [&] { add(count.first + std::to_string(D->collectionLength(count.second))); });
    skipOnFailure([&] { add("　Frame: " + std::to_string(D->FramesLength())); });
    add("");

    // Each collection is read whole before its lines are written: the report cannot hold
    // more than what is left of its room, so no more is read.
    const auto room = [&report] {
        return report.size() < automation::limits::kMaxReportBytes
                   ? automation::limits::kMaxReportBytes - report.size()
                   : std::size_t{0};
    };
    automation::ReportItems images;
    if (skipOnFailure(
            [&] { images = D->reportImages(automation::limits::kMaxReportItems, room()); })) {
        add("image: " + std::to_string(images.length));
        int i = 0;
        for (; i < images.length && roomFor(report, i); ++i) {
            const std::string index = std::to_string(i);
            const automation::ReportItem& item = itemAt(images, i);
            if (item.first)
                add("    URL(" + index + ")= " + *item.first);
            if (item.second)
                add("        file size = " + *item.second);
        }
        if (i < images.length)
            add(leftOut("    ", images.length - i));
    }
    add("");

    automation::ReportItems links;
    if (skipOnFailure(
            [&] { links = D->reportLinks(automation::limits::kMaxReportItems, room()); })) {
        add("link: " + std::to_string(links.length));
        int i = 0;
        for (; i < links.length && roomFor(report, i); ++i) {
            const std::string index = std::to_string(i);
            const automation::ReportItem& item = itemAt(links, i);
            if (item.first)
                add("   title(" + index + ")= " + *item.first);
            if (item.second) {
                std::string line = "      url(" + index + ")= ";
                line += *item.second;
                line += kEnd;
                add(line);
            }
        }
        if (i < links.length)
            add(leftOut("   ", links.length - i));
    }
    add("");
    return report;
}

} // namespace tabulon
