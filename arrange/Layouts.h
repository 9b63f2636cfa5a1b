#pragma once

#include "arrange/JsonFile.h"
#include "arrange/SavedWindow.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tabulon {

class WebWindowList;

// A named arrangement of web windows.
struct Layout
{
    std::string name;
    std::vector<SavedWindow> windows;
    friend bool operator==(const Layout&, const Layout&) = default;
};

// The saved layouts in the order they were first saved, kept in layouts.json in the
// program folder.
class Layouts
{
public:
    Layouts(automation::FileSystem& files, const std::string& folder);

    // Reads the file (see JsonFile for a damaged one).
    void load();
    const std::vector<Layout>& all() const { return m_layouts; }
    std::vector<std::string> names() const;
    // Saves the windows under the name; a layout of that name is replaced in its place.
    void save(const std::string& name, std::vector<SavedWindow> windows);
    // Removes the layout of that name; false when there is none.
    bool remove(const std::string& name);

private:
    void write();

    JsonFile m_file;
    std::vector<Layout> m_layouts;
};

// The part of an address the second matching pass compares: host (lower-cased, with
// its port, without a user) and path, without scheme, query or fragment.
std::string hostAndPath(std::string_view url);

// For each saved address, the index of the open address it is matched to, or -1. An
// exact match is taken first for every saved address, then one of the same host and
// path among those left; each open address is matched once at most.
std::vector<int> matchAddresses(const std::vector<std::string>& saved,
                                const std::vector<std::string>& open);

// Every listed web window with a browser object, as a layout keeps it.
std::vector<SavedWindow> readLayout(const WebWindowList& list, automation::WindowManager& windows);

// Moves and sizes each listed window that matches a saved one to its place and state,
// opens the saved addresses no listed window matches, and leaves the other windows
// alone. Steps that fail are skipped.
void restoreLayout(const Layout& layout, const WebWindowList& list,
                   automation::ObjectFactory& objects, automation::WindowManager& windows);

} // namespace tabulon
