#include "registry/RegisteredLists.h"

#include <utility>

namespace tabulon {

namespace {

template <typename Entry, std::size_t N> struct Table
{
    std::array<Entry, N>& entries;
    std::int32_t& last;

    bool holds(int index) const { return index >= 0 && index <= last; }
    Entry& at(int index) { return entries[static_cast<std::size_t>(index)]; }
};

// Applies change, then saves; a save that fails puts the table back.
template <typename Entry, std::size_t N, typename Change, typename Save>
bool commit(Table<Entry, N> table, Change&& change, Save&& save)
{
    const std::array<Entry, N> before = table.entries;
    const std::int32_t lastBefore = table.last;
    std::forward<Change>(change)();
    if (std::forward<Save>(save)())
        return true;
    table.entries = before;
    table.last = lastBefore;
    return false;
}

template <typename Entry, std::size_t N, typename Save>
bool append(Table<Entry, N> table, Entry entry, Save&& save)
{
    if (table.last + 1 >= static_cast<std::int32_t>(N))
        return false;
    return commit(
        table,
        [&] {
            ++table.last;
            table.at(table.last) = std::move(entry);
        },
        std::forward<Save>(save));
}

template <typename Entry, std::size_t N, typename Save>
bool remove(Table<Entry, N> table, int index, Save&& save)
{
    if (!table.holds(index) || table.last == 0)
        return false;
    return commit(
        table,
        [&] {
            for (int i = index; i < table.last; ++i)
                table.at(i) = std::move(table.at(i + 1));
            table.at(table.last) = {};
            --table.last;
        },
        std::forward<Save>(save));
}

} // namespace

bool addSite(Module1& module, SiteEntry entry)
{
    return append(Table<SiteEntry, kSiteSlots>{module.SiteList, module.SiteLast}, std::move(entry),
                  [&] { return module.SaveSiteList(); });
}

bool changeSite(Module1& module, int index, SiteEntry entry)
{
    Table<SiteEntry, kSiteSlots> table{module.SiteList, module.SiteLast};
    if (!table.holds(index))
        return false;
    return commit(
        table, [&] { table.at(index) = std::move(entry); }, [&] { return module.SaveSiteList(); });
}

bool deleteSite(Module1& module, int index)
{
    return remove(Table<SiteEntry, kSiteSlots>{module.SiteList, module.SiteLast}, index,
                  [&] { return module.SaveSiteList(); });
}

bool addApp(Module1& module, AppEntry entry)
{
    return append(Table<AppEntry, kAppSlots>{module.AppList, module.AppLast}, std::move(entry),
                  [&] { return module.SaveAppList(); });
}

bool deleteApp(Module1& module, int index)
{
    return remove(Table<AppEntry, kAppSlots>{module.AppList, module.AppLast}, index,
                  [&] { return module.SaveAppList(); });
}

} // namespace tabulon
