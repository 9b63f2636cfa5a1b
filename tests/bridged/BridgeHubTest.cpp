#include "automation/bridged/BridgeHub.h"

#include "../bridge/BridgePeers.h"
#include "../chromium/FakeClock.h"
#include "automation/Browser.h"
#include "automation/Error.h"
#include "automation/HtmlDocument.h"
#include "automation/bridged/BridgePeer.h"
#include "automation/bridged/BridgedWindowManager.h"
#include "automation/bridged/UnionObjectFactory.h"
#include "automation/local/LocalFileSystem.h"

#include <atomic>
#include <cstring>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <poll.h>
#include <thread>

using namespace automation;
using bridged::BridgeHub;
using bridgetest::FramedPeer;
using bridgetest::TempFolder;
using nlohmann::json;

namespace {

// The program's own browser, as the union sees it: one window, or a failure.
class OwnBrowser : public Browser
{
public:
    bool busy() override { return false; }
    std::string LocationURL() override { return "https://own.example/"; }
    std::string LocationName() override { return "own"; }
    Hwnd hWnd() override { return 7; }
    long Height() override { return 1; }
    long Width() override { return 1; }
    std::shared_ptr<HtmlDocument> Document() override { return nullptr; }
    void put(BrowserProperty, bool) override {}
    bool get(BrowserProperty) override { return false; }
    void Navigate(const std::string&) override {}
    void Quit() override {}
};

// Reads of the own browser's windows take two looks to complete.
struct OwnReading
{
    int begun = 0;
    int looks = 0;
};

class OwnWindows : public ShellWindows
{
public:
    explicit OwnWindows(std::shared_ptr<OwnReading> reading) : m_reading(std::move(reading)) {}
    std::vector<std::shared_ptr<Browser>> items() override
    {
        return {std::make_shared<OwnBrowser>()};
    }
    bool beginRefresh() override
    {
        ++m_reading->begun;
        m_reading->looks = 0;
        return false;
    }
    bool continueRefresh() override { return ++m_reading->looks >= 2; }

private:
    std::shared_ptr<OwnReading> m_reading;
};

class OwnShell : public Shell
{
public:
    std::shared_ptr<ShellWindows> windows() override
    {
        return std::make_shared<OwnWindows>(reading);
    }
    void MinimizeAll() override {}
    void TileVertically() override {}
    void TileHorizontally() override {}
    void CascadeWindows() override {}
    std::shared_ptr<OwnReading> reading = std::make_shared<OwnReading>();
};

class OwnObjects : public ObjectFactory
{
public:
    std::shared_ptr<Shell> createShell() override
    {
        auto shell = std::make_shared<OwnShell>();
        shell->reading = reading;
        return shell;
    }
    std::shared_ptr<OwnReading> reading = std::make_shared<OwnReading>();
    std::shared_ptr<ScriptingShell> createScriptingShell() override { return nullptr; }
    std::shared_ptr<Browser> createBrowser() override
    {
        ++created;
        return std::make_shared<OwnBrowser>();
    }
    int created = 0;
};

// The window manager underneath: says which calls reached it.
class OwnWindowManager : public WindowManager
{
public:
    Hwnd attachMainWindow(HostWindow&) override { return 1; }
    void detachMainWindow() override {}
    void SetWindowPos(Hwnd, Hwnd, int, int, int, int, unsigned) override
    {
        calls.emplace_back("SetWindowPos");
    }
    bool IsZoomed(Hwnd) override { return false; }
    bool IsIconic(Hwnd) override { return false; }
    void CloseWindow(Hwnd) override { calls.emplace_back("CloseWindow"); }
    void OpenIcon(Hwnd) override { calls.emplace_back("OpenIcon"); }
    void AppActivate(const std::string& caption) override
    {
        throw Error("AppActivate", "no window has the caption " + caption);
    }
    void SendKeys(const std::string& keys) override { calls.emplace_back("SendKeys " + keys); }
    ScreenMetrics screen() override { return {}; }
    void beginBatch() override { calls.emplace_back("beginBatch"); }
    void commitBatch() override { calls.emplace_back("commitBatch"); }
    std::vector<std::string> calls;
};

json window(std::int64_t id, const char* state = "normal", bool focused = false)
{
    return {{"id", id},  {"type", "normal"}, {"state", state}, {"focused", focused},
            {"left", 0}, {"top", 0},         {"width", 640},   {"height", 480}};
}

json tab(std::int64_t id, std::int64_t windowId, const std::string& title, bool active = true)
{
    return {{"id", id},
            {"windowId", windowId},
            {"index", 0},
            {"active", active},
            {"status", "complete"},
            {"title", title},
            {"url", "https://example.org/" + title}};
}

// An extension at the end of a host's connection, played by the test.
class FakeExtension
{
public:
    explicit FakeExtension(const std::string& folder)
        : m_fd(bridge::connectBridge(bridge::bridgeSocketPath(folder))),
          m_peer(m_fd, m_fd, bridge::kMaxToBrowser)
    {}
    bool connected() const { return m_fd >= 0; }
    void send(const json& message) { m_peer.send(message.dump()); }
    bool sendRaw(const std::string& bytes) { return m_peer.sendRaw(bytes); }
    // A list of one written in braces reads as that one object: both mean the list.
    void hello(const char* origin, json windows, json tabs)
    {
        if (!windows.is_array())
            windows = json::array({windows});
        if (!tabs.is_array())
            tabs = json::array({tabs});
        send({{"type", "host"},
              {"version", 1},
              {"origin", origin},
              {"browserPid", 4242},
              {"profile", nullptr}});
        send({{"type", "hello"}, {"protocol", 1}, {"product", "Chromium"}, {"version", "156"}});
        send({{"type", "snapshot"}, {"windows", windows}, {"tabs", tabs}});
    }
    // The next request Tabulon sends.
    json request()
    {
        const auto text = m_peer.receive();
        return text ? json::parse(*text) : json();
    }
    void reply(const json& request, const json& result)
    {
        send({{"type", "reply"}, {"id", request["id"]}, {"result", result}});
    }
    void close() { m_peer.close(); }

private:
    int m_fd;
    FramedPeer m_peer;
};

class BridgeHubTest : public ::testing::Test
{
protected:
    BridgeHubTest() : m_clock([this] { return m_quiet.load(); })
    {
        EXPECT_FALSE(m_hub->listen(m_folder.path()));
    }

