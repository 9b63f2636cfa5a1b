#include "automation/chromium/ChromiumClient.h"

#include "FakeBrowser.h"
#include "automation/Error.h"
#include "automation/HtmlDocument.h"
#include "automation/PageWindow.h"
#include "automation/chromium/ChromiumBrowser.h"
#include "automation/chromium/ChromiumObjectFactory.h"
#include "automation/chromium/ChromiumWindows.h"
#include "automation/chromium/PipeTransport.h"
#include "automation/local/LocalFileSystem.h"

#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <set>

using automation::Error;
using namespace automation::chromium;
using nlohmann::json;
using namespace std::chrono_literals;

namespace {

// What the fake browser shows: tabs (each in a window of its own) and windows.
struct Model
{
    std::mutex mutex;
    std::vector<json> targets;           // as Target.getTargets lists them, in its order
    std::map<std::string, json> windows; // windowId as text -> bounds
    std::set<std::string> hung;          // sessions whose page never answers
    bool terminateFrees = true;
    std::vector<json> waiting; // evaluations held by a hung page
    int globalObjects = 0;
    std::set<std::string> staleObjects;
};

json page(const std::string& id, const std::string& url, const std::string& title = "T")
{
    return {{"targetId", id}, {"type", "page"}, {"url", url}, {"title", title}};
}

std::string sessionOf(const std::string& targetId)
{
    return "S-" + targetId;
}

// Target ids are one letter; window ids count from 100.
std::int64_t windowOf(const std::string& targetId)
{
    return 100 + (targetId[0] - 'A');
}

struct ClientOverFakeBrowser : ::testing::Test
{
    Model model;
    std::unique_ptr<FakeBrowser> fake;
    std::shared_ptr<ChromiumClient> client;

    void SetUp() override
    {
        fake = std::make_unique<FakeBrowser>([this](const json& r) { return answer(r); });
        ChromiumSettings settings;
        settings.pageTimeout = 200ms;
        settings.browserTimeout = 1000ms;
        client = std::make_shared<ChromiumClient>(settings);
        client->connectTransport(
            std::make_unique<PipeTransport>(fake->programRead(), fake->programWrite()));
    }
    void TearDown() override
    {
        client.reset();
        fake.reset();
    }

    std::optional<json> answer(const json& r)
    {
        std::lock_guard lock(model.mutex);
        const std::string method = r["method"];
        const json params = r.value("params", json::object());
        const std::string session = r.value("sessionId", "");
        if (method == "Target.getTargets")
            return json{{"targetInfos", model.targets}};
        if (method == "Target.attachToTarget")
            return json{{"sessionId", sessionOf(params["targetId"])}};
        if (method == "Browser.getWindowForTarget") {
            const std::string id = params["targetId"];
            const auto window = model.windows.find(std::to_string(windowOf(id)));
            if (window == model.windows.end())
                return json{{"error", {{"code", -32000}, {"message", "No window"}}}};
            return json{{"windowId", windowOf(id)}, {"bounds", window->second}};
        }
        if (method == "Browser.getWindowBounds")
            return json{{"bounds", model.windows[std::to_string(params["windowId"].get<long>())]}};
        if (method == "Browser.setWindowBounds") {
            json& bounds = model.windows[std::to_string(params["windowId"].get<long>())];
            for (const auto& [key, value] : params["bounds"].items())
                bounds[key] = value;
            return json::object();
        }
        if (method == "Runtime.terminateExecution") {
            if (model.terminateFrees) {
                model.hung.erase(session);
                for (const json& held : model.waiting) {
                    fake->reply(held, {{"exceptionDetails", {{"text", "Execution was terminated"}}},
                                       {"result", json::object()}});
                }
                model.waiting.clear();
            }
            return json::object();
        }
        if (model.hung.count(session)) {
            model.waiting.push_back(r);
            return std::nullopt;
        }
        if (method == "Runtime.evaluate") {
            const std::string expression = params["expression"];
            if (expression == "globalThis")
                return json{
                    {"result", {{"objectId", "G" + std::to_string(++model.globalObjects)}}}};
            if (expression.find("readyState") != std::string::npos)
                return json{{"result",
                             {{"value",
                               {{"ready", "complete"},
                                {"frames", 2},
                                {"visible", true},
                                {"title", "Doc"}}}}}};
            return json{{"result", {{"value", expression}}}};
        }
        if (method == "Runtime.callFunctionOn") {
            if (model.staleObjects.count(params["objectId"]))
                return json{
                    {"error",
                     {{"code", -32000}, {"message", "Could not find object with given id"}}}};
            return json{{"result", {{"value", params["arguments"].dump()}}}};
        }
        if (method == "Target.closeTarget")
            return json{{"success", true}};
        return json::object();
    }

