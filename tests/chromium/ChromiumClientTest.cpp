#include "automation/chromium/ChromiumClient.h"

#include "FakeBrowser.h"
#include "FakeClock.h"
#include "automation/Error.h"
#include "automation/HtmlDocument.h"
#include "automation/Limits.h"
#include "automation/PageWindow.h"
#include "automation/chromium/Checked.h"
#include "automation/chromium/ChromiumBrowser.h"
#include "automation/chromium/ChromiumObjectFactory.h"
#include "automation/chromium/ChromiumWindows.h"
#include "automation/chromium/PageScripts.h"
#include "automation/chromium/PipeTransport.h"
#include "automation/local/LocalFileSystem.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <unistd.h>

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
    // Window changes are carried out at once but answered only when the test says.
    bool holdWindowAnswers = false;
    std::vector<json> heldWindowAnswers;
    // The browser answers nothing at all while stopped.
    bool stopped = false;
    std::vector<json> unanswered;
    // Tabs that share a window with another (by default each has its own).
    std::map<std::string, std::int64_t> windowOfTab;
    // Nodes are described only once this many are asked for, last first; each owner
    // element's node has the frame id put here for it.
    std::size_t describeTogether = 0;
    std::vector<json> heldDescribes;
    std::map<std::string, json> frameOfOwner;
    // Target lists are taken as they stand when asked for, but given only when the
    // test says.
    bool holdTargetLists = false;
    std::vector<std::pair<json, json>> heldTargetLists; // request, its answer
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
          scripts::kCollectionLength, scripts::kItems, scripts::kReportItems}) {
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
    FakeClock clock{[this] { return !fake || fake->quiet(); }};
    ChromiumSettings settings;
    std::shared_ptr<ChromiumClient> client;

    void SetUp() override
    {
        fake = std::make_unique<FakeBrowser>([this](const json& r) { return answer(r); });
        settings.pageTimeout = 200ms;
        settings.browserTimeout = 1000ms;
        client = std::make_shared<ChromiumClient>(settings, clock);
        client->connectTransport(
            std::make_unique<PipeTransport>(fake->programRead(), fake->programWrite(), clock));
    }

    // How long the clock says has passed since the moment.
    std::chrono::milliseconds since(FakeClock::TimePoint start)
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(clock.now() - start);
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
        if (method == "Target.getTargets") {
            if (model.holdTargetLists) {
                model.heldTargetLists.emplace_back(r, json{{"targetInfos", model.targets}});
                return std::nullopt;
            }
            return json{{"targetInfos", model.targets}};
        }
        if (method == "Target.attachToTarget")
            return json{{"sessionId", sessionOf(params["targetId"])}};
        if (method == "Browser.getWindowForTarget") {
            const std::string id = params["targetId"];
            const auto shared = model.windowOfTab.find(id);
            const std::int64_t windowId =
                shared == model.windowOfTab.end() ? windowOf(id) : shared->second;
            const auto window = model.windows.find(std::to_string(windowId));
            if (window == model.windows.end())
                return json{{"error", {{"code", -32000}, {"message", "No window"}}}};
            return json{{"windowId", windowId}, {"bounds", window->second}};
        }
        if (method == "Browser.getWindowBounds")
            return json{{"bounds", model.windows[std::to_string(params["windowId"].get<long>())]}};
        if (method == "Browser.setWindowBounds") {
            json& bounds = model.windows[std::to_string(params["windowId"].get<long>())];
            for (const auto& [key, value] : params["bounds"].items())
                bounds[key] = value;
            if (model.holdWindowAnswers) {
                model.heldWindowAnswers.push_back(r);
                return std::nullopt;
            }
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
        if (method == "DOM.describeNode" && model.describeTogether > 0) {
            model.heldDescribes.push_back(r);
            if (model.heldDescribes.size() < model.describeTogether)
                return std::nullopt;
            std::reverse(model.heldDescribes.begin(), model.heldDescribes.end());
            for (const json& held : model.heldDescribes) {
                const json& frameId = model.frameOfOwner[held["params"]["objectId"]];
                if (frameId.is_null())
                    fake->fail(held, "No node with given id found");
                else
                    fake->reply(held, {{"node", {{"frameId", frameId}}}});
            }
            model.heldDescribes.clear();
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

    // Begins a reading of every tab and takes the answers in until it is complete (or
    // the browser has said all it will say); whether it completed. Each pass takes in
    // one wave of answers: a reading has few waves, unless its send window is narrow.
    bool refresh(int passes = 10)
    {
        bool done = client->beginRefresh();
        for (int i = 0; i < passes && !done; ++i) {
            fake->settle();
            done = client->continueRefresh();
        }
        return done;
    }

    // What the list reads of every tab, as a rebuild reads it.
    std::vector<std::string> listRows()
    {
        std::vector<std::string> rows;
        automation::LocalFileSystem files;
        ChromiumWindows windows(client, "/nonexistent", files);
        for (const std::string& id : client->listedPages()) {
            const auto browser = tab(id);
            if (browser->busy()) {
                rows.emplace_back("busy");
                continue;
            }
            rows.push_back(browser->LocationName() + " " + browser->LocationURL() + " " +
                           std::to_string(browser->Height()) + "x" +
                           std::to_string(browser->Width()) +
                           (windows.isIconic(browser->hWnd()) ? " min" : "") + " frames " +
                           std::to_string(browser->Document()->FramesLength()));
        }
        return rows;
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

TEST_F(ClientOverFakeBrowser, ATargetListReadLateKeepsWhatCameAfterItAndBringsBackNothingThatWent)
{
    show({page("A", "http://a/"), page("B", "http://b/")});
    ASSERT_TRUE(refresh());
    // A rebuild asks for the list, and the browser takes it as the tabs are now...
    {
        std::lock_guard lock(model.mutex);
        model.holdTargetLists = true;
    }
    EXPECT_FALSE(client->beginRefresh());
    fake->settle();
    // ...but before its answer comes, a window opens, a cross-site frame of A comes,
    // B closes, and a second window opens.
    const json frame = {
        {"targetId", "F"}, {"type", "iframe"}, {"url", "http://f/"}, {"parentId", "A"}};
    const auto opens = [&](const std::string& id) {
        {
            std::lock_guard lock(model.mutex);
            model.answers["Target.createTarget"] = {{"targetId", id}};
        }
        fake->event("Target.targetCreated", {{"targetInfo", page(id, "about:blank")}});
        return client->createWindow("test");
    };
    fake->event("Target.targetDestroyed", {{"targetId", "B"}});
    ASSERT_EQ(opens("N"), "N");
    fake->event("Target.attachedToTarget", {{"sessionId", sessionOf("F")}, {"targetInfo", frame}});
    fake->settle();
    client->takeEvents();
    std::vector<std::pair<json, json>> held;
    {
        std::lock_guard lock(model.mutex);
        model.holdTargetLists = false;
        held.swap(model.heldTargetLists);
    }
    ASSERT_EQ(held.size(), 1u);
    fake->reply(held[0].first, held[0].second);
    for (int i = 0; i < 10 && !client->continueRefresh(); ++i)
        fake->settle();
    EXPECT_EQ(client->listedPages(), (std::vector<std::string>{"A", "N"}));
    show({page("A", "http://a/"), page("N", "about:blank"), frame, page("M", "about:blank")});
    ASSERT_EQ(opens("M"), "M");

    // The first new window keeps its place before the second, the frame is still A's,
    // B stays gone.
    EXPECT_EQ(client->pageTargets(), (std::vector<std::string>{"A", "N", "M"}));
    std::vector<std::string> below;
    for (const FrameAddress& address : client->allFrames("test", "A"))
        below.push_back(address.url);
    EXPECT_EQ(below, std::vector<std::string>{"http://f/"});
    EXPECT_FALSE(client->knows("B"));

    // The browser's list may lack a frame it told of (one still loading): the frame
    // goes only with its own event, or with its tab.
    show({page("A", "http://a/"), page("N", "about:blank"), page("M", "about:blank")});
    client->pageTargets();
    EXPECT_TRUE(client->knows("F"));
    show({page("N", "about:blank"), page("M", "about:blank")});
    EXPECT_EQ(client->pageTargets(), (std::vector<std::string>{"N", "M"}));
    EXPECT_FALSE(client->knows("F"));
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

// In a batch no change of a window waits for its answer: the answers are awaited
// together at the end, and a browser that never gives them costs one deadline for the
// whole batch. A maximised window is still restored in a call of its own before it is
// moved.
TEST_F(ClientOverFakeBrowser, AWindowBatchAwaitsEveryAnswerTogether)
{
    show({page("A", "http://a/"), page("B", "http://b/"), page("C", "http://c/")});
    client->pageTargets();
    {
        std::lock_guard lock(model.mutex);
        model.windows["101"]["windowState"] = "maximized";
        model.holdWindowAnswers = true;
    }
    fake->clearRequests();
    const auto place = [&](const std::string& id, int left) {
        const auto window = tab(id)->Document()->parentwindow();
        window->resizeto(500, 400);
        window->moveto(left, 20);
    };

    auto start = clock.now();
    client->beginWindowBatch();
    place("A", 0);
    place("B", 500);
    place("C", 1000);
    fake->settle();
    // Nothing waited; B's place and size wait for its restore, sent with the others.
    EXPECT_EQ(since(start), 0ms);
    EXPECT_EQ(fake->requests("Browser.setWindowBounds").size(), 5u);
    {
        std::lock_guard lock(model.mutex);
        model.holdWindowAnswers = false;
        for (const json& held : model.heldWindowAnswers)
            fake->reply(held, json::object());
        model.heldWindowAnswers.clear();
    }
    client->commitWindowBatch();
    EXPECT_EQ(since(start), 0ms);
    {
        std::lock_guard lock(model.mutex);
        EXPECT_EQ(model.windows["100"], json({{"left", 0},
                                              {"top", 20},
                                              {"width", 500},
                                              {"height", 400},
                                              {"windowState", "normal"}}));
        EXPECT_EQ(model.windows["101"]["left"], 500);
        EXPECT_EQ(model.windows["101"]["width"], 500);
        EXPECT_EQ(model.windows["101"]["windowState"], "normal");
        EXPECT_EQ(model.windows["102"]["left"], 1000);
    }
    std::vector<json> ofB;
    for (const json& set : fake->requests("Browser.setWindowBounds")) {
        if (set["params"]["windowId"] == 101)
            ofB.push_back(set["params"]["bounds"]);
    }
    ASSERT_EQ(ofB.size(), 3u);
    EXPECT_EQ(ofB[0], json({{"windowState", "normal"}}));
    EXPECT_EQ(ofB[1], json({{"width", 500}, {"height", 400}}));

    // Never answered: the batch ends at one deadline, however many windows it moved or
    // restored, and raises nothing.
    {
        std::lock_guard lock(model.mutex);
        model.windows["101"]["windowState"] = "maximized";
        model.holdWindowAnswers = true;
    }
    start = clock.now();
    client->beginWindowBatch();
    place("A", 10);
    place("C", 20);
    client->beginWindowBatch();
    place("B", 30);
    client->commitWindowBatch();
    EXPECT_EQ(since(start), 0ms);
    EXPECT_NO_THROW(client->commitWindowBatch());
    EXPECT_EQ(since(start), settings.browserTimeout);
    {
        std::lock_guard lock(model.mutex);
        model.holdWindowAnswers = false;
        for (const json& held : model.heldWindowAnswers)
            fake->reply(held, json::object());
        model.heldWindowAnswers.clear();
    }
    // The late answers are dropped; the browser answers again.
    fake->settle();
    EXPECT_EQ(tab("B")->Height(), 400);
}

TEST_F(ClientOverFakeBrowser, AHungPageIsFreedAndCostsOneWait)
{
    show({page("A", "http://a/"), page("B", "http://b/")});
    client->pageTargets();
    {
        std::lock_guard lock(model.mutex);
        model.hung.insert(sessionOf("A"));
    }
    const auto start = clock.now();
    EXPECT_THROW(tab("A")->busy(), Error);
    EXPECT_EQ(since(start), settings.pageTimeout);
    fake->settle();
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
    const auto start = clock.now();
    for (int i = 0; i < 5; ++i)
        EXPECT_THROW(tab("A")->Document()->Title(), Error);
    EXPECT_EQ(since(start), 0ms);
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
    const auto start = clock.now();
    EXPECT_TRUE(client->pageTargets().empty());
    EXPECT_FALSE(client->connected());
    EXPECT_THROW(a->LocationURL(), Error);
    EXPECT_THROW(a->busy(), Error);
    EXPECT_THROW(document->Title(), Error);
    EXPECT_EQ(since(start), 0ms);
    ChromiumObjectFactory factory(client, nullptr, nullptr);
    EXPECT_TRUE(factory.createShell()->windows()->items().empty());
    EXPECT_THROW(factory.createShell()->TileVertically(), Error);
}

namespace {

// Runs a step that may fail, but only as an automation failure does.
template <typename Step> void failsCleanly(Step&& step, const std::string& what)
{
    try {
        step();
    } catch (const Error&) {
    } catch (const std::exception& other) {
        ADD_FAILURE() << what << ": " << other.what();
    }
}

json valueResult(const json& value)
{
    return {{"result", {{"type", "object"}, {"value", value}}}};
}

} // namespace

TEST_F(ClientOverFakeBrowser, WhateverAPageAnswersTheListGetsAValueOrAFailure)
{
    show({page("A", "http://a/", "Browser title")});
    client->pageTargets();
    const json normal = {{"ready", "complete"}, {"frames", 2}, {"visible", true}, {"title", "Doc"}};
    std::vector<json> answers;
    for (const auto& [key, odd] :
         std::vector<std::pair<std::string, json>>{{"title", 42},
                                                   {"title", {{"toString", "x"}}},
                                                   {"title", nullptr},
                                                   {"frames", 1e300},
                                                   {"frames", -1},
                                                   {"frames", 2.5},
                                                   {"frames", "2"},
                                                   {"frames", 1001},
                                                   {"ready", 5},
                                                   {"visible", "yes"}}) {
        json value = normal;
        value[key] = odd;
        answers.push_back(valueResult(value));
    }
    for (const json& shape :
         {json::object(), json{{"result", "x"}}, json{{"result", {{"value", {1, 2}}}}},
          json{{"result", {{"type", "number"}, {"unserializableValue", "NaN"}}}},
          json{{"exceptionDetails", 5}}, json{{"exceptionDetails", {{"exception", 7}}}},
          json{{"exceptionDetails", {{"text", {1}}}, {"result", 1}}}, json{{"error", "x"}},
          json{{"error", {{"message", 5}}}}})
        answers.push_back(shape);

    for (const json& answer : answers) {
        {
            std::lock_guard lock(model.mutex);
            model.scripted[scripts::kSnapshot] = answer;
            model.scripted[scripts::kTitle] = answer;
        }
        client->invalidate();
        const auto a = tab("A");
        const std::string what = answer.dump();
        failsCleanly([&] { a->busy(); }, what);
        failsCleanly([&] { a->Document()->FramesLength(); }, what);
        failsCleanly([&] { a->Document()->Title(); }, what);
        // The name falls back to what the browser knows.
        std::string name;
        EXPECT_NO_THROW(name = a->LocationName()) << what;
        EXPECT_FALSE(name.empty()) << what;
    }

    // A title of the wrong kind gives the browser's; a count out of range is no count.
    {
        std::lock_guard lock(model.mutex);
        json value = normal;
        value["title"] = 42;
        value["frames"] = 1e300;
        model.scripted[scripts::kSnapshot] = valueResult(value);
    }
    client->invalidate();
    EXPECT_EQ(tab("A")->LocationName(), "http://a/");
    EXPECT_FALSE(tab("A")->busy());
    EXPECT_THROW(tab("A")->Document()->FramesLength(), Error);
}

TEST_F(ClientOverFakeBrowser, WhateverAPageAnswersTheReportGetsAValueOrAFailure)
{
    show({page("A", "http://a/")});
    client->pageTargets();
    std::string huge;
    for (int i = 0; i < 100000; ++i)
        huge += "日";
    const std::vector<json> values = {1e300,   -1,           2.5,           "3",
                                      nullptr, true,         json::array(), json::object(),
                                      huge,    {huge, huge}, {1, "a"},      {{"x", 1}}};
    for (const json& value : values) {
        {
            std::lock_guard lock(model.mutex);
            model.scripted.clear();
            for (const char* script :
                 {scripts::kCollectionLength, scripts::kItems, scripts::kReportItems,
                  scripts::kHistoryLength, scripts::kReferrer, scripts::kCookie,
                  scripts::kLastModified, scripts::kLocation, scripts::kBodyBackground})
                model.scripted[script] = valueResult(value);
            model.answers["Page.getResourceTree"] = {
                {"frameTree",
                 {{"resources", {{{"url", "3"}, {"contentSize", value}}, value}},
                  {"childFrames", value}}}};
        }
        client->invalidate();
        const auto document = tab("A")->Document();
        const std::string what = value.dump().substr(0, 40);
        std::vector<std::string> texts;
        failsCleanly([&] { document->collectionLength(automation::DocumentCollection::links); },
                     what);
        failsCleanly([&] { texts.push_back(document->imageHref(0)); }, what);
        failsCleanly([&] { texts.push_back(document->imageFileSize(0)); }, what);
        failsCleanly([&] { texts.push_back(document->linkInnerHTML(1)); }, what);
        failsCleanly([&] { texts.push_back(document->referrer()); }, what);
        failsCleanly([&] { texts.push_back(document->bodyBackground()); }, what);
        failsCleanly([&] { texts.push_back(document->parentwindow()->Location()); }, what);
        failsCleanly([&] { document->parentwindow()->historyLength(); }, what);
        // No count, no collection: the report leaves out its lines.
        EXPECT_THROW(document->reportImages(3, 1 << 20), Error) << what;
        EXPECT_THROW(document->reportLinks(3, 1 << 20), Error) << what;
        // A long text comes whole characters only, and no longer than a page's text may be.
        for (const std::string& text : texts) {
            EXPECT_LE(text.size(), automation::limits::kMaxPageText) << what;
            EXPECT_EQ(checked::repairJsonText(text), text) << what;
        }
    }
    // A size that is no whole number of bytes is no size.
    {
        std::lock_guard lock(model.mutex);
        model.scripted[scripts::kItems] = valueResult({"3"});
    }
    client->invalidate();
    EXPECT_THROW(tab("A")->Document()->imageFileSize(0), Error);
}

TEST_F(ClientOverFakeBrowser, TheReportReadsACollectionAtOnceAndEachValueChecked)
{
    show({page("A", "http://a/")});
    client->pageTargets();
    std::string huge;
    for (int i = 0; i < 30000; ++i)
        huge += "日";
    const auto answer = [&](const json& value) {
        std::lock_guard lock(model.mutex);
        model.scripted[scripts::kReportItems] = valueResult(value);
        model.answers["Page.getResourceTree"] = {
            {"frameTree",
             {{"resources",
               {{{"url", "http://a/1.png"}, {"contentSize", 10}},
                {{"url", "http://a/2.png"}, {"contentSize", 20}}}}}}};
    };
    const auto calls = [&] { return scriptCalls(scripts::kReportItems).size(); };
    const auto document = tab("A")->Document();

    // Values that are no text (a getter that threw gives null), items of another shape,
    // and more items than asked: each value stands alone, and no more are kept.
    answer(json::parse(R"({"length": 5, "items": [["http://a/1.png"], [null], [7],
                           ["http://a/2.png", "x"], "junk", ["http://a/2.png"]]})"));
    auto images = document->reportImages(5, 1 << 20);
    EXPECT_EQ(images.length, 5);
    ASSERT_EQ(images.items.size(), 5u);
    EXPECT_EQ(images.items[0].first, "http://a/1.png");
    EXPECT_EQ(images.items[0].second, "10");
    for (std::size_t i : {1u, 2u, 3u, 4u}) {
        EXPECT_EQ(images.items[i].first, std::nullopt) << i;
        EXPECT_EQ(images.items[i].second, std::nullopt) << i;
    }
    EXPECT_EQ(calls(), 1u);
    EXPECT_EQ(fake->requests("Page.getResourceTree").size(), 1u);

    json items = json::parse(R"([["", "http://b/"], ["<b>x</b>", {"toString": 1}]])");
    items[0][0] = huge;
    answer({{"length", 3}, {"items", items}});
    client->invalidate();
    auto links = document->reportLinks(10, 1 << 20);
    EXPECT_EQ(links.length, 3);
    // An answer that stops short is read on from where it stopped (this one gives the
    // same two again, of which the one still wanted is kept).
    ASSERT_EQ(links.items.size(), 3u);
    EXPECT_EQ(links.items[0].first->size() % 3, 0u);
    EXPECT_LE(links.items[0].first->size(), automation::limits::kMaxPageText);
    EXPECT_EQ(links.items[0].second, "http://b/");
    EXPECT_EQ(links.items[1].first, "<b>x</b>");
    EXPECT_EQ(links.items[1].second, std::nullopt);
    const auto reads = scriptCalls(scripts::kReportItems);
    ASSERT_EQ(reads.size(), 3u);
    // The collection, the properties, where to start: values, never part of the source.
    EXPECT_EQ(reads[1]["params"]["arguments"][1]["value"], "links");
    EXPECT_EQ(reads[1]["params"]["arguments"][2]["value"], json::array({"innerHTML", "href"}));
    EXPECT_EQ(reads[1]["params"]["arguments"][3]["value"], 0);
    EXPECT_EQ(reads[2]["params"]["arguments"][3]["value"], 2);

    // Once the values fill what the report can hold, no more is read.
    client->invalidate();
    links = document->reportLinks(10, 100);
    EXPECT_EQ(links.items.size(), 2u);
    EXPECT_EQ(scriptCalls(scripts::kReportItems).size(), 4u);

    // A count that is a lie of its own.
    answer({{"length", -1}, {"items", json::array()}});
    client->invalidate();
    EXPECT_THROW(document->reportLinks(10, 1 << 20), Error);
    answer({{"length", 2}, {"items", json::array()}});
    client->invalidate();
    images = document->reportImages(10, 1 << 20);
    EXPECT_EQ(images.length, 2);
    EXPECT_TRUE(images.items.empty());
}

TEST_F(ClientOverFakeBrowser, WhateverTheBrowserSaysOfItsTabsAndWindowsIsReadChecked)
{
    const std::string longUrl = "http://b/" + std::string(100000, 'u');
    {
        std::lock_guard lock(model.mutex);
        model.targets = {json("x"),
                         json(5),
                         {{"targetId", 5}, {"type", "page"}, {"url", "http://x/"}},
                         {{"targetId", std::string(100000, 'T')}, {"type", "page"}},
                         {{"targetId", "A"}, {"type", "page"}, {"url", 7}, {"title", {1}}},
                         {{"targetId", "B"}, {"type", "page"}, {"url", longUrl}},
                         {{"targetId", "C"}, {"type", 1}, {"url", "http://c/"}},
                         page("D", "http://d/\r\n[x]", "two\r\nlines")};
        model.windows["100"] = {
            {"left", "x"}, {"top", 1e300}, {"width", -5}, {"height", 2.5}, {"windowState", 5}};
        model.windows["101"] = json::array();
        model.windows["103"] = {{"left", 10}, {"top", 20}, {"width", 300}, {"height", 200}};
    }
    std::vector<std::string> ids;
    EXPECT_NO_THROW(ids = client->pageTargets());
    EXPECT_EQ(ids, (std::vector<std::string>{"A", "B", "D"}));
    EXPECT_EQ(client->url("A"), "");
    EXPECT_EQ(client->url("B").size(), automation::limits::kMaxAddress);
    // One line each, as the list and its files keep them.
    EXPECT_EQ(client->url("D"), "http://d/  [x]");
    EXPECT_EQ(client->title("D"), "two  lines");

    // Bounds that say nothing usable leave what was known (nothing yet: zeros).
    EXPECT_EQ(tab("A")->Height(), 0);
    EXPECT_EQ(tab("A")->Width(), 0);
    EXPECT_EQ(tab("B")->Height(), 0);
    EXPECT_EQ(tab("D")->Width(), 300);

    // Window ids the handles cannot hold.
    for (const json& windowId : {json("7"), json(1e300), json(-5), json(0), json(1LL << 40)}) {
        {
            std::lock_guard lock(model.mutex);
            model.answers["Browser.getWindowForTarget"] = {{"windowId", windowId},
                                                           {"bounds", json::object()}};
        }
        client->invalidate();
        EXPECT_THROW(tab("D")->hWnd(), Error) << windowId.dump();
    }
}

TEST_F(ClientOverFakeBrowser, EventsAndFrameTreesOfAnyShapeAreTakenInOrPassedOver)
{
    show({page("A", "http://a/")});
    client->pageTargets();
    for (const json& params :
         {json("x"), json::array(), json{{"targetInfo", 5}},
          json{{"targetInfo", {{"targetId", 5}}}},
          json{{"targetInfo", {{"targetId", "F"}, {"type", "iframe"}, {"parentId", {1}}}},
               {"sessionId", 7}},
          json{{"targetId", {1}}}, json{{"sessionId", nullptr}}}) {
        for (const char* method :
             {"Target.targetCreated", "Target.targetInfoChanged", "Target.attachedToTarget",
              "Target.detachedFromTarget", "Target.targetDestroyed"})
            fake->event(method, params);
    }
    fake->event("Target.targetDestroyed", json::object());
    EXPECT_NO_THROW(client->takeEvents());
    EXPECT_EQ(client->pageTargets(), std::vector<std::string>{"A"});

    // A frame tree nested deeper than any page, one with more frames than a page has,
    // and odd owners of frames.
    json deep = {{"frame", {{"id", "A"}}}};
    for (int i = 0; i < 1000; ++i)
        deep = {{"frame", {{"id", "F" + std::to_string(i)}, {"url", "http://f/"}}},
                {"childFrames", {deep}}};
    json wide = {{"frame", {{"id", "A"}}}, {"childFrames", json::array()}};
    for (int i = 0; i < 5000; ++i)
        wide["childFrames"].push_back({{"frame", {{"id", "W" + std::to_string(i)}}}});
    for (const json& tree : {deep, wide}) {
        {
            std::lock_guard lock(model.mutex);
            model.answers["Page.getFrameTree"] = {{"frameTree", tree}};
            model.scripted[scripts::kFrameOwners] = {{"result", {{"objectId", "O"}}}};
            model.answers["Runtime.getProperties"] = {
                {"result",
                 {{{"name", "0"}, {"value", {{"objectId", "E0"}}}},
                  {{"name", "99999999999"}, {"value", {{"objectId", "E1"}}}},
                  {{"name", "-1"}, {"value", {{"objectId", "E2"}}}},
                  {{"name", "length"}, {"value", {{"value", 3}}}},
                  {{"name", "1"}, {"value", 5}},
                  {{"name", 2}, {"value", {{"objectId", "E3"}}}}}}};
            model.answers["DOM.describeNode"] = {{"node", {{"frameId", {1}}}}};
        }
        client->invalidate();
        std::vector<FrameAddress> frames;
        EXPECT_NO_THROW(frames = client->allFrames("test", "A"));
        EXPECT_LE(frames.size(), static_cast<std::size_t>(automation::limits::kMaxFrames));
        EXPECT_NO_THROW(frames = client->childFrames("test", "A"));
        EXPECT_EQ(frames.size(), 1u);
    }
}

TEST_F(ClientOverFakeBrowser, AFramesOwnersAreAllDescribedInOneRoundTripAndKeepTheirOrder)
{
    show({page("A", "http://a/")});
    ASSERT_EQ(client->pageTargets().size(), 1u);
    {
        std::lock_guard lock(model.mutex);
        model.scripted[scripts::kFrameOwners] = {{"result", {{"objectId", "O"}}}};
        model.answers["Runtime.getProperties"] = {
            {"result",
             {{{"name", "0"}, {"value", {{"objectId", "E0"}}}},
              {{"name", "1"}, {"value", {{"objectId", "E1"}}}},
              {{"name", "2"}, {"value", {{"objectId", "E2"}}}}}}};
        model.answers["Page.getFrameTree"] = {
            {"frameTree",
             {{"frame", {{"id", "A"}, {"url", "http://a/"}}},
              {"childFrames",
               {{{"frame", {{"id", "F1"}, {"url", "http://a/one"}}}},
                {{"frame", {{"id", "F2"}, {"url", "http://a/two"}}}},
                {{"frame", {{"id", "F3"}, {"url", "http://a/three"}}}}}}}}};
        // The browser answers none until all three are asked: one at a time, it would
        // never answer the first.
        model.describeTogether = 3;
        model.frameOfOwner = {{"E0", "F3"}, {"E1", "F1"}, {"E2", "F2"}};
    }
    std::vector<FrameAddress> frames;
    ASSERT_NO_THROW(frames = client->childFrames("test", "A"));
    std::vector<std::string> urls;
    urls.reserve(frames.size());
    for (const FrameAddress& frame : frames)
        urls.push_back(frame.url);
    EXPECT_EQ(urls, (std::vector<std::string>{"http://a/three", "http://a/one", "http://a/two"}));

    // One that cannot be described fails the reading, and costs the page nothing after.
    {
        std::lock_guard lock(model.mutex);
        model.frameOfOwner.erase("E1");
    }
    client->invalidate();
    EXPECT_THROW(client->childFrames("test", "A"), Error);
    {
        std::lock_guard lock(model.mutex);
        model.describeTogether = 0;
    }
    EXPECT_EQ(tab("A")->Document()->Title(), "Doc");
}

TEST_F(ClientOverFakeBrowser, AStoppedBrowserCostsOneWaitThenEveryCallFailsAtOnceUntilItAnswers)
{
    show({page("A", "http://a/"), page("B", "http://b/")});
    ASSERT_EQ(client->pageTargets().size(), 2u);
    {
        std::lock_guard lock(model.mutex);
        model.stopped = true;
    }
    ChromiumObjectFactory factory(client, nullptr, nullptr);
    // The first page asked waits for its deadline, or the browser's, then no call waits.
    const auto first = clock.now();
    EXPECT_THROW(tab("A")->busy(), Error);
    EXPECT_LE(since(first), settings.pageTimeout + settings.browserTimeout);
    const auto start = clock.now();
    for (int tick = 0; tick < 20; ++tick) {
        failsCleanly([&] { EXPECT_TRUE(factory.createShell()->windows()->items().empty()); },
                     "items");
        EXPECT_THROW(tab("B")->busy(), Error);
        EXPECT_THROW(tab("B")->hWnd(), Error);
        EXPECT_THROW(tab("A")->Document()->Title(), Error);
    }
    EXPECT_EQ(since(start), 0ms);
    EXPECT_TRUE(client->connected());

    // It goes on: what it was asked meanwhile is answered, and the list comes back.
    fake->settle();
    std::vector<json> held;
    {
        std::lock_guard lock(model.mutex);
        model.stopped = false;
        held.swap(model.unanswered);
    }
    for (const json& request : held)
        fake->reply(request, json::object());
    EXPECT_EQ(client->pageTargets().size(), 2u);
    EXPECT_FALSE(tab("B")->busy());
}

TEST_F(ClientOverFakeBrowser, TheTabWhoseTitleWasReadIsTheOneActivatedAndWritten)
{
    show({page("A", "http://a/", "Same"), page("B", "http://b/", "Same")});
    client->pageTargets();
    const std::string folder =
        ::testing::TempDir() + "tabulon-favorites-" + std::to_string(::getpid());
    automation::LocalFileSystem files;
    ChromiumWindows windows(client, folder, files);
    {
        std::lock_guard lock(model.mutex);
        model.scripted[scripts::kTitle] = valueResult("Same");
    }
    // The caption is made of B's title: B is meant, though A shows it too and comes first.
    EXPECT_EQ(tab("B")->Document()->Title(), "Same");
    ASSERT_TRUE(windows.activateByTitle("Same"));
    EXPECT_EQ(fake->requests("Target.activateTarget").back()["params"]["targetId"], "B");
    ASSERT_TRUE(windows.sendKeys("%A{ENTER}{TAB}D1{ENTER}"));
    std::ifstream in(folder + "/D1.url", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("URL=http://b/\r\n"), std::string::npos) << text.str();
    std::filesystem::remove_all(folder);

    // Once another title is read, the first tab showing this one is taken.
    tab("A")->Document()->Title();
    {
        std::lock_guard lock(model.mutex);
        model.targets[0]["title"] = "Other";
    }
    ASSERT_TRUE(windows.activateByTitle("Same"));
    EXPECT_EQ(fake->requests("Target.activateTarget").back()["params"]["targetId"], "B");
}

TEST_F(ClientOverFakeBrowser, ARefreshAsksEachWindowOnceAndEachPageOnceThenTheListReadsNoMore)
{
    show({page("A", "http://a/"), page("B", "http://b/"), page("C", "http://c/")});
    {
        std::lock_guard lock(model.mutex);
        // B is a second tab of A's window.
        model.windowOfTab["B"] = windowOf("A");
        model.windows["102"]["windowState"] = "minimized";
    }
    // The first reading learns the windows and makes the program's world in each page.
    ASSERT_TRUE(refresh());
    const std::vector<std::string> first = listRows();
    EXPECT_EQ(first, (std::vector<std::string>{"Doc http://a/ 600x800 frames 2",
                                               "Doc http://b/ 600x800 frames 2",
                                               "Doc http://c/ 24x160 min frames 2"}));

    // Two seconds later: one target list, one bounds call for each of the two windows,
    // one snapshot for each tab, all sent before any answer is read.
    clock.sleepUntil(clock.now() + 2s);
    fake->clearRequests();
    const std::int64_t before = client->roundTrips();
    ASSERT_TRUE(refresh());
    EXPECT_EQ(client->roundTrips() - before, 1 + 2 + 3);
    EXPECT_EQ(fake->requests("Browser.getWindowBounds").size(), 2u);
    EXPECT_EQ(fake->requests("Browser.getWindowForTarget").size(), 0u);
    EXPECT_EQ(scriptCalls(scripts::kSnapshot).size(), 3u);
    fake->clearRequests();
    EXPECT_EQ(listRows(), first);
    EXPECT_TRUE(fake->requests().empty());

    // Nothing happened in any page since: only the windows are asked.
    clock.sleepUntil(clock.now() + 2s);
    ASSERT_TRUE(refresh());
    EXPECT_EQ(client->roundTrips() - before, 6 + 1 + 2);
    EXPECT_EQ(listRows(), first);

    // What changed in the browser between two readings shows at the next one: the
    // windows are read every time, a page when the browser told of a change in it.
    {
        std::lock_guard lock(model.mutex);
        model.windows["100"]["height"] = 500;
        model.windows["102"]["windowState"] = "normal";
        model.scripted[scripts::kSnapshot] = {
            {"result",
             {{"value",
               {{"ready", "loading"}, {"frames", 0}, {"visible", true}, {"title", "New"}}}}}};
    }
    fake->event("Page.frameStartedLoading", {{"frameId", "A"}}, sessionOf("A"));
    fake->event("Page.frameAttached", {{"frameId", "F"}, {"parentFrameId", "C"}}, sessionOf("C"));
    fake->settle();
    clock.sleepUntil(clock.now() + 2s);
    ASSERT_TRUE(refresh());
    EXPECT_EQ(listRows(),
              (std::vector<std::string>{"busy", "Doc http://b/ 500x800 frames 2", "busy"}));
    // A page read busy is read again until it is not.
    {
        std::lock_guard lock(model.mutex);
        model.scripted.erase(scripts::kSnapshot);
    }
    clock.sleepUntil(clock.now() + 2s);
    ASSERT_TRUE(refresh());
    EXPECT_EQ(listRows(), (std::vector<std::string>{"Doc http://a/ 500x800 frames 2",
                                                    "Doc http://b/ 500x800 frames 2",
                                                    "Doc http://c/ 600x800 frames 2"}));
}

TEST_F(ClientOverFakeBrowser, AHungPageReadsBusyWithItsLastValuesAndHoldsUpNoOtherTab)
{
    show({page("A", "http://a/"), page("B", "http://b/")});
    ASSERT_TRUE(refresh());
    ASSERT_EQ(listRows().size(), 2u);
    {
        std::lock_guard lock(model.mutex);
        model.hung.insert(sessionOf("B"));
    }
    const auto start = clock.now();
    EXPECT_FALSE(refresh());
    // The list looks now: B has not answered, and is not waited for.
    fake->clearRequests();
    EXPECT_EQ(listRows(), (std::vector<std::string>{"Doc http://a/ 600x800 frames 2", "busy"}));
    EXPECT_EQ(since(start), 0ms);
    EXPECT_TRUE(fake->requests().empty());
    // Its window is still read from what the reading found.
    EXPECT_EQ(tab("B")->Height(), 600);

    // The next reading asks B nothing while it holds the last call; once that has taken
    // longer than a page may, the script holding it is stopped.
    clock.sleepUntil(clock.now() + 2s);
    EXPECT_TRUE(refresh());
    EXPECT_EQ(fake->requests("Runtime.terminateExecution").size(), 1u);
    for (const json& call : scriptCalls(scripts::kSnapshot))
        EXPECT_NE(call["sessionId"], sessionOf("B"));
    EXPECT_EQ(listRows()[1], "busy");
    // Freed, it is read again at the next reading.
    clock.sleepUntil(clock.now() + 2s);
    EXPECT_TRUE(refresh());
    EXPECT_EQ(listRows(), (std::vector<std::string>{"Doc http://a/ 600x800 frames 2",
                                                    "Doc http://b/ 600x800 frames 2"}));
}

TEST_F(ClientOverFakeBrowser, EventsBetweenReadingsShowAtTheNextAndALostBrowserEmptiesTheList)
{
    show({page("A", "http://a/"), page("B", "http://b/")});
    ASSERT_TRUE(refresh());
    ASSERT_EQ(listRows().size(), 2u);
    // A navigates and B closes, as the browser's events tell; C opens.
    fake->event("Target.targetInfoChanged", {{"targetInfo", page("A", "http://a/next")}});
    fake->event("Target.targetDestroyed", {{"targetId", "B"}});
    show({page("A", "http://a/next"), page("C", "http://c/")});
    fake->event("Target.targetCreated", {{"targetInfo", page("C", "http://c/")}});
    fake->event("Target.attachedToTarget",
                {{"sessionId", sessionOf("C")}, {"targetInfo", page("C", "http://c/")}});
    fake->settle();
    clock.sleepUntil(clock.now() + 2s);
    ASSERT_TRUE(refresh());
    fake->clearRequests();
    EXPECT_EQ(listRows(), (std::vector<std::string>{"Doc http://a/next 600x800 frames 2",
                                                    "Doc http://c/ 600x800 frames 2"}));
    EXPECT_TRUE(fake->requests().empty());

    fake->stop();
    clock.sleepUntil(clock.now() + 2s);
    EXPECT_TRUE(refresh());
    EXPECT_TRUE(client->listedPages().empty());
    EXPECT_THROW(tab("A")->busy(), Error);
}

TEST_F(ClientOverFakeBrowser, AStoppedBrowserIsNotWaitedForAndItsTabsReadBusyUntilItAnswers)
{
    show({page("A", "http://a/"), page("B", "http://b/")});
    ASSERT_TRUE(refresh());
    ASSERT_EQ(listRows().size(), 2u);
    {
        std::lock_guard lock(model.mutex);
        model.stopped = true;
    }
    const auto start = clock.now();
    clock.sleepUntil(clock.now() + 2s);
    EXPECT_FALSE(refresh());
    EXPECT_EQ(listRows(), (std::vector<std::string>{"busy", "busy"}));
    // While it still owes the last reading's answers, nothing more goes into its pipe.
    fake->clearRequests();
    clock.sleepUntil(clock.now() + 2s);
    EXPECT_TRUE(refresh());
    EXPECT_TRUE(fake->requests().empty());
    EXPECT_EQ(listRows(), (std::vector<std::string>{"busy", "busy"}));
    EXPECT_EQ(since(start), 4s);

    // It runs again and answers what it owes: the next reading is whole.
    std::vector<json> owed;
    {
        std::lock_guard lock(model.mutex);
        model.stopped = false;
        owed = std::move(model.unanswered);
    }
    for (const json& request : owed)
        fake->reply(request, {});
    fake->settle();
    client->takeEvents();
    clock.sleepUntil(clock.now() + 2s);
    EXPECT_TRUE(refresh());
    EXPECT_EQ(listRows(), (std::vector<std::string>{"Doc http://a/ 600x800 frames 2",
                                                    "Doc http://b/ 600x800 frames 2"}));
}

namespace {

// A reading that keeps a single request on its way at a time.
struct ClientWithNarrowReading : ClientOverFakeBrowser
{
    void SetUp() override
    {
        settings.readingWindowBytes = 1;
        ClientOverFakeBrowser::SetUp();
    }
};

} // namespace

TEST_F(ClientWithNarrowReading, ARequestGoesOnlyWhenTheOneBeforeIsAnsweredAndAStoppedBrowserGetsOne)
{
    show({page("A", "http://a/"), page("B", "http://b/"), page("C", "http://c/")});
    // Every request goes in turn, none lost, and the reading completes.
    bool done = refresh(100);
    ASSERT_TRUE(done);
    const std::vector<std::string> rows = listRows();
    EXPECT_EQ(rows, (std::vector<std::string>{"Doc http://a/ 600x800 frames 2",
                                              "Doc http://b/ 600x800 frames 2",
                                              "Doc http://c/ 600x800 frames 2"}));

    // Stopped, with something to read in every page: it is sent one request, however
    // long the reading goes on, and the list is not kept waiting.
    {
        std::lock_guard lock(model.mutex);
        model.stopped = true;
    }
    for (const char* id : {"A", "B", "C"})
        fake->event("Page.frameNavigated", {{"frame", {{"id", id}}}}, sessionOf(id));
    fake->settle();
    clock.sleepUntil(clock.now() + 2s);
    fake->clearRequests();
    const auto start = clock.now();
    EXPECT_FALSE(client->beginRefresh());
    for (int i = 0; i < 5; ++i) {
        fake->settle();
        EXPECT_FALSE(client->continueRefresh());
    }
    EXPECT_EQ(fake->requests().size(), 1u);
    EXPECT_EQ(listRows(), (std::vector<std::string>{"busy", "busy", "busy"}));
    EXPECT_EQ(since(start), 0ms);

    // Running again, it answers what it owes; the next reading is whole.
    std::vector<json> owed;
    {
        std::lock_guard lock(model.mutex);
        model.stopped = false;
        owed = std::move(model.unanswered);
    }
    for (const json& request : owed)
        fake->reply(request, {});
    fake->settle();
    client->takeEvents();
    clock.sleepUntil(clock.now() + 2s);
    done = refresh(100);
    ASSERT_TRUE(done);
    EXPECT_EQ(listRows(), rows);
}

TEST_F(ClientWithNarrowReading, APageNotYetAskedWhenTheListLooksShowsItsLastValuesAndIsAskedNext)
{
    show({page("A", "http://a/"), page("B", "http://b/"), page("C", "http://c/")});
    bool done = refresh(100);
    ASSERT_TRUE(done);
    ASSERT_EQ(listRows(), (std::vector<std::string>{"Doc http://a/ 600x800 frames 2",
                                                    "Doc http://b/ 600x800 frames 2",
                                                    "Doc http://c/ 600x800 frames 2"}));

    // Every page changes; the list looks while the reading has got only as far as the
    // second page. The windows were asked before any page, so they are all read.
    {
        std::lock_guard lock(model.mutex);
        model.windows["100"]["height"] = 500;
        model.windows["102"]["height"] = 400;
        model.scripted[scripts::kSnapshot] = {
            {"result",
             {{"value",
               {{"ready", "complete"}, {"frames", 1}, {"visible", true}, {"title", "New"}}}}}};
    }
    for (const char* id : {"A", "B", "C"})
        fake->event("Page.frameNavigated", {{"frame", {{"id", id}}}}, sessionOf(id));
    fake->settle();
    {
        std::lock_guard lock(model.mutex);
        model.hung.insert(sessionOf("B"));
    }
    clock.sleepUntil(clock.now() + 2s);
    // The target list, three windows and the first page answer; the second page is
    // asked and does not answer, so the third is never asked.
    done = refresh();
    ASSERT_FALSE(done);
    fake->clearRequests();
    // The page asked in vain reads busy; the page never asked is no busier than before.
    EXPECT_EQ(listRows(), (std::vector<std::string>{"New http://a/ 500x800 frames 1", "busy",
                                                    "Doc http://c/ 400x800 frames 2"}));
    EXPECT_TRUE(fake->requests().empty());

    // B answers late; the next reading asks both again.
    std::vector<json> held;
    {
        std::lock_guard lock(model.mutex);
        model.hung.clear();
        held = std::move(model.waiting);
    }
    for (const json& request : held)
        fake->reply(request, {});
    fake->settle();
    client->takeEvents();
    clock.sleepUntil(clock.now() + 2s);
    done = refresh(100);
    ASSERT_TRUE(done);
    EXPECT_EQ(listRows(), (std::vector<std::string>{"New http://a/ 500x800 frames 1",
                                                    "New http://b/ 600x800 frames 1",
                                                    "New http://c/ 400x800 frames 1"}));
}