    // Lets the hub read until holds() does; false when it never did.
    bool until(const std::function<bool()>& holds)
    {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < giveUp) {
            m_hub->pump();
            if (holds())
                return true;
            std::vector<pollfd> fds{{m_hub->listenerFd(), POLLIN, 0}};
            for (const auto& peer : m_hub->peers())
                fds.push_back({peer->fd(), POLLIN, 0});
            ::poll(fds.data(), fds.size(), 20);
        }
        return false;
    }

    std::vector<std::shared_ptr<Browser>> rows()
    {
        return m_objects.createShell()->windows()->items();
    }

    // Runs script on the extension's side while the program waits on a command; the
    // clock stands still until the script has done all it will.
    template <typename Command> void whileExtension(std::function<void()> script, Command command)
    {
        m_quiet = false;
        std::thread side([&] {
            script();
            m_quiet = true;
        });
        try {
            command();
        } catch (...) {
            side.join();
            throw;
        }
        side.join();
    }

    TempFolder m_folder;
    std::atomic<bool> m_quiet{true};
    FakeClock m_clock;
    std::shared_ptr<BridgeHub> m_hub = std::make_shared<BridgeHub>(m_clock);
    OwnObjects m_own;
    bridged::UnionObjectFactory m_objects{m_own, m_hub};
    OwnWindowManager m_ownWindows;
    LocalFileSystem m_files;
    bridged::BridgedWindowManager m_windows{m_ownWindows, m_hub, m_folder.path() + "/Favorites",
                                            m_files};
};

} // namespace