    void show(std::vector<json> targets)
    {
        std::lock_guard lock(model.mutex);
        model.targets = std::move(targets);
        for (const json& target : model.targets) {
            const std::string key = std::to_string(windowOf(target["targetId"]));
            if (!model.windows.count(key))
                model.windows[key] = {{"left", 10},
                                      {"top", 10},
                                      {"width", 800},
                                      {"height", 600},
                                      {"windowState", "normal"}};
        }
    }

    std::vector<std::string> listedUrls()
    {
        std::vector<std::string> urls;
        for (const std::string& id : client->pageTargets())
            urls.push_back(client->url(id));
        return urls;
    }

    std::shared_ptr<automation::Browser> tab(const std::string& id)
    {
        return std::make_shared<ChromiumBrowser>(client, id);
    }
};

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

TEST_F(ClientOverFakeBrowser, TabsKeepTheOrderTheyWereFirstSeenIn)
{
    show({page("B", "http://b/"),
          page("A", "http://a/"),
          page("D", "devtools://devtools/inspector.html"),
          {{"targetId", "W"}, {"type", "service_worker"}, {"url", "http://a/sw.js"}}});
    EXPECT_EQ(listedUrls(), (std::vector<std::string>{"http://b/", "http://a/"}));
    // The browser lists them in another order now, with a new one first.
    show({page("C", "http://c/"), page("A", "http://a/x"), page("B", "http://b/")});
    EXPECT_EQ(listedUrls(), (std::vector<std::string>{"http://b/", "http://a/x", "http://c/"}));
    // One that disappears and comes back is new.
    show({page("C", "http://c/"), page("B", "http://b/")});
    listedUrls();
    show({page("A", "http://a/"), page("C", "http://c/"), page("B", "http://b/")});
    EXPECT_EQ(listedUrls(), (std::vector<std::string>{"http://b/", "http://c/", "http://a/"}));
}

TEST_F(ClientOverFakeBrowser, AClosedTabIsNotListedWhileTheBrowserStillReportsIt)
{
    show({page("A", "http://a/"), page("B", "http://b/")});
    ASSERT_EQ(listedUrls().size(), 2u);
    const auto a = tab("A");
    a->Quit();
    EXPECT_EQ(fake->requests("Target.closeTarget").at(0)["params"]["targetId"], "A");
    EXPECT_EQ(listedUrls(), (std::vector<std::string>{"http://b/"}));
    EXPECT_THROW(a->LocationURL(), Error);
    EXPECT_THROW(a->Quit(), Error);
}

TEST_F(ClientOverFakeBrowser, OneRebuildReadsEachWindowAndPageOnce)
{
    show({page("A", "http://a/"), page("B", "http://b/")});
    client->pageTargets();
    automation::LocalFileSystem files;
    ChromiumWindows windows(client, "/nonexistent", files);
    for (const char* id : {"A", "B"}) {
        const auto browser = tab(id);
        EXPECT_FALSE(browser->busy());
        browser->LocationURL();
        EXPECT_EQ(browser->LocationName(), "Doc");
        const automation::Hwnd hwnd = browser->hWnd();
        EXPECT_FALSE(windows.isZoomed(hwnd));
        EXPECT_FALSE(windows.isIconic(hwnd));
        EXPECT_EQ(browser->Height(), 600);
        EXPECT_EQ(browser->Width(), 800);
        EXPECT_EQ(browser->Document()->FramesLength(), 2);
    }
    EXPECT_EQ(fake->requests("Browser.getWindowForTarget").size(), 2u);
    EXPECT_EQ(fake->requests("Runtime.evaluate").size(), 2u);
    EXPECT_EQ(fake->requests("Browser.getWindowBounds").size(), 0u);

    // A change made by the program is seen at once: nothing stale is reused.
    const auto a = tab("A");
    windows.minimize(a->hWnd());
    EXPECT_TRUE(windows.isIconic(a->hWnd()));
    EXPECT_EQ(a->Height(), kMinimizedHeight);
    EXPECT_EQ(a->Width(), kMinimizedWidth);
    windows.restore(a->hWnd());
    EXPECT_FALSE(windows.isIconic(a->hWnd()));
    EXPECT_EQ(fake->requests("Target.activateTarget").back()["params"]["targetId"], "A");
}

TEST_F(ClientOverFakeBrowser, RestoreBringsBackTheStateBeforeMinimising)
{
    show({page("A", "http://a/")});
    client->pageTargets();
    {
        std::lock_guard lock(model.mutex);
        model.windows["100"]["windowState"] = "maximized";
    }
    automation::LocalFileSystem files;
    ChromiumWindows windows(client, "/nonexistent", files);
    const automation::Hwnd hwnd = tab("A")->hWnd();
    EXPECT_TRUE(windows.isZoomed(hwnd));
    windows.minimize(hwnd);
    windows.restore(hwnd);
    EXPECT_TRUE(windows.isZoomed(hwnd));
}

TEST_F(ClientOverFakeBrowser, PropertiesDoWhatTheWindowAllowsAndReadBackAsWritten)
{
    show({page("A", "http://a/")});
    client->pageTargets();
    const auto a = tab("A");
    // What a Chromium window shows by itself.
    EXPECT_TRUE(a->get(automation::BrowserProperty::Toolbar));
    EXPECT_FALSE(a->get(automation::BrowserProperty::MenuBar));
    a->put(automation::BrowserProperty::Toolbar, false);
    a->put(automation::BrowserProperty::MenuBar, true);
    EXPECT_FALSE(tab("A")->get(automation::BrowserProperty::Toolbar));
    EXPECT_TRUE(tab("A")->get(automation::BrowserProperty::MenuBar));
    EXPECT_TRUE(fake->requests("Browser.setWindowBounds").empty());

    a->put(automation::BrowserProperty::TheaterMode, true);
    EXPECT_TRUE(a->get(automation::BrowserProperty::FullScreen));
    a->put(automation::BrowserProperty::FullScreen, false);
    EXPECT_FALSE(a->get(automation::BrowserProperty::FullScreen));
    // Hidden is as near as minimised; shown again undoes only that.
    a->put(automation::BrowserProperty::Visible, false);
    EXPECT_EQ(a->Height(), kMinimizedHeight);
    a->put(automation::BrowserProperty::Visible, true);
    EXPECT_EQ(a->Height(), 600);
    a->put(automation::BrowserProperty::Visible, true);
    EXPECT_EQ(fake->requests("Browser.setWindowBounds").size(), 4u);
}

TEST_F(ClientOverFakeBrowser, ActivationFindsATabByTitle)
{
    show({page("A", "http://a/", "Alpha"), page("B", "http://b/", "Beta")});
    automation::LocalFileSystem files;
    ChromiumWindows windows(client, "/nonexistent", files);
    EXPECT_TRUE(windows.activateByTitle("Beta"));
    EXPECT_EQ(fake->requests("Target.activateTarget").back()["params"]["targetId"], "B");
    EXPECT_FALSE(windows.activateByTitle("Gamma"));
    // The document's own title, when the browser has not caught up with it yet.
    EXPECT_FALSE(windows.activateByTitle("Doc"));
    tab("A")->busy();
    EXPECT_TRUE(windows.activateByTitle("Doc"));
    EXPECT_EQ(fake->requests("Target.activateTarget").back()["params"]["targetId"], "A");
    // The favourite's keys go to the tab activated last; a name that would leave
    // the folder is not written.
    EXPECT_FALSE(windows.sendKeys("%A{ENTER}{TAB}../../x{ENTER}"));
}

TEST_F(ClientOverFakeBrowser, MovingAMaximisedWindowRestoresItInACallOfItsOwn)
{
    show({page("A", "http://a/")});
    client->pageTargets();
    {
        std::lock_guard lock(model.mutex);
        model.windows["100"]["windowState"] = "maximized";
    }
    fake->clearRequests();
    tab("A")->Document()->parentwindow()->moveto(51.2, 38.6);
    const auto sets = fake->requests("Browser.setWindowBounds");
    ASSERT_EQ(sets.size(), 2u);
    EXPECT_EQ(sets[0]["params"]["bounds"], json({{"windowState", "normal"}}));
    EXPECT_EQ(sets[1]["params"]["bounds"], json({{"left", 51}, {"top", 39}}));
    EXPECT_THROW(tab("A")->Document()->parentwindow()->resizeto(1e300, 5), Error);
    EXPECT_THROW(tab("A")->Document()->parentwindow()->resizeto(-5, 5), Error);
}

TEST_F(ClientOverFakeBrowser, AHungPageIsFreedAndCostsOneWait)
{
    show({page("A", "http://a/"), page("B", "http://b/")});
    client->pageTargets();
    {
        std::lock_guard lock(model.mutex);
        model.hung.insert(sessionOf("A"));
    }
    auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(tab("A")->busy(), Error);
    EXPECT_LT(secondsSince(start), 0.6);
    std::this_thread::sleep_for(50ms);
    ASSERT_EQ(fake->requests("Runtime.terminateExecution").size(), 1u);
    EXPECT_EQ(fake->requests("Runtime.terminateExecution")[0]["sessionId"], sessionOf("A"));
    // The late answer came in; the page answers again.
    EXPECT_EQ(tab("A")->Document()->Title(), "document.title");
    EXPECT_FALSE(tab("B")->busy());
}

TEST_F(ClientOverFakeBrowser, APageThatStaysHungFailsAtOnceAfterTheFirstWait)
{
    show({page("A", "http://a/"), page("B", "http://b/")});
    client->pageTargets();
    {
        std::lock_guard lock(model.mutex);
        model.hung.insert(sessionOf("A"));
        model.terminateFrees = false;
    }
    EXPECT_THROW(tab("A")->busy(), Error);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 5; ++i)
        EXPECT_THROW(tab("A")->Document()->Title(), Error);
    EXPECT_LT(secondsSince(start), 0.15);
    // Its name still comes from what the browser knows; the other tab is not held up.
    EXPECT_EQ(tab("A")->LocationName(), "T");
    EXPECT_EQ(tab("B")->LocationName(), "Doc");
}

