#include "automation/sim/SimWindow.h"

namespace automation::sim {

const std::string& browserCaptionSuffix()
{
    static const std::string suffix = " - Microsoft Internet Explorer";
    return suffix;
}

std::string SimWindow::currentCaption() const
{
    return kind == SimKind::Browser ? title + browserCaptionSuffix() : caption;
}

std::string SimWindow::locationName() const
{
    if (name)
        return *name;
    return title.empty() ? url : title;
}

std::map<BrowserProperty, bool> defaultProps()
{
    return {{BrowserProperty::FullScreen, false}, {BrowserProperty::TheaterMode, false},
            {BrowserProperty::AddressBar, true},  {BrowserProperty::Toolbar, true},
            {BrowserProperty::MenuBar, true},     {BrowserProperty::Resizable, true},
            {BrowserProperty::Visible, true}};
}

} // namespace automation::sim
