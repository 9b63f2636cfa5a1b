#include "automation/chromium/ChromiumDocument.h"

#include "automation/Error.h"
#include "automation/chromium/ChromiumClient.h"
#include "automation/chromium/ChromiumPageWindow.h"
#include "automation/chromium/PageScripts.h"

#include <cstdio>

namespace automation::chromium {

using nlohmann::json;

namespace {

std::string asText(const std::string& member, const json& value)
{
    if (value.is_string())
        return value.get<std::string>();
    if (value.is_null())
        return {};
    if (value.is_number_integer())
        return std::to_string(value.get<long long>());
    if (value.is_number())
        return value.dump();
    if (value.is_boolean())
        return value.get<bool>() ? "true" : "false";
    throw Error(member, "the page gave no text");
}

int asCount(const std::string& member, const json& value)
{
    if (!value.is_number())
        throw Error(member, "the page gave no number");
    const double number = value.get<double>();
    if (number < 0 || number > 1e9)
        throw Error(member, "the page gave no count");
    return static_cast<int>(number);
}

// The document's own names for the colours.
const char* colorProperty(DocumentColor color)
{
    switch (color) {
    case DocumentColor::fgcolor:
        return "fgColor";
    case DocumentColor::linkcolor:
        return "linkColor";
    case DocumentColor::alinkcolor:
        return "alinkColor";
    case DocumentColor::vlinkcolor:
        return "vlinkColor";
    case DocumentColor::bgcolor:
        return "bgColor";
    }
    return "fgColor";
}

const char* collectionProperty(DocumentCollection collection)
{
    switch (collection) {
    case DocumentCollection::scripts:
        return "scripts";
    case DocumentCollection::styleSheets:
        return "styleSheets";
    case DocumentCollection::Forms:
        return "forms";
    case DocumentCollection::anchors:
        return "anchors";
    case DocumentCollection::images:
        return "images";
    case DocumentCollection::links:
        return "links";
    }
    return "links";
}

} // namespace

ChromiumDocument::ChromiumDocument(std::shared_ptr<ChromiumClient> client, std::string targetId,
                                   std::uint64_t generation)
    : m_client(std::move(client)), m_targetId(std::move(targetId)), m_generation(generation)
{}

ChromiumClient& ChromiumDocument::use(const std::string& member)
{
    m_client->require(member, m_targetId, m_generation);
    return *m_client;
}

std::string ChromiumDocument::text(const std::string& member, const char* expression)
{
    return asText(member, use(member).evaluate(member, m_targetId, expression));
}

std::string ChromiumDocument::textOf(const std::string& member, const char* declaration, int index)
{
    return asText(member, use(member).callFunction(member, m_targetId, declaration, {index}));
}

std::string ChromiumDocument::htmlColor(std::int32_t rgb)
{
    char text[8];
    std::snprintf(text, sizeof text, "#%06x", static_cast<unsigned>(rgb) & 0xFFFFFFu);
    return text;
}

std::string ChromiumDocument::Title()
{
    return text("Title", scripts::kTitle);
}

std::shared_ptr<PageWindow> ChromiumDocument::parentwindow()
{
    use("parentwindow");
    return std::make_shared<ChromiumPageWindow>(m_client, m_targetId, m_generation, -1);
}

int ChromiumDocument::FramesLength()
{
    return use("Frames").snapshot("Frames", m_targetId).frames;
}

std::shared_ptr<PageWindow> ChromiumDocument::FramesItem(int index)
{
    if (index < 0 || index >= FramesLength())
        throw Error("Frames", "no such frame");
    return std::make_shared<ChromiumPageWindow>(m_client, m_targetId, m_generation, index);
}

std::string ChromiumDocument::bodyBackground()
{
    return text("background", scripts::kBodyBackground);
}

void ChromiumDocument::putBodyBackground(const std::string& value)
{
    use("body").callFunction("body", m_targetId, scripts::kPutBodyBackground, {value});
}

std::string ChromiumDocument::bodyFontSize()
{
    return text("fontSize", scripts::kBodyFontSize);
}

void ChromiumDocument::putBodyFontSize(const std::string& value)
{
    use("body").callFunction("body", m_targetId, scripts::kPutBodyFontSize, {value});
}

void ChromiumDocument::putColor(DocumentColor color, std::int32_t rgb)
{
    const std::string member(memberName(color));
    use(member).callFunction(member, m_targetId, scripts::kPutColor,
                             {colorProperty(color), htmlColor(rgb)});
}

std::string ChromiumDocument::referrer()
{
    return text("referrer", scripts::kReferrer);
}

std::string ChromiumDocument::cookie()
{
    return text("cookie", scripts::kCookie);
}

std::string ChromiumDocument::lastModified()
{
    return text("lastModified", scripts::kLastModified);
}

int ChromiumDocument::collectionLength(DocumentCollection collection)
{
    const std::string member(memberName(collection));
    return asCount(member, use(member).callFunction(member, m_targetId, scripts::kCollectionLength,
                                                    {collectionProperty(collection)}));
}

std::string ChromiumDocument::imageHref(int index)
{
    return textOf("images", scripts::kImageHref, index);
}

std::string ChromiumDocument::imageFileSize(int index)
{
    // The bytes the browser loaded for the image, as the page's resources list them.
    const std::string href = imageHref(index);
    const auto size = use("filesize").resourceSize("filesize", m_targetId, href);
    if (!size)
        throw Error("filesize", "the image's size is not known");
    return std::to_string(*size);
}

std::string ChromiumDocument::linkInnerHTML(int index)
{
    return textOf("links", scripts::kLinkInnerHTML, index);
}

std::string ChromiumDocument::linkHref(int index)
{
    return textOf("links", scripts::kLinkHref, index);
}

} // namespace automation::chromium