TEST_F(BridgeHubTest, SnapshotsOfSeveralBrowsersBecomeRowsAfterTheOwnBrowser)
{
    FakeExtension chromium(m_folder.path());
    ASSERT_TRUE(chromium.connected());
    ASSERT_TRUE(until([&] { return m_hub->peers().size() == 1; }));
    FakeExtension firefox(m_folder.path());
    ASSERT_TRUE(until([&] { return m_hub->peers().size() == 2; }));
    // The second to connect speaks first: the order stays that of the connections.
    firefox.hello("bridge@tabulon.example.org", {window(1, "minimized")}, {tab(5, 1, "fox")});
    chromium.hello("chrome-extension://kmfijapfifagppihhoiacpfmojiefhje/",
                   {window(1, "normal", true), window(2, "maximized")},
                   {tab(10, 1, "one"), tab(11, 1, "two", false), tab(20, 2, "three")});
    ASSERT_TRUE(until([&] { return rows().size() == 5; }));

    const auto list = rows();
    EXPECT_EQ(list[0]->LocationURL(), "https://own.example/");
    EXPECT_EQ(list[1]->LocationName(), "one");
    EXPECT_EQ(list[2]->LocationName(), "two");
    EXPECT_EQ(list[3]->LocationName(), "three");
    EXPECT_EQ(list[4]->LocationName(), "fox");
    // Tabs of one window share its handle; windows of two browsers with the same id
    // do not; none is an X11 id or one of the own browser's.
    EXPECT_EQ(list[1]->hWnd(), list[2]->hWnd());
    EXPECT_NE(list[1]->hWnd(), list[3]->hWnd());
    EXPECT_NE(list[1]->hWnd(), list[4]->hWnd());
    for (std::size_t i = 1; i < list.size(); ++i)
        EXPECT_TRUE(BridgeHub::owns(list[i]->hWnd()));
    EXPECT_EQ(rows()[4]->hWnd(), list[4]->hWnd());
    EXPECT_EQ(list[1]->Width(), 640);
    EXPECT_LE(list[4]->Height(), 25); // minimised
    EXPECT_TRUE(m_windows.IsZoomed(list[3]->hWnd()));
    EXPECT_TRUE(m_windows.IsIconic(list[4]->hWnd()));
    EXPECT_FALSE(m_windows.IsIconic(list[1]->hWnd()));
    EXPECT_EQ(m_hub->peers()[1]->info().origin, "bridge@tabulon.example.org");
    EXPECT_TRUE(m_hub->peers()[1]->info().firefox());
    EXPECT_EQ(m_hub->peers()[0]->info().browserPid, 4242);

    // Events change the rows without a request.
    chromium.send({{"type", "event"},
                   {"name", "tabs.onRemoved"},
                   {"tabId", 11},
                   {"windowId", 1},
                   {"windowClosing", false}});
    chromium.send({{"type", "event"}, {"name", "tabs.onUpdated"}, {"tab", tab(10, 1, "renamed")}});
    ASSERT_TRUE(
        until([&] { return rows().size() == 4 && rows()[1]->LocationName() == "renamed"; }));
    EXPECT_THROW(list[2]->LocationURL(), Error);
    EXPECT_EQ(m_hub->peers()[0]->roundTrips(), 0);
}

