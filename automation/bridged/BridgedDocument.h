#pragma once

#include "automation/HtmlDocument.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace automation::bridged {

class BridgeHub;
class BridgePeer;

// A bridged tab's document: each member runs one of the extension's fixed page
// functions. The image and link lists are read whole once per document object.
class BridgedDocument : public HtmlDocument
{
public:
    BridgedDocument(std::shared_ptr<BridgeHub> hub, std::shared_ptr<BridgePeer> peer,
                    std::int64_t tabId);

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
    // The browser's own zoom for the tab.
    void putZoom(double factor) override;
    std::string referrer() override;
    std::string cookie() override;
    std::string lastModified() override;
    int collectionLength(DocumentCollection collection) override;
    std::string imageHref(int index) override;
    std::string imageFileSize(int index) override;
    std::string linkInnerHTML(int index) override;
    std::string linkHref(int index) override;
    // Each list as the one call that reads it gave it.
    ReportItems reportImages(int maxItems, std::size_t maxBytes) override;
    ReportItems reportLinks(int maxItems, std::size_t maxBytes) override;

    // Whether the tab's own document has finished loading, read afresh unless it was
    // already found complete since the tab last changed.
    bool complete(const std::string& member);

private:
    nlohmann::json list(const std::string& member);
    nlohmann::json write(const std::string& member, const char* fn, nlohmann::json args);
    // Replaces one part of the tab's sheet and sends the whole sheet.
    void putSheet(const std::string& member, int part, const std::string& text);
    // The image or link list, read once: its items and how many it left out.
    const nlohmann::json& heldList(const std::string& member, const char* fn,
                                   std::optional<nlohmann::json>& held);
    const nlohmann::json& item(const std::string& member, const char* fn,
                               std::optional<nlohmann::json>& held, int index);
    // The Length and first items of a held list; first and second read each item.
    using ReadValue = std::string (*)(const nlohmann::json& item);
    ReportItems reportItems(const std::string& member, const char* fn,
                            std::optional<nlohmann::json>& held, int maxItems, std::size_t maxBytes,
                            ReadValue first, ReadValue second);

    std::shared_ptr<BridgeHub> m_hub;
    std::shared_ptr<BridgePeer> m_peer;
    std::int64_t m_tabId;
    std::optional<nlohmann::json> m_images;
    std::optional<nlohmann::json> m_links;
};

// Runs a page function in the tab's top frame; its result there, or automation::Error.
nlohmann::json runInTop(BridgePeer& peer, const std::string& member, std::int64_t tabId,
                        const char* fn, nlohmann::json args = nlohmann::json::object(),
                        std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));
// The same in every frame; the frames' results as the extension gave them.
nlohmann::json runInAllFrames(BridgePeer& peer, const std::string& member, std::int64_t tabId,
                              const char* fn);

} // namespace automation::bridged
