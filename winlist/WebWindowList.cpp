#include "winlist/WebWindowList.h"

namespace tabulon {

std::shared_ptr<automation::Browser> WebWindowList::WebWin(int i) const
{
    if (i < 0 || (i > kTracked && !m_allRows) || i >= static_cast<int>(m_webWin.size()))
        return nullptr;
    return m_webWin[static_cast<std::size_t>(i)];
}

void WebWindowList::setAllRows(bool on)
{
    m_allRows = on;
    if (!on)
        m_webWin.resize(kTracked + 1);
}

bool WebWindowList::inScope(int i) const
{
    if (i < 1 || i > count())
        return false;
    if (!m_filtered)
        return true;
    return static_cast<std::size_t>(i) < m_inScope.size() && m_inScope[static_cast<std::size_t>(i)];
}

int WebWindowList::scopeCount() const
{
    if (!m_filtered)
        return count();
    int n = 0;
    for (int i = 1; i <= count(); ++i)
        n += inScope(i) ? 1 : 0;
    return n;
}

void WebWindowList::setShownRows(std::optional<std::vector<int>> shown)
{
    m_filtered = shown.has_value();
    m_inScope.assign(static_cast<std::size_t>(count()) + 1, false);
    if (!shown)
        return;
    for (const int i : *shown) {
        if (i >= 1 && i <= count())
            m_inScope[static_cast<std::size_t>(i)] = true;
    }
}

void WebWindowList::clearRows()
{
    m_rows.clear();
    m_selected = 0;
}

ListRow& WebWindowList::addRow(std::string text)
{
    m_rows.push_back(ListRow{std::move(text), {}, {}});
    return m_rows.back();
}

void WebWindowList::setWebWin(int i, std::shared_ptr<automation::Browser> browser)
{
    if (i < 1 || (i > kTracked && !m_allRows))
        return;
    if (static_cast<std::size_t>(i) >= m_webWin.size())
        m_webWin.resize(static_cast<std::size_t>(i) + 1);
    m_webWin[static_cast<std::size_t>(i)] = std::move(browser);
}

void WebWindowList::releaseAll()
{
    for (auto& browser : m_webWin)
        browser.reset();
}

} // namespace tabulon
