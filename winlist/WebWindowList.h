#pragma once

#include "automation/Browser.h"

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tabulon {

// One row of the main window's list: the page name, then the state letter, height,
// width, frame count and lower-cased address ("" where a cell is empty).
struct ListRow
{
    std::string text;
    std::array<std::string, 5> sub;
    // The browser program the window belongs to (not shown in the list).
    std::string browser;
    friend bool operator==(const ListRow&, const ListRow&) = default;
};

// The web-window list as the program holds it: the rows, the selected row, and the
// row-to-object table WebWin. Rows are numbered from 1; rows 1 to 20 have a browser
// object, rows above the 20th have none and every command passes them over, unless
// every row is tracked (the option "21行目以降も操作する").
class WebWindowList
{
public:
    static constexpr int kTracked = 20;

    int count() const { return static_cast<int>(m_rows.size()); }
    const std::vector<ListRow>& rows() const { return m_rows; }
    // Row i, counted from 1.
    const ListRow& row(int i) const { return m_rows.at(static_cast<std::size_t>(i - 1)); }

    // The selected row's number, 0 when none is selected.
    int selected() const { return m_selected; }
    // Selects row i; a number outside the list selects nothing.
    void select(int i) { m_selected = (i >= 1 && i <= count()) ? i : 0; }

    // Whether rows above the 20th have browser objects too. Turning it off drops them.
    bool allRows() const { return m_allRows; }
    void setAllRows(bool on);
    // The last row a command over the listed windows reaches: the last row, or the
    // 20th at most while only 20 rows are tracked.
    int lastTracked() const { return lastTracked(count()); }
    int lastTracked(int lastRow) const { return m_allRows ? lastRow : std::min(lastRow, kTracked); }

    // The rows the commands over every web window act on: every row, or while the
    // list is filtered only the rows shown. The row numbers stay the real ones.
    bool filtered() const { return m_filtered; }
    bool inScope(int i) const;
    // The number of rows in scope: the row count when unfiltered.
    int scopeCount() const;
    // shown: the rows the filter lets through, ascending; nullopt ends the filtering.
    void setShownRows(std::optional<std::vector<int>> shown);

    // WebWin(i): the browser object of row i (entries 0 to 20, or to the last row when
    // every row is tracked); nothing above.
    std::shared_ptr<automation::Browser> WebWin(int i) const;
    // The selected row's browser object, or nothing (no selection, a row above 20).
    std::shared_ptr<automation::Browser> selectedWebWin() const { return WebWin(m_selected); }

    // Removes every row and with them the selection. WebWin keeps its entries until a
    // later rebuild overwrites them.
    void clearRows();
    ListRow& addRow(std::string text);
    void setWebWin(int i, std::shared_ptr<automation::Browser> browser);
    // Drops every browser object (at exit).
    void releaseAll();

private:
    std::vector<ListRow> m_rows;
    int m_selected = 0;
    bool m_allRows = false;
    // Entries 0 to 20 always exist; more only while every row is tracked.
    std::vector<std::shared_ptr<automation::Browser>> m_webWin =
        std::vector<std::shared_ptr<automation::Browser>>(kTracked + 1);
    bool m_filtered = false;
    std::vector<bool> m_inScope;
};

} // namespace tabulon
