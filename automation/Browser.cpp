#include "automation/Browser.h"

namespace automation {

std::string_view memberName(BrowserProperty property)
{
    switch (property) {
    case BrowserProperty::FullScreen:
        return "FullScreen";
    case BrowserProperty::TheaterMode:
        return "TheaterMode";
    case BrowserProperty::AddressBar:
        return "AddressBar";
    case BrowserProperty::Toolbar:
        return "Toolbar";
    case BrowserProperty::MenuBar:
        return "MenuBar";
    case BrowserProperty::Resizable:
        return "Resizable";
    case BrowserProperty::Visible:
        return "Visible";
    }
    return "";
}

} // namespace automation