TEST_F(BridgeHubTest, CommandsRoundTripAndNewPagesGoToTheBrowserFocusedLast)
{
    FakeExtension chromium(m_folder.path());
    chromium.hello("chrome-extension://kmfijapfifagppihhoiacpfmojiefhje/",
                   {window(3, "maximized", true)}, {tab(30, 3, "page")});
    ASSERT_TRUE(until([&] { return rows().size() == 2; }));
    const auto page = rows()[1];
    const Hwnd hwnd = page->hWnd();

    json asked;
    whileExtension(
        [&] {
            asked = chromium.request();
            chromium.reply(asked, {{"window", window(3, "minimized")}, {"settled", true}});
        },
        [&] { m_windows.CloseWindow(hwnd); });
    EXPECT_EQ(asked["method"], "window.update");
    EXPECT_EQ(asked["params"]["windowId"], 3);
    EXPECT_EQ(asked["params"]["state"], "minimized");
    EXPECT_TRUE(m_windows.IsIconic(hwnd));

    // Restore gives back the state before, then selects the window's tab.
    json restore;
    json activate;
    whileExtension(
        [&] {
            restore = chromium.request();
            chromium.reply(restore, {{"window", window(3, "maximized", true)}, {"settled", true}});
            activate = chromium.request();
            chromium.reply(activate, {{"tab", tab(30, 3, "page")}});
        },
        [&] { m_windows.OpenIcon(hwnd); });
    EXPECT_EQ(restore["params"]["state"], "maximized");
    EXPECT_EQ(activate["method"], "tab.activate");
    EXPECT_EQ(activate["params"]["tabId"], 30);
    EXPECT_TRUE(m_windows.IsZoomed(hwnd));
    EXPECT_TRUE(m_ownWindows.calls.empty());

    // The favourite keys after the tab was activated write its shortcut, frames and all.
    json frames;
    whileExtension(
        [&] {
            frames = chromium.request();
            chromium.reply(
                frames,
                {{"frames",
                  {{{"frameId", 0},
                    {"result",
                     {{"url", "https://example.org/page"}, {"name", ""}, {"path", json::array()}}}},
                   {{"frameId", 10737418241},
                    {"result", {{"url", "https://b.example/"}, {"name", "side"}, {"path", {1}}}}},
                   {{"frameId", 4},
                    {"result",
                     {{"url", "https://a.example/"}, {"name", "top"}, {"path", {0}}}}}}}});
        },
        [&] { m_windows.SendKeys("%A{ENTER}{TAB}saved{ENTER}"); });
    EXPECT_EQ(frames["params"]["allFrames"], true);
    std::ifstream in(m_folder.path() + "/Favorites/saved.url", std::ios::binary);
    const std::string shortcut((std::istreambuf_iterator<char>(in)), {});
    const auto first = shortcut.find("https://a.example/");
    const auto second = shortcut.find("https://b.example/");
    EXPECT_NE(first, std::string::npos);
    EXPECT_LT(first, second);
    EXPECT_NE(shortcut.find("https://example.org/page"), std::string::npos);

    // The browser whose window was focused last gets the new page.
    json create;
    std::shared_ptr<Browser> opened;
    whileExtension(
        [&] {
            create = chromium.request();
            chromium.reply(create,
                           {{"windowId", 4}, {"tabId", 40}, {"window", window(4, "normal", true)}});
        },
        [&] { opened = m_objects.createBrowser(); });
    EXPECT_EQ(create["method"], "window.create");
    EXPECT_EQ(opened->LocationURL(), "about:blank");
    EXPECT_EQ(m_own.created, 0);
    chromium.send({{"type", "event"}, {"name", "windows.onFocusChanged"}, {"windowId", -1}});
    EXPECT_TRUE(until([&] { return !m_hub->peers()[0]->model().focusedWindow(); }));
    // Focus that went elsewhere does not forget which browser had it last.
    whileExtension(
        [&] {
            create = chromium.request();
            chromium.reply(create, {{"windowId", 5}, {"tabId", 50}, {"window", window(5)}});
        },
        [&] { opened = m_objects.createBrowser(); });
    EXPECT_EQ(create["method"], "window.create");
    EXPECT_EQ(m_own.created, 0);
}

TEST_F(BridgeHubTest, NewPagesGoToTheOwnBrowserWhenNoneIsConnected)
{
    m_objects.createBrowser();
    EXPECT_EQ(m_own.created, 1);
}

TEST_F(BridgeHubTest, WindowsNotBridgedGoUnderneathInsideTheirBatch)
{
    m_windows.beginBatch();
    m_windows.SetWindowPos(77, 0, 0, 0, 640, 480, 0);
    m_windows.CloseWindow(78);
    m_windows.commitBatch();
    EXPECT_EQ(m_ownWindows.calls, (std::vector<std::string>{"beginBatch", "SetWindowPos",
                                                            "CloseWindow", "commitBatch"}));
}

TEST_F(BridgeHubTest, InsideABatchBrowsersAreAskedWhereTheirWindowsWentOnlyAtTheCommit)
{
    FakeExtension chromium(m_folder.path());
    chromium.hello("chrome-extension://kmfijapfifagppihhoiacpfmojiefhje/",
                   {window(3, "normal", true)}, {tab(30, 3, "page")});
    ASSERT_TRUE(until([&] { return rows().size() == 2; }));
    const Hwnd hwnd = rows()[1]->hWnd();

    // The desktop minimises the windows only when the batch is committed; a browser asked
    // before that would still say "normal".
    m_windows.beginBatch();
    m_objects.createShell()->MinimizeAll();
    json asked;
    whileExtension(
        [&] {
            asked = chromium.request();
            chromium.reply(asked, {{"windows", json::array({window(3, "minimized")})},
                                   {"tabs", json::array({tab(30, 3, "page")})}});
        },
        [&] { m_windows.commitBatch(); });
    EXPECT_EQ(asked["method"], "snapshot");
    EXPECT_TRUE(m_windows.IsIconic(hwnd));
}

