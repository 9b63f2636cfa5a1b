#include "automation/chromium/ChromiumClient.h"

#include "FakeBrowser.h"
#include "automation/Error.h"
#include "automation/HtmlDocument.h"
#include "automation/PageWindow.h"
#include "automation/chromium/ChromiumBrowser.h"
#include "automation/chromium/ChromiumObjectFactory.h"
#include "automation/chromium/ChromiumWindows.h"
#include "automation/chromium/PageScripts.h"
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
    // The program's script worlds made so far, and those of documents since replaced.
    int worlds = 0;
    std::set<std::int64_t> staleWorlds;
    // What a call of a page script (a PageScripts constant) answers, whole: by default
    // its arguments, less the world's mark, as text.
    std::map<std::string, json> scripted;
    // What a method answers, whole, in place of the model's answer.
    std::map<std::string, json> answers;
    // The browser answers nothing at all while stopped.
    bool stopped = false;
    std::vector<json> unanswered;
};

// The page script a call runs: the PageScripts constant its declaration wraps.
std::string scriptOf(const json& request)
{
    const std::string declaration = request["params"].value("functionDeclaration", "");
    for (const char* script :
         {scripts::kMarkWorld, scripts::kSnapshot, scripts::kFrameOwners, scripts::kTitle,
          scripts::kReferrer, scripts::kCookie, scripts::kLastModified, scripts::kHistoryLength,
          scripts::kLocation, scripts::kBodyBackground, scripts::kBodyFontSize,
          scripts::kPutBodyBackground, scripts::kPutBodyFontSize, scripts::kPutColor,
          scripts::kCollectionLength, scripts::kItems}) {
        if (declaration.find(script) != std::string::npos)
            return script;
    }
    return {};
}

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
        if (model.stopped) {
            model.unanswered.push_back(r);
            return std::nullopt;
        }
        if (const auto it = model.answers.find(method); it != model.answers.end())
            return it->second;
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
        if (method == "Page.createIsolatedWorld")
            return json{{"executionContextId", ++model.worlds}};
        if (method == "Runtime.evaluate")
            return json{{"result", {{"value", params["expression"]}}}};
        if (method == "Runtime.callFunctionOn") {
            if (model.staleWorlds.count(params.value("executionContextId", 0)))
                return json{
                    {"error",
                     {{"code", -32000}, {"message", "Cannot find context with specified id"}}}};
            const std::string script = scriptOf(r);
            if (const auto it = model.scripted.find(script); it != model.scripted.end())
                return it->second;
            if (script == scripts::kSnapshot)
                return json{{"result",
                             {{"value",
                               {{"ready", "complete"},
                                {"frames", 2},
                                {"visible", true},
                                {"title", "Doc"}}}}}};
            if (script == scripts::kTitle)
                return json{{"result", {{"value", "Doc"}}}};
            json arguments = params["arguments"];
            if (script != scripts::kMarkWorld && !arguments.empty())
                arguments.erase(arguments.begin());
            return json{{"result", {{"value", arguments.dump()}}}};
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

    // The calls that ran this page script.
    std::vector<json> scriptCalls(const char* script)
    {
        std::vector<json> calls;
        for (const json& call : fake->requests("Runtime.callFunctionOn")) {
            if (scriptOf(call) == script)
                calls.push_back(call);
        }
        return calls;
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
    EXPECT_EQ(scriptCalls(scripts::kSnapshot).size(), 2u);
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
    EXPECT_EQ(tab("A")->Document()->Title(), "Doc");
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
    const auto fontSize = scriptCalls(scripts::kPutBodyFontSize);
    const auto color = scriptCalls(scripts::kPutColor);
    ASSERT_EQ(fontSize.size(), 1u);
    ASSERT_EQ(color.size(), 1u);
    // The world's mark first, then the values.
    const json mark = scriptCalls(scripts::kMarkWorld).at(0)["params"]["arguments"][0];
    EXPECT_EQ(fontSize[0]["params"]["arguments"], json::array({mark, {{"value", hostile}}}));
    EXPECT_EQ(fontSize[0]["params"]["functionDeclaration"].get<std::string>().find(hostile),
              std::string::npos);
    EXPECT_EQ(color[0]["params"]["arguments"],
              json::array({mark, {{"value", "vlinkColor"}}, {{"value", "#9400d3"}}}));
    // One world served both calls.
    EXPECT_EQ(model.worlds, 1);

    // After the page was replaced its world is gone: made anew, once.
    {
        std::lock_guard lock(model.mutex);
        model.staleWorlds.insert(1);
        model.scripted[scripts::kItems] = {{"result", {{"value", {"http://a/0", "http://a/1"}}}}};
    }
    EXPECT_EQ(document->linkHref(0), "http://a/0");
    EXPECT_EQ(model.worlds, 2);
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
