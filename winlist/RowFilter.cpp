#include "winlist/RowFilter.h"

#include "winlist/WebWindowList.h"

namespace tabulon {

RowFilter::RowFilter(const QString& text) : m_text(text), m_key(comparable(text)) {}

QString RowFilter::comparable(const QString& text)
{
    return text.normalized(QString::NormalizationForm_KC).toCaseFolded();
}

bool RowFilter::matches(const ListRow& row) const
{
    if (!active())
        return true;
    return comparable(QString::fromStdString(row.text)).contains(m_key) ||
           comparable(QString::fromStdString(row.sub[4])).contains(m_key);
}

std::vector<int> RowFilter::shownRows(const WebWindowList& list) const
{
    std::vector<int> shown;
    shown.reserve(static_cast<std::size_t>(list.count()));
    for (int i = 1; i <= list.count(); ++i) {
        if (matches(list.row(i)))
            shown.push_back(i);
    }
    return shown;
}

} // namespace tabulon
