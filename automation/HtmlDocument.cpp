#include "automation/HtmlDocument.h"

namespace automation {

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