TEST_F(BridgeHubTest, InsideABatchWindowMovesGoOutTogetherAtTheCommitAndAFailedOneIsSkipped)
{
    FakeExtension chromium(m_folder.path());
    chromium.hello("chrome-extension://kmfijapfifagppihhoiacpfmojiefhje/",
                   {window(3), window(4), window(5)},
                   {tab(30, 3, "one"), tab(40, 4, "two"), tab(50, 5, "three")});
    ASSERT_TRUE(until([&] { return rows().size() == 4; }));
    const auto first = rows()[1];
    const auto second = rows()[2];
    const auto third = rows()[3];

    // A change of state goes out at once, without waiting for its answer; moves and
    // resizes wait for the commit, one window's joined into one change.
    m_windows.beginBatch();
    m_windows.SetWindowPos(first->hWnd(), 0, 0, 0, 300, 200, SWP_NOMOVE);
    m_windows.SetWindowPos(second->hWnd(), 0, 310, 20, 300, 200, 0);
    m_windows.SetWindowPos(first->hWnd(), 0, 10, 20, 0, 0, SWP_NOSIZE);
    m_windows.CloseWindow(third->hWnd());
    const json three = chromium.request();
    EXPECT_EQ(three["params"]["windowId"], 5);
    EXPECT_EQ(three["params"]["state"], "minimized");

    // Both moves go out before either is answered; they are answered out of order, and
    // the second window went meanwhile, which fails its change alone.
    json moved = window(3);
    moved["left"] = 10;
    moved["top"] = 20;
    moved["width"] = 300;
    moved["height"] = 200;
    json one;
    whileExtension(
        [&] {
            one = chromium.request();
            const json two = chromium.request();
            EXPECT_EQ(two["params"]["windowId"], 4);
            chromium.reply(three, {{"window", window(5, "minimized")}});
            chromium.send({{"type", "reply"},
                           {"id", two["id"]},
                           {"error", {{"code", "noWindow"}, {"message", "no window 4"}}}});
            chromium.reply(one, {{"window", moved}});
        },
        [&] { m_windows.commitBatch(); });
    EXPECT_EQ(one["params"]["windowId"], 3);
    EXPECT_EQ(one["params"]["left"], 10);
    EXPECT_EQ(one["params"]["top"], 20);
    EXPECT_EQ(one["params"]["width"], 300);
    EXPECT_EQ(one["params"]["height"], 200);
    EXPECT_EQ(first->Width(), 300);
    EXPECT_EQ(first->Height(), 200);
    EXPECT_EQ(second->Width(), 640);
    EXPECT_TRUE(m_windows.IsIconic(third->hWnd()));
}

TEST_F(BridgeHubTest, SilentBrowserFailsOnlyTheCommandAtItsDeadline)
{
    FakeExtension chromium(m_folder.path());
    chromium.hello("chrome-extension://kmfijapfifagppihhoiacpfmojiefhje/", {window(1)},
                   {tab(1, 1, "quiet")});
    ASSERT_TRUE(until([&] { return rows().size() == 2; }));
    const auto page = rows()[1];
    const auto before = m_clock.now();
    try {
        page->Navigate("example.org");
        ADD_FAILURE() << "a browser that never answers cannot navigate";
    } catch (const Error& error) {
        EXPECT_EQ(error.member(), "Navigate");
    }
    // The wait ran to the deadline (the request's own plus a margin) and no further.
    const auto waited = m_clock.now() - before;
    EXPECT_GE(waited, std::chrono::milliseconds(5000));
    EXPECT_LE(waited, std::chrono::milliseconds(6000));
    const json request = chromium.request();
    EXPECT_EQ(request["params"]["url"], "http://example.org");
    EXPECT_EQ(request["params"]["timeoutMs"], 5000);
    // A late reply to the given-up request is dropped, and the browser stays listed.
    chromium.reply(request, {{"tab", tab(1, 1, "late")}});
    ASSERT_TRUE(until([&] { return rows().size() == 2; }));
    EXPECT_EQ(rows()[1]->LocationName(), "quiet");
}

