#pragma once

#include <QString>
#include <vector>

namespace tabulon {

struct ListRow;
class WebWindowList;

// The list's filter as the user types it: a row is shown when its name or its address
// contains the text, with case and full-width or half-width forms ignored.
class RowFilter
{
public:
    explicit RowFilter(const QString& text = {});

    // Whether there is anything typed: an empty filter shows every row.
    bool active() const { return !m_text.isEmpty(); }
    const QString& text() const { return m_text; }
    bool matches(const ListRow& row) const;
    // The numbers of the rows shown, ascending, counted from 1.
    std::vector<int> shownRows(const WebWindowList& list) const;

    // The form both sides are compared in: compatibility forms composed (full-width
    // letters and digits become the usual ones, half-width kana full-width), then
    // case folded.
    static QString comparable(const QString& text);

private:
    QString m_text;
    QString m_key;
};

} // namespace tabulon
