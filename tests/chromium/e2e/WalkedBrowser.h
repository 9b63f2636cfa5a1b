#pragma once

#include "automation/Browser.h"
#include "automation/HtmlDocument.h"

#include <memory>
#include <string>
#include <utility>

// A browser window whose document reads the report's images and links item by item,
// member by member, as the report read every page before: beside the window itself
// it shows what that reading gives and what it costs.
class WalkedDocument : public automation::HtmlDocument
{
public:
    explicit WalkedDocument(std::shared_ptr<automation::HtmlDocument> d) : m_d(std::move(d)) {}

    std::string Title() override { return m_d->Title(); }
    std::shared_ptr<automation::PageWindow> parentwindow() override { return m_d->parentwindow(); }
    int FramesLength() override { return m_d->FramesLength(); }
    std::shared_ptr<automation::PageWindow> FramesItem(int index) override
    {
        return m_d->FramesItem(index);
    }
    std::string bodyBackground() override { return m_d->bodyBackground(); }
    void putBodyBackground(const std::string& value) override { m_d->putBodyBackground(value); }
    std::string bodyFontSize() override { return m_d->bodyFontSize(); }
    void putBodyFontSize(const std::string& value) override { m_d->putBodyFontSize(value); }
    void putColor(automation::DocumentColor color, std::int32_t rgb) override
    {
        m_d->putColor(color, rgb);
    }
    void putBaseColors(const automation::BaseColors& colors) override
    {
        m_d->putBaseColors(colors);
    }
    void putZoom(double factor) override { m_d->putZoom(factor); }
    std::string referrer() override { return m_d->referrer(); }
    std::string cookie() override { return m_d->cookie(); }
    std::string lastModified() override { return m_d->lastModified(); }
    int collectionLength(automation::DocumentCollection collection) override
    {
        return m_d->collectionLength(collection);
    }
    std::string imageHref(int index) override { return m_d->imageHref(index); }
    std::string imageFileSize(int index) override { return m_d->imageFileSize(index); }
    std::string linkInnerHTML(int index) override { return m_d->linkInnerHTML(index); }
    std::string linkHref(int index) override { return m_d->linkHref(index); }

private:
    std::shared_ptr<automation::HtmlDocument> m_d;
};

class WalkedBrowser : public automation::Browser
{
public:
    explicit WalkedBrowser(std::shared_ptr<automation::Browser> b) : m_b(std::move(b)) {}

    bool busy() override { return m_b->busy(); }
    std::string LocationURL() override { return m_b->LocationURL(); }
    std::string LocationName() override { return m_b->LocationName(); }
    automation::Hwnd hWnd() override { return m_b->hWnd(); }
    long Height() override { return m_b->Height(); }
    long Width() override { return m_b->Width(); }
    std::shared_ptr<automation::HtmlDocument> Document() override
    {
        auto d = m_b->Document();
        return d ? std::make_shared<WalkedDocument>(std::move(d)) : nullptr;
    }
    void put(automation::BrowserProperty property, bool value) override
    {
        m_b->put(property, value);
    }
    bool get(automation::BrowserProperty property) override { return m_b->get(property); }
    void Navigate(const std::string& url) override { m_b->Navigate(url); }
    void Quit() override { m_b->Quit(); }

private:
    std::shared_ptr<automation::Browser> m_b;
};

// The report less its line of the page's date: a page served without one is dated
// by the browser at the moment it is asked.
inline std::string withoutDate(std::string report)
{
    const std::string line = "サイトの最終更新日: ";
    if (const auto at = report.find(line); at != std::string::npos)
        report.erase(at, report.find("\r\n", at) - at);
    return report;
}