TEST_F(BridgeHubTest, BrowserGoneMidCommandFailsItAndLeavesTheOthersListed)
{
    FakeExtension leaving(m_folder.path());
    ASSERT_TRUE(until([&] { return m_hub->peers().size() == 1; }));
    FakeExtension staying(m_folder.path());
    leaving.hello("bridge@tabulon.example.org", {window(1)}, {tab(1, 1, "leaving")});
    staying.hello("bridge@tabulon.example.org", {window(1)}, {tab(1, 1, "staying")});
    ASSERT_TRUE(until([&] { return rows().size() == 3; }));
    const auto gone = rows()[1];
    const Hwnd goneWindow = gone->hWnd();
    ASSERT_EQ(gone->LocationName(), "leaving");

    json asked;
    EXPECT_THROW(whileExtension(
                     [&] {
                         asked = leaving.request();
                         leaving.close();
                     },
                     [&] { gone->Quit(); }),
                 Error);
    EXPECT_EQ(asked["method"], "tab.remove");
    ASSERT_TRUE(until([&] { return rows().size() == 2; }));
    EXPECT_EQ(rows()[1]->LocationName(), "staying");
    EXPECT_THROW(gone->LocationURL(), Error);
    EXPECT_THROW(m_windows.IsIconic(goneWindow), Error);
    EXPECT_THROW(m_windows.CloseWindow(goneWindow), Error);
}

TEST_F(BridgeHubTest, DamagedAndOversizedMessagesAreSkipped)
{
    FakeExtension chromium(m_folder.path());
    chromium.send(json("not an object"));
    chromium.hello("chrome-extension://kmfijapfifagppihhoiacpfmojiefhje/", {window(1)},
                   {tab(1, 1, "ok")});
    ASSERT_TRUE(until([&] { return rows().size() == 2; }));
    ASSERT_TRUE(chromium.sendRaw(std::string("\x05\0\0\0{\"typ", 9)));
    ASSERT_TRUE(chromium.sendRaw(std::string(4, '\0')));
    // A frame announcing more than a browser may send is dropped as it arrives, and the
    // stream goes on after it.
    std::thread writer([&] {
        std::string header(4, '\0');
        const std::uint32_t huge = (64u << 20) + 1;
        std::memcpy(header.data(), &huge, 4);
        chromium.sendRaw(header + std::string(huge, '['));
        chromium.sendRaw(*bridge::encodeFrame(
            R"({"type":"snapshot","windows":[{"id":1}],"tabs":[{"id":2,"windowId":1,"title":"x\u0000y\ud800"}]})",
            bridge::kMaxFromBrowser));
    });
    const bool replaced =
        until([&] { return rows().size() == 2 && rows()[1]->LocationURL().empty(); });
    writer.join();
    ASSERT_TRUE(replaced);
    EXPECT_EQ(rows()[1]->LocationName().substr(0, 1), "x");
    EXPECT_EQ(rows()[1]->LocationName().find('\0'), std::string::npos);
}

