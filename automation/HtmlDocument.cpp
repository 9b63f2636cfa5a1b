#include "automation/HtmlDocument.h"

#include "automation/Error.h"

namespace automation {

namespace {

// One value of an item; nothing when it cannot be read.
template <typename Read> std::optional<std::string> valueOf(Read&& read)
{
    std::optional<std::string> value;
    skipOnFailure([&] { value = read(); });
    return value;
}

std::size_t sizeOf(const ReportItem& item)
{
    return (item.first ? item.first->size() : 0) + (item.second ? item.second->size() : 0);
}

template <typename First, typename Second>
ReportItems walk(int length, int maxItems, std::size_t maxBytes, First&& first, Second&& second)
{
    ReportItems read{length, {}};
    std::size_t used = 0;
    for (int i = 0; i < length && i < maxItems && used < maxBytes; ++i) {
        ReportItem item;
        item.first = valueOf([&] { return first(i); });
        item.second = valueOf([&] { return second(i); });
        used += sizeOf(item);
        read.items.push_back(std::move(item));
    }
    return read;
}

} // namespace

ReportItems HtmlDocument::reportImages(int maxItems, std::size_t maxBytes)
{
    return walk(
        collectionLength(DocumentCollection::images), maxItems, maxBytes,
        [this](int i) { return imageHref(i); }, [this](int i) { return imageFileSize(i); });
}

ReportItems HtmlDocument::reportLinks(int maxItems, std::size_t maxBytes)
{
    return walk(
        collectionLength(DocumentCollection::links), maxItems, maxBytes,
        [this](int i) { return linkInnerHTML(i); }, [this](int i) { return linkHref(i); });
}

std::string_view memberName(DocumentColor color)
{
    switch (color) {
    case DocumentColor::fgcolor:
        return "fgcolor";
    case DocumentColor::linkcolor:
        return "linkcolor";
    case DocumentColor::alinkcolor:
        return "alinkcolor";
    case DocumentColor::vlinkcolor:
        return "vlinkcolor";
    case DocumentColor::bgcolor:
        return "bgcolor";
    }
    return "";
}

std::string_view memberName(DocumentCollection collection)
{
    switch (collection) {
    case DocumentCollection::scripts:
        return "scripts";
    case DocumentCollection::styleSheets:
        return "styleSheets";
    case DocumentCollection::Forms:
        return "Forms";
    case DocumentCollection::anchors:
        return "anchors";
    case DocumentCollection::images:
        return "images";
    case DocumentCollection::links:
        return "links";
    }
    return "";
}

} // namespace automation
