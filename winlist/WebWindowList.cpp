#include "winlist/WebWindowList.h"

namespace tabulon {

std::shared_ptr<automation::Browser> WebWindowList::WebWin(int i) const
{
    if (i < 0 || i > kTracked)
        return nullptr;
    return m_webWin[static_cast<std::size_t>(i)];
}

void WebWindowList::clearRows()
{
    m_rows.clear();
    m_selected = 0;
}

ListRow& WebWindowList::addRow(std::string text)
{
    m_rows.push_back(ListRow{std::move(text), {}});
    return m_rows.back();
}

void WebWindowList::setWebWin(int i, std::shared_ptr<automation::Browser> browser)
{
    if (i >= 1 && i <= kTracked)
        m_webWin[static_cast<std::size_t>(i)] = std::move(browser);
}

void WebWindowList::releaseAll()
{
    for (auto& browser : m_webWin)
        browser.reset();
}

} // namespace tabulon