TEST_F(ClientOverFakeBrowser, ValuesReachThePageAsArgumentsOnly)
{
    show({page("A", "http://a/")});
    client->pageTargets();
    const auto document = tab("A")->Document();
    const std::string hostile = "1em'); document.title = ('x";
    document->putBodyFontSize(hostile);
    document->putColor(automation::DocumentColor::vlinkcolor, 0x9400D3);
    const auto calls = fake->requests("Runtime.callFunctionOn");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0]["params"]["arguments"], json::array({{{"value", hostile}}}));
    EXPECT_EQ(calls[0]["params"]["functionDeclaration"].get<std::string>().find(hostile),
              std::string::npos);
    EXPECT_EQ(calls[1]["params"]["arguments"],
              json::array({{{"value", "vlinkColor"}}, {{"value", "#9400d3"}}}));
    // One global object served both calls.
    EXPECT_EQ(model.globalObjects, 1);

    // After the page was replaced its old global object is gone: taken anew, once.
    {
        std::lock_guard lock(model.mutex);
        model.staleObjects.insert("G1");
    }
    EXPECT_EQ(document->linkHref(3), "[{\"value\":3}]");
    EXPECT_EQ(model.globalObjects, 2);
}

TEST_F(ClientOverFakeBrowser, ALostBrowserEmptiesTheListAndFailsEveryObject)
{
    show({page("A", "http://a/")});
    ASSERT_EQ(listedUrls().size(), 1u);
    const auto a = tab("A");
    const auto document = a->Document();
    fake->stop();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(client->pageTargets().empty());
    EXPECT_FALSE(client->connected());
    EXPECT_THROW(a->LocationURL(), Error);
    EXPECT_THROW(a->busy(), Error);
    EXPECT_THROW(document->Title(), Error);
    EXPECT_LT(secondsSince(start), 0.5);
    ChromiumObjectFactory factory(client, nullptr, nullptr);
    EXPECT_TRUE(factory.createShell()->windows()->items().empty());
    EXPECT_THROW(factory.createShell()->TileVertically(), Error);
}
