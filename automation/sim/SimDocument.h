#pragma once

#include "automation/HtmlDocument.h"
#include "automation/sim/SimWindow.h"

#include <functional>
#include <memory>
#include <nlohmann/json.hpp>

namespace automation::sim {

class SimState;

// A page's document; it belongs to the page the window showed when it was read.
class SimDocument : public HtmlDocument
{
public:
    SimDocument(SimState& state, std::shared_ptr<SimWindow> window,
                std::shared_ptr<SimDocumentData> data);

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
    void putZoom(double factor) override;
    std::string referrer() override;
    std::string cookie() override;
    std::string lastModified() override;
    int collectionLength(DocumentCollection collection) override;
    std::string imageHref(int index) override;
    std::string imageFileSize(int index) override;
    std::string linkInnerHTML(int index) override;
    std::string linkHref(int index) override;

private:
    SimDocumentData& read(std::string_view member);
    SimBody& body(std::string_view member);
    void put(nlohmann::json call, std::string_view member, const std::function<void()>& change);

    SimState& m_state;
    std::shared_ptr<SimWindow> m_window;
    std::shared_ptr<SimDocumentData> m_data;
};

} // namespace automation::sim