TEST_F(BridgeHubTest, RebuildsAskThePageAgainOnlyAfterTheTabChanged)
{
    FakeExtension chromium(m_folder.path());
    chromium.hello("chrome-extension://kmfijapfifagppihhoiacpfmojiefhje/", {window(1)},
                   {tab(1, 1, "page")});
    ASSERT_TRUE(until([&] { return rows().size() == 2; }));
    const auto answerList = [&](int frames) {
        const json asked = chromium.request();
        EXPECT_EQ(asked["params"]["fn"], "list");
        chromium.reply(
            asked,
            {{"frames", json::array({json{{"frameId", 0},
                                          {"result", {{"title", "page"}, {"frames", frames}}}}})}});
    };
    int first = 0;
    whileExtension([&] { answerList(2); }, [&] { first = rows()[1]->Document()->FramesLength(); });
    EXPECT_EQ(first, 2);
    // Asked nothing: the tab has not changed.
    EXPECT_EQ(rows()[1]->Document()->FramesLength(), 2);
    EXPECT_EQ(rows()[1]->Document()->Title(), "page");
    EXPECT_EQ(m_hub->peers()[0]->roundTrips(), 1);

    chromium.send({{"type", "event"}, {"name", "tabs.onUpdated"}, {"tab", tab(1, 1, "page")}});
    ASSERT_TRUE(until([&] { return m_hub->peers()[0]->pageList(1) == nullptr; }));
    int second = 0;
    whileExtension([&] { answerList(3); }, [&] { second = rows()[1]->Document()->FramesLength(); });
    EXPECT_EQ(second, 3);

    // Writing to the page forgets what it said before.
    whileExtension(
        [&] {
            const json asked = chromium.request();
            EXPECT_EQ(asked["params"]["fn"], "fontSize");
            EXPECT_EQ(asked["params"]["args"]["value"], "20pt");
            chromium.reply(asked,
                           {{"frames", json::array({json{{"frameId", 0}, {"result", "20pt"}}})}});
            answerList(4);
        },
        [&] {
            auto document = rows()[1]->Document();
            document->putBodyFontSize("20pt");
            second = document->FramesLength();
        });
    EXPECT_EQ(second, 4);
}

TEST_F(BridgeHubTest, ATabLoadingOnlyInAFrameIsNotBusyOnceItsOwnDocumentIsComplete)
{
    FakeExtension chromium(m_folder.path());
    json loading = tab(1, 1, "page");
    loading["status"] = "loading";
    chromium.hello("chrome-extension://kmfijapfifagppihhoiacpfmojiefhje/", {window(1)}, loading);
    ASSERT_TRUE(until([&] { return rows().size() == 2; }));
    const auto answerList = [&](const char* readyState) {
        const json asked = chromium.request();
        EXPECT_EQ(asked["params"]["fn"], "list");
        chromium.reply(
            asked,
            {{"frames",
              json::array({json{
                  {"frameId", 0},
                  {"result", {{"title", "page"}, {"frames", 1}, {"readyState", readyState}}}}})}});
    };
    // The page itself still loading: busy, and the next look asks again.
    bool busy = false;
    whileExtension([&] { answerList("interactive"); }, [&] { busy = rows()[1]->busy(); });
    EXPECT_TRUE(busy);
    whileExtension([&] { answerList("complete"); }, [&] { busy = rows()[1]->busy(); });
    EXPECT_FALSE(busy);
    // Found complete, it is not asked again while the tab stays as it is.
    EXPECT_FALSE(rows()[1]->busy());
    EXPECT_EQ(rows()[1]->Document()->Title(), "page");
    EXPECT_EQ(m_hub->peers()[0]->roundTrips(), 2);
}

TEST_F(BridgeHubTest, APageThatCouldNotBeReadCostsTheListOneWaitNotOneEachRebuild)
{
    FakeExtension chromium(m_folder.path());
    chromium.hello("chrome-extension://kmfijapfifagppihhoiacpfmojiefhje/", {window(1)},
                   {tab(1, 1, "page")});
    ASSERT_TRUE(until([&] { return rows().size() == 2; }));
    const auto framesWaited = [&] {
        const auto before = m_clock.now();
        EXPECT_THROW(rows()[1]->Document()->FramesLength(), Error);
        return m_clock.now() - before;
    };

    // A hung page: the list waits for it as it waits over the DevTools protocol, once.
    const auto first = framesWaited();
    EXPECT_GE(first, std::chrono::milliseconds(1000));
    EXPECT_LT(first, std::chrono::milliseconds(2000));
    EXPECT_EQ(chromium.request()["params"]["timeoutMs"], 1000);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(framesWaited(), std::chrono::milliseconds(0));
    EXPECT_EQ(m_hub->peers()[0]->roundTrips(), 1);

    // The tab changed: asked at once. An error page answers with its failure, which is
    // kept as well, until a while has passed.
    chromium.send({{"type", "event"}, {"name", "tabs.onUpdated"}, {"tab", tab(1, 1, "page")}});
    ASSERT_TRUE(until([&] { return m_hub->peers()[0]->keptPage(1) == nullptr; }));
    const auto answerError = [&] {
        const json asked = chromium.request();
        chromium.reply(
            asked,
            {{"frames", json::array({json{{"frameId", 0},
                                          {"error", "Frame with ID 0 is showing error page"}}})}});
    };
    whileExtension(answerError, [&] { framesWaited(); });
    EXPECT_EQ(framesWaited(), std::chrono::milliseconds(0));
    EXPECT_EQ(m_hub->peers()[0]->roundTrips(), 2);
    m_clock.sleepUntil(m_clock.now() + std::chrono::seconds(10));
    whileExtension(answerError, [&] { framesWaited(); });
    EXPECT_EQ(m_hub->peers()[0]->roundTrips(), 3);
}

