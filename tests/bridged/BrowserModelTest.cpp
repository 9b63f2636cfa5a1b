#include "automation/bridged/BrowserModel.h"

#include <gtest/gtest.h>

using automation::WindowState;
using automation::bridged::BridgeTab;
using automation::bridged::BrowserModel;
using nlohmann::json;

namespace {

json window(std::int64_t id, const char* state = "normal", bool focused = false)
{
    return {{"id", id},  {"type", "normal"}, {"state", state}, {"focused", focused}, {"left", 10},
            {"top", 20}, {"width", 800},     {"height", 600},  {"incognito", false}};
}

json tab(std::int64_t id, std::int64_t windowId, std::int64_t index, const char* title,
         bool active = false)
{
    return {{"id", id},
            {"windowId", windowId},
            {"index", index},
            {"active", active},
            {"status", "complete"},
            {"title", title},
            {"url", std::string("https://example.org/") + title}};
}

json event(const char* name, json fields)
{
    fields["type"] = "event";
    fields["name"] = name;
    return fields;
}

std::vector<std::int64_t> ids(const BrowserModel& model)
{
    std::vector<std::int64_t> result;
    for (const BridgeTab* t : model.tabs())
        result.push_back(t->id);
    return result;
}

} // namespace

TEST(BrowserModel, SnapshotOrderAndEventsKeepDiscoveryOrder)
{
    BrowserModel model;
    model.applySnapshot(
        {{"windows", {window(1, "maximized", true), window(2, "minimized")}},
         {"tabs", {tab(11, 1, 0, "a", true), tab(12, 1, 1, "b"), tab(21, 2, 0, "c", true)}}});
    EXPECT_EQ(ids(model), (std::vector<std::int64_t>{11, 12, 21}));
    EXPECT_EQ(model.focusedWindow(), 1);
    EXPECT_EQ(model.window(1)->state, WindowState::Maximized);
    EXPECT_EQ(model.window(2)->state, WindowState::Minimized);
    EXPECT_EQ(model.activeTab(1)->id, 11);

    // A new tab comes last, whatever its index; an update keeps its place.
    model.applyEvent(event("tabs.onCreated", {{"tab", tab(13, 1, 0, "new")}}));
    model.applyEvent(event("tabs.onUpdated", {{"tab", tab(11, 1, 1, "renamed")}}));
    EXPECT_EQ(ids(model), (std::vector<std::int64_t>{11, 12, 21, 13}));
    EXPECT_EQ(model.tab(11)->title, "renamed");

    model.applyEvent(event("tabs.onActivated", {{"tabId", 12}, {"windowId", 1}}));
    EXPECT_EQ(model.activeTab(1)->id, 12);
    EXPECT_FALSE(model.tab(11)->active);

    // A tab moved to another window goes with it; a window removed takes its tabs.
    model.applyEvent(event("tabs.onAttached", {{"tabId", 12}, {"windowId", 2}, {"position", 1}}));
    EXPECT_EQ(model.tab(12)->windowId, 2);
    model.applyEvent(event("windows.onRemoved", {{"windowId", 2}}));
    EXPECT_EQ(ids(model), (std::vector<std::int64_t>{11, 13}));
    model.applyEvent(
        event("tabs.onRemoved", {{"tabId", 13}, {"windowId", 1}, {"windowClosing", false}}));
    EXPECT_EQ(ids(model), (std::vector<std::int64_t>{11}));

    // A later snapshot keeps the order of the tabs already known.
    model.applySnapshot(
        {{"windows", {window(1), window(3)}}, {"tabs", {tab(31, 3, 0, "d"), tab(11, 1, 0, "a")}}});
    EXPECT_EQ(ids(model), (std::vector<std::int64_t>{11, 31}));
    EXPECT_FALSE(model.focusedWindow());
}

TEST(BrowserModel, FocusAndBoundsEvents)
{
    BrowserModel model;
    model.applySnapshot({{"windows", {window(1), window(2)}}, {"tabs", json::array()}});
    model.applyEvent(event("windows.onFocusChanged", {{"windowId", 2}}));
    EXPECT_EQ(model.focusedWindow(), 2);
    EXPECT_TRUE(model.window(2)->focused);
    // -1: the focus went to another program.
    model.applyEvent(event("windows.onFocusChanged", {{"windowId", -1}}));
    EXPECT_FALSE(model.focusedWindow());
    EXPECT_FALSE(model.window(2)->focused);

    json moved = window(1, "fullscreen");
    moved["width"] = 1024;
    model.applyEvent(event("windows.onBoundsChanged", {{"window", moved}}));
    EXPECT_EQ(model.window(1)->bounds.width, 1024);
    EXPECT_TRUE(model.window(1)->fullscreen);
}

TEST(BrowserModel, LyingValuesAreSkipped)
{
    BrowserModel model;
    json badWindow = window(1);
    badWindow["width"] = -5;
    badWindow["left"] = 1e300;
    json hugeId = tab(0, 1, 0, "x");
    hugeId["id"] = 9007199254740993.0 * 4; // past 2^53
    json textId = tab(0, 1, 0, "y");
    textId["id"] = "7";
    json longTitle = tab(5, 1, 0, "z");
    longTitle["title"] = std::string(200000, 'T') + "\n";
    model.applySnapshot({{"windows", {badWindow, "not a window", nullptr}},
                         {"tabs", {hugeId, textId, longTitle, 42, tab(6, 99, 0, "orphan")}}});
    ASSERT_NE(model.window(1), nullptr);
    EXPECT_EQ(model.window(1)->bounds.width, 0);
    EXPECT_EQ(model.window(1)->bounds.left, 0);
    // Only the tab with a good id is listed; the orphan waits for its window.
    EXPECT_EQ(ids(model), (std::vector<std::int64_t>{5}));
    EXPECT_LE(model.tab(5)->title.size(), 64u << 10);
    EXPECT_EQ(model.tab(5)->title.find('\n'), std::string::npos);

    // Events of the wrong shape change nothing.
    model.applyEvent(event("tabs.onRemoved", {{"tabId", "5"}}));
    model.applyEvent(event("tabs.onUpdated", {{"tab", "x"}}));
    model.applyEvent(event("windows.onRemoved", {{"windowId", nullptr}}));
    model.applyEvent(event("no.such.event", {}));
    model.applyEvent(json::array({1, 2}));
    EXPECT_EQ(ids(model), (std::vector<std::int64_t>{5}));
    // Firefox's large ids are read whole.
    model.applyEvent(event("tabs.onCreated", {{"tab", tab(10737418241, 1, 1, "big")}}));
    ASSERT_NE(model.tab(10737418241), nullptr);
}
