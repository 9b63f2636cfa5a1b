#pragma once

#include "automation/HtmlDocument.h"

#include <cstdint>
#include <memory>
#include <string>

namespace automation::chromium {

class ChromiumClient;

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
    std::string referrer() override;
    std::string cookie() override;
    std::string lastModified() override;
    int collectionLength(DocumentCollection collection) override;
    std::string imageHref(int index) override;
    std::string imageFileSize(int index) override;
    std::string linkInnerHTML(int index) override;
    std::string linkHref(int index) override;

    // The colour as a page takes it: 0xRRGGBB as "#rrggbb".
    static std::string htmlColor(std::int32_t rgb);

private:
    ChromiumClient& use(const std::string& member);
    std::string text(const std::string& member, const char* expression);
    std::string textOf(const std::string& member, const char* declaration, int index);

    std::shared_ptr<ChromiumClient> m_client;
    std::string m_targetId;
    std::uint64_t m_generation;
};

} // namespace automation::chromium