TEST_F(BridgeHubTest, TheListsReadingWaitsForTheOwnBrowserOnly)
{
    FakeExtension chromium(m_folder.path());
    ASSERT_TRUE(until([&] { return m_hub->peers().size() == 1; }));
    chromium.hello("chrome-extension://kmfijapfifagppihhoiacpfmojiefhje/", window(1),
                   tab(10, 1, "one"));
    ASSERT_TRUE(until([&] { return rows().size() == 2; }));

    const auto windows = m_objects.createShell()->windows();
    EXPECT_FALSE(windows->beginRefresh());
    EXPECT_EQ(m_own.reading->begun, 1);
    EXPECT_FALSE(windows->continueRefresh());
    EXPECT_TRUE(windows->continueRefresh());
    EXPECT_EQ(windows->items().size(), 2U);
    // The bridged browser was not asked anything for it.
    EXPECT_EQ(m_hub->peers()[0]->roundTrips(), 0);
}

TEST_F(BridgeHubTest, TheReportReadsEachListInOneCallAndAnItemsMissingValueAlone)
{
    FakeExtension chromium(m_folder.path());
    chromium.hello("chrome-extension://kmfijapfifagppihhoiacpfmojiefhje/", {window(1)},
                   {tab(1, 1, "page")});
    ASSERT_TRUE(until([&] { return rows().size() == 2; }));
    const auto answer = [&](const char* fn, const json& value) {
        const json asked = chromium.request();
        EXPECT_EQ(asked["params"]["fn"], fn);
        chromium.reply(asked, {{"frames", json::array({json{{"frameId", 0}, {"result", value}}})}});
    };
    const auto document = rows()[1]->Document();
    automation::ReportItems links;
    whileExtension(
        [&] {
            answer("links", {{"items",
                              {{{"html", "zero"}, {"href", "http://a/0"}},
                               {{"href", "http://a/1"}},
                               {{"html", 5}, {"href", "http://a/2"}},
                               "junk",
                               {{"html", "four"}, {"href", "http://a/4"}}}},
                             {"omitted", 3}});
        },
        [&] { links = document->reportLinks(10, 1 << 20); });
    EXPECT_EQ(links.length, 8);
    ASSERT_EQ(links.items.size(), 5u);
    EXPECT_EQ(links.items[0].first, "zero");
    EXPECT_EQ(links.items[1].first, std::nullopt);
    EXPECT_EQ(links.items[1].second, "http://a/1");
    EXPECT_EQ(links.items[2].first, std::nullopt);
    EXPECT_EQ(links.items[3].second, std::nullopt);
    // The items after them keep their numbers.
    EXPECT_EQ(links.items[4].first, "four");
    EXPECT_EQ(m_hub->peers()[0]->roundTrips(), 1);
    // Item by item, the document reads the same list it read whole, asking nothing more.
    EXPECT_EQ(document->linkHref(4), "http://a/4");
    EXPECT_THROW(document->linkInnerHTML(1), automation::Error);
    EXPECT_EQ(m_hub->peers()[0]->roundTrips(), 1);

    // A list without its count of the rest is no list.
    EXPECT_THROW(whileExtension(
                     [&] {
                         answer("images", {{"items", json::array()}});
                     },
                     [&] { document->reportImages(10, 1 << 20); }),
                 automation::Error);
}
