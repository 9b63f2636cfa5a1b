#pragma once

#include "automation/HtmlDocument.h"
#include "automation/chromium/ChromiumClient.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace automation::chromium {

// The document a tab shows, read and changed by evaluating fixed scripts in the page.
class ChromiumDocument : public HtmlDocument
{
public:
    ChromiumDocument(std::shared_ptr<ChromiumClient> client, std::string targetId,
                     std::uint64_t generation);

    std::string Title() override;
    std::shared_ptr<PageWindow> parentwindow() override;
    int FramesLength() override;
    std::shared_ptr<PageWindow> FramesItem(int index) override;
    std::string bodyBackground() override;
    void putBodyBackground(const std::string& value) override;
    std::string bodyFontSize() override;
    void putBodyFontSize(const std::string& value) override;
    void putColor(DocumentColor color, std::int32_t rgb) override;
    void putBaseColors(const BaseColors& colors) override;
    // A CSS zoom on the root element: the protocol has no page zoom of the browser's
    // own, and scaling the page's visual viewport would leave its layout as it was.
    void putZoom(double factor) override;
    std::string referrer() override;
    std::string cookie() override;
    std::string lastModified() override;
    int collectionLength(DocumentCollection collection) override;
    std::string imageHref(int index) override;
    std::string imageFileSize(int index) override;
    std::string linkInnerHTML(int index) override;
    std::string linkHref(int index) override;
    // One call for each collection (more only for a collection whose text is larger
    // than one answer should be), and one read of the resource tree for the sizes.
    ReportItems reportImages(int maxItems, std::size_t maxBytes) override;
    ReportItems reportLinks(int maxItems, std::size_t maxBytes) override;

    // The colour as a page takes it: 0xRRGGBB as "#rrggbb".
    static std::string htmlColor(std::int32_t rgb);

    // Items read from the page in one call, at most this many.
    static constexpr int kItemsPerRead = 500;
    // ... and no more than this many characters together, so that one answer stays
    // far below the protocol's message limit.
    static constexpr int kItemCharactersPerRead = 1 << 20;
    // The report's reads of a whole collection: even at six bytes a character escaped,
    // one answer stays below the protocol's message limit.
    static constexpr int kReportCharactersPerRead = 4 << 20;

private:
    // Items of a collection read in one call: the report asks for them one by one,
    // taking turns between two properties of each link.
    struct Items
    {
        int start = 0;
        std::vector<std::string> values;
        ChromiumClient::Stamp stamp;
    };

    ChromiumClient& use(const std::string& member);
    std::string text(const std::string& member, const char* declaration);
    std::string item(const std::string& member, const char* collection, const char* property,
                     int index);
    // The Length of a collection and the properties of its first items, as the report
    // reads them.
    ReportItems reportItems(const std::string& member, const char* collection,
                            const std::vector<std::string>& properties, int maxItems,
                            std::size_t maxBytes);

    std::shared_ptr<ChromiumClient> m_client;
    std::string m_targetId;
    std::uint64_t m_generation;
    // By collection and property.
    std::map<std::pair<std::string, std::string>, Items> m_items;
};

} // namespace automation::chromium
