// A DevTools peer that answers every request with JSON made from the input: wrong
// types, missing members, absurd numbers, stray events, errors, silence, junk and a
// peer that goes away. The program drives it through the client and the browser,
// document and page-window objects as the list rebuild and the commands do. Nothing
// but automation::Error may come out of any of it.
//
// Input: read as it is needed, by the peer for each answer and by the driver for each
// step; a well-formed answer costs no input, so the input goes to the lies.

#include "FuzzCheck.h"
#include "automation/Error.h"
#include "automation/HtmlDocument.h"
#include "automation/PageWindow.h"
#include "automation/Shell.h"
#include "automation/chromium/ChromiumBrowser.h"
#include "automation/chromium/ChromiumClient.h"
#include "automation/chromium/ChromiumObjectFactory.h"
#include "automation/chromium/ChromiumProcess.h"
#include "automation/chromium/ChromiumShell.h"
#include "automation/chromium/ChromiumWindows.h"
#include "automation/chromium/Transport.h"
#include "automation/chromium/WindowHandle.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <exception>
#include <filesystem>
#include <fuzzer/FuzzedDataProvider.h>
#include <limits>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <unistd.h>
#include <vector>

using namespace automation;
using namespace automation::chromium;
using nlohmann::json;

namespace {

// Values a peer might give, picked by the input.
const char* const kTargetIds[] = {"A", "B", "C", "D"};
const char* const kUrls[] = {"http://a.example/",
                             "about:blank",
                             "https://b.example/x.html#top",
                             "devtools://devtools/inspector.html",
                             "file:///tmp/f.htm",
                             ""};
const char* const kTypes[] = {"page", "iframe", "service_worker", "browser", ""};
const char* const kStates[] = {"normal", "minimized", "maximized", "fullscreen", ""};
const char* const kEvents[] = {"Target.targetCreated",      "Target.targetInfoChanged",
                               "Target.targetDestroyed",    "Target.attachedToTarget",
                               "Target.detachedFromTarget", "Page.frameNavigated"};

template <std::size_t N> const char* pick(FuzzedDataProvider& in, const char* const (&pool)[N])
{
    return pool[in.ConsumeIntegralInRange<std::size_t>(0, N - 1)];
}

// One message as the transport hands it on: whole, or refused for its size with
// only its head.
struct Incoming
{
    std::string text;
    bool oversized = false;
};

// The peer's side: what it sends for each request, made from the input.
class Liar
{
public:
    explicit Liar(FuzzedDataProvider& in) : m_in(in) {}

    // The messages for one request (events first, then perhaps the answer); true
    // when the peer goes away instead.
    bool answer(const json& request, std::deque<Incoming>& out)
    {
        const int events =
            m_in.ConsumeIntegralInRange(0, 3) == 3 ? m_in.ConsumeIntegralInRange(1, 4) : 0;
        for (int i = 0; i < events; ++i)
            out.push_back({event().dump(-1, ' ', false, json::error_handler_t::ignore)});
        json message = {{"id", request.value("id", json())}};
        if (request.contains("sessionId"))
            message["sessionId"] = request["sessionId"];
        switch (m_in.ConsumeIntegralInRange(0, 16)) {
        case 11: // silence: the call runs out of time
            return false;
        case 12:
            message["error"] =
                m_in.ConsumeBool() ? json{{"code", -32000}, {"message", text()}} : any(2);
            break;
        case 13: // junk, or an answer to a request that was never made
            out.push_back({m_in.ConsumeBool()
                               ? m_in.ConsumeRandomLengthString(64)
                               : json{{"id", any(0)}, {"result", any(2)}}.dump(
                                     -1, ' ', false, json::error_handler_t::ignore)});
            return false;
        case 14:
            message["result"] = any(3);
            break;
        case 15:
            return true;
        case 16: // an answer too large to take: only its head arrives
            message["result"] = {{"padding", std::string(300, 'x')}};
            out.push_back({message.dump().substr(0, kRefusedHead), true});
            return false;
        default: {
            const std::string method = request.value("method", std::string());
            if (method.rfind("Page.get", 0) == 0 && m_in.ConsumeIntegralInRange(0, 31) == 31) {
                out.push_back({deepFrameTree(message)});
                return false;
            }
            message["result"] = result(method, request.value("params", json::object()));
            break;
        }
        }
        out.push_back({message.dump(-1, ' ', false, json::error_handler_t::ignore)});
        return false;
    }

private:
    // A member the program expects: usually of the right kind, sometimes anything,
    // sometimes missing.
    void put(json& object, const char* key, json value)
    {
        switch (m_in.ConsumeIntegralInRange(0, 11)) {
        case 10:
            object[key] = any(2);
            break;
        case 11:
            break;
        default:
            object[key] = std::move(value);
            break;
        }
    }

    json text()
    {
        if (m_in.ConsumeBool())
            return m_in.ConsumeRandomLengthString(40);
        return std::string(pick(m_in, kUrls));
    }

    json number()
    {
        switch (m_in.ConsumeIntegralInRange(0, 9)) {
        case 0:
            return m_in.ConsumeIntegralInRange<int>(-3, 3);
        case 1:
            return std::numeric_limits<std::int64_t>::max();
        case 2:
            return std::numeric_limits<std::int64_t>::min();
        case 3:
            return std::numeric_limits<std::uint64_t>::max();
        case 4:
            return 1e300;
        case 5:
            return -1e300;
        case 6:
            return 2.5;
        case 7:
            return 4294967296.0;
        case 8:
            return m_in.ConsumeIntegral<std::int32_t>();
        default:
            return m_in.ConsumeFloatingPoint<double>();
        }
    }

    json any(int depth)
    {
        switch (m_in.ConsumeIntegralInRange(0, depth > 0 ? 6 : 4)) {
        case 0:
            return nullptr;
        case 1:
            return m_in.ConsumeBool();
        case 2:
            return number();
        case 3:
        case 4:
            return text();
        case 5: {
            json array = json::array();
            for (int i = m_in.ConsumeIntegralInRange(0, 3); i > 0; --i)
                array.push_back(any(depth - 1));
            return array;
        }
        default: {
            json object = json::object();
            for (int i = m_in.ConsumeIntegralInRange(0, 3); i > 0; --i)
                object[m_in.ConsumeBool() ? std::string(pick(m_in, kTypes))
                                          : m_in.ConsumeRandomLengthString(8)] = any(depth - 1);
            return object;
        }
        }
    }

    json targetId() { return std::string(pick(m_in, kTargetIds)); }

    json targetInfo()
    {
        json info = json::object();
        put(info, "targetId", targetId());
        put(info, "type", std::string(pick(m_in, kTypes)));
        put(info, "url", text());
        put(info, "title", text());
        if (m_in.ConsumeBool())
            put(info, "parentId", targetId());
        return info;
    }

    json bounds()
    {
        json b = json::object();
        put(b, "left", m_in.ConsumeIntegralInRange(-2000, 4000));
        put(b, "top", m_in.ConsumeIntegralInRange(-2000, 4000));
        put(b, "width", m_in.ConsumeIntegralInRange(0, 4000));
        put(b, "height", m_in.ConsumeIntegralInRange(0, 4000));
        put(b, "windowState", std::string(pick(m_in, kStates)));
        return b;
    }

    json windowId()
    {
        return m_in.ConsumeBool() ? json(m_in.ConsumeIntegralInRange(1, 3)) : number();
    }

    json frame(int n)
    {
        json f = json::object();
        put(f, "id", m_in.ConsumeBool() ? targetId() : json("F" + std::to_string(n)));
        put(f, "url", text());
        put(f, "name", text());
        if (m_in.ConsumeBool())
            put(f, "urlFragment", text());
        return f;
    }

    json frameTree(bool resources)
    {
        int n = 0;
        return frameNode(resources, 3, n);
    }

    // An answer holding a frame tree nested as deep as a peer cares to, written as
    // text (the JSON library's own writer would recurse that deep).
    std::string deepFrameTree(const json& message)
    {
        const int depth = m_in.ConsumeIntegralInRange(1, 1 << m_in.ConsumeIntegralInRange(0, 17));
        std::string text = message.dump();
        text.pop_back();
        text += R"(,"result":{"frameTree":)";
        for (int i = 0; i < depth; ++i)
            text += R"({"frame":{"id":"F)" + std::to_string(i) +
                    R"(","url":"http://f/"},"childFrames":[)";
        text += R"({"frame":{"id":"deep"}})";
        for (int i = 0; i < depth; ++i)
            text += "]}";
        return text + "}}";
    }

    json frameNode(bool resources, int depth, int& n)
    {
        json node = json::object();
        put(node, "frame", frame(n++));
        if (resources) {
            json list = json::array();
            for (int i = m_in.ConsumeIntegralInRange(0, 3); i > 0; --i) {
                json r = json::object();
                put(r, "url", text());
                put(r, "contentSize", number());
                list.push_back(r);
            }
            put(node, "resources", list);
        }
        json children = json::array();
        for (int i = depth > 0 ? m_in.ConsumeIntegralInRange(0, 3) : 0; i > 0; --i)
            children.push_back(frameNode(resources, depth - 1, n));
        put(node, "childFrames", children);
        return node;
    }

    // What a page's script gives: the list's snapshot, a value, an object, or an
    // exception.
    json evaluation()
    {
        json r = json::object();
        if (m_in.ConsumeIntegralInRange(0, 7) == 7) {
            json details = json::object();
            put(details, "text", text());
            if (m_in.ConsumeBool())
                put(details, "exception", {{"description", text()}});
            r["exceptionDetails"] = details;
            return r;
        }
        json remote = json::object();
        if (m_in.ConsumeBool()) {
            json snapshot = json::object();
            put(snapshot, "ready", m_in.ConsumeBool() ? "complete" : "loading");
            put(snapshot, "frames", m_in.ConsumeIntegralInRange(0, 3));
            put(snapshot, "visible", m_in.ConsumeBool());
            put(snapshot, "title", text());
            put(remote, "value", snapshot);
        } else {
            put(remote, "value", any(2));
        }
        put(remote, "objectId", m_in.ConsumeBool() ? json("O1") : text());
        put(r, "result", remote);
        return r;
    }

    json result(const std::string& method, const json& params)
    {
        json r = json::object();
        if (method == "Target.getTargets") {
            json infos = json::array();
            for (int i = m_in.ConsumeIntegralInRange(0, 5); i > 0; --i)
                infos.push_back(targetInfo());
            put(r, "targetInfos", infos);
        } else if (method == "Target.attachToTarget") {
            put(r, "sessionId",
                m_in.ConsumeBool() ? json("S-" + params.value("targetId", std::string())) : text());
        } else if (method == "Target.createTarget") {
            put(r, "targetId", targetId());
        } else if (method == "Target.closeTarget") {
            put(r, "success", true);
        } else if (method == "Browser.getWindowForTarget") {
            put(r, "windowId", windowId());
            put(r, "bounds", bounds());
        } else if (method == "Browser.getWindowBounds") {
            put(r, "bounds", bounds());
        } else if (method == "Runtime.evaluate" || method == "Runtime.callFunctionOn") {
            r = evaluation();
        } else if (method == "Runtime.getProperties") {
            json properties = json::array();
            for (int i = m_in.ConsumeIntegralInRange(0, 4); i > 0; --i) {
                json p = json::object();
                put(p, "name", m_in.ConsumeBool() ? json(std::to_string(i - 1)) : text());
                put(p, "value", {{"objectId", "E" + std::to_string(i)}});
                properties.push_back(p);
            }
            put(r, "result", properties);
        } else if (method == "DOM.describeNode") {
            put(r, "node", {{"frameId", m_in.ConsumeBool() ? targetId() : json("F1")}});
        } else if (method == "Page.createIsolatedWorld") {
            put(r, "executionContextId",
                m_in.ConsumeBool() ? json(m_in.ConsumeIntegralInRange(1, 3)) : number());
        } else if (method == "Browser.getVersion") {
            put(r, "product", text());
        } else if (method == "Page.getFrameTree") {
            put(r, "frameTree", frameTree(false));
        } else if (method == "Page.getResourceTree") {
            put(r, "frameTree", frameTree(true));
        }
        return r;
    }

    json event()
    {
        const std::string method = pick(m_in, kEvents);
        json params = json::object();
        if (method == "Target.targetDestroyed") {
            put(params, "targetId", targetId());
        } else if (method == "Target.detachedFromTarget") {
            put(params, "sessionId", "S-" + std::string(pick(m_in, kTargetIds)));
        } else {
            put(params, "targetInfo", targetInfo());
            if (method == "Target.attachedToTarget")
                put(params, "sessionId", "S-" + std::string(pick(m_in, kTargetIds)));
        }
        json e = json::object();
        put(e, "method", method);
        put(e, "params", params);
        return e;
    }

    FuzzedDataProvider& m_in;
};

// The transport to the peer: a request is answered at once, or never (the deadline
// passes at once), so no step of the program waits on a clock.
class ScriptedPeer : public Transport
{
public:
    explicit ScriptedPeer(Liar& liar) : m_liar(liar) {}

    bool send(std::string_view message, Deadline) override
    {
        if (m_closed)
            return false;
        if (m_gone) {
            m_closed = true; // a write to a peer that has gone fails
            return false;
        }
        const json request = json::parse(message, nullptr, false);
        fuzzCheck(request.is_object() && request.contains("id") && request.contains("method"),
                  "the program sends well-formed requests");
        m_gone = m_liar.answer(request, m_incoming);
        return true;
    }

    ReceiveResult receive(std::string& message, Deadline) override
    {
        if (m_closed)
            return ReceiveResult::Closed;
        if (!m_incoming.empty()) {
            const bool oversized = m_incoming.front().oversized;
            message = std::move(m_incoming.front().text);
            m_incoming.pop_front();
            return oversized ? ReceiveResult::Oversized : ReceiveResult::Message;
        }
        if (m_gone) {
            m_closed = true;
            return ReceiveResult::Closed;
        }
        return ReceiveResult::Timeout;
    }

    bool closed() const override { return m_closed; }
    void close() override { m_closed = true; }

private:
    Liar& m_liar;
    std::deque<Incoming> m_incoming;
    bool m_gone = false;
    bool m_closed = false;
};

// The favourite files, kept in memory.
class MemoryFiles : public FileSystem
{
public:
    bool isFile(const std::string& path) override { return m_files.count(path) > 0; }
    std::vector<std::string> listFiles(const std::string&, const std::string&) override
    {
        return {};
    }
    tabulon::FileResult<std::string> readFile(const std::string& path) override
    {
        const auto it = m_files.find(path);
        if (it == m_files.end())
            return tabulon::FileError{tabulon::FileError::Reason::NotFound, "missing"};
        return it->second;
    }
    tabulon::FileResult<void> readLines(const std::string&,
                                        const std::function<bool(std::string_view)>&) override
    {
        return tabulon::FileError{tabulon::FileError::Reason::Failed, "not kept"};
    }
    tabulon::FileResult<void> replaceFile(const std::string& path, std::string_view bytes) override
    {
        m_files[path] = bytes;
        return {};
    }
    bool DeleteFile(const std::string& path) override { return m_files.erase(path) > 0; }

private:
    std::map<std::string, std::string> m_files;
};

// One step of the program: an automation failure is an outcome like any other;
// anything else escaping is a fault.
template <typename Step> void step(Step&& run)
{
    try {
        run();
    } catch (const automation::Error&) {
    } catch (const std::exception& e) {
        std::fprintf(stderr, "escaped: %s: %s\n", typeid(e).name(), e.what());
        std::abort();
    } catch (...) {
        std::fprintf(stderr, "escaped: an exception of no standard type\n");
        std::abort();
    }
}

// The folder the favourite shortcuts are made in (their files stay in memory), made
// once and removed at exit. A plain array: it outlives every destructor run at exit.
std::string favoritesFolder()
{
    static char folder[4096] = "";
    if (folder[0] == '\0') {
        const std::string pattern =
            std::filesystem::temp_directory_path().string() + "/tabulon-fuzz-favorites-XXXXXX";
        if (pattern.size() >= sizeof folder)
            std::abort();
        pattern.copy(folder, pattern.size());
        if (!::mkdtemp(folder))
            std::abort();
        std::atexit([] { ::rmdir(folder); });
    }
    return folder;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    Liar liar(in);

    ChromiumSettings settings;
    // Never a browser of its own: a lost connection stays lost.
    settings.launch.executable = "/nonexistent/chromium";
    settings.pageTimeout = std::chrono::milliseconds(0);
    settings.browserTimeout = std::chrono::milliseconds(0);
    settings.readReuse = in.ConsumeBool() ? std::chrono::hours(1) : std::chrono::milliseconds(0);
    auto client = std::make_shared<ChromiumClient>(settings);
    MemoryFiles files;
    ChromiumShell shell(client, nullptr);
    ChromiumWindows windows(client, favoritesFolder(), files);
    ChromiumObjectFactory factory(client, nullptr, [] { return nullptr; });
    step([&] { client->connectTransport(std::make_unique<ScriptedPeer>(liar)); });

    std::vector<std::shared_ptr<Browser>> browsers;
    const auto browser = [&]() -> std::shared_ptr<Browser> {
        if (browsers.empty())
            return nullptr;
        return browsers[in.ConsumeIntegralInRange<std::size_t>(0, browsers.size() - 1)];
    };
    const auto index = [&] { return in.ConsumeIntegralInRange(-1, 3); };
    const auto place = [&] {
        switch (in.ConsumeIntegralInRange(0, 3)) {
        case 0:
            return std::nan("");
        case 1:
            return 1e300;
        default:
            return in.ConsumeFloatingPointInRange(-5000.0, 5000.0);
        }
    };

    for (int steps = 0; steps < 48 && in.remaining_bytes() > 0; ++steps) {
        const auto b = browser();
        switch (in.ConsumeIntegralInRange(0, 12)) {
        case 0: // the list rebuild
            step([&] { browsers = shell.windows()->items(); });
            for (const auto& w : browsers) {
                step([&] { (void)w->busy(); });
                step([&] { (void)w->LocationURL(); });
                step([&] { (void)w->LocationName(); });
                step([&] { (void)w->hWnd(); });
                step([&] { (void)w->Height(); });
                step([&] { (void)w->Width(); });
                step([&] {
                    if (const auto d = w->Document())
                        (void)d->FramesLength();
                });
            }
            break;
        case 1: // the page report
            if (b)
                step([&] {
                    const auto d = b->Document();
                    step([&] { (void)d->Title(); });
                    step([&] { (void)d->referrer(); });
                    step([&] { (void)d->cookie(); });
                    step([&] { (void)d->lastModified(); });
                    for (auto c : {DocumentCollection::scripts, DocumentCollection::styleSheets,
                                   DocumentCollection::Forms, DocumentCollection::anchors,
                                   DocumentCollection::images, DocumentCollection::links})
                        step([&] { (void)d->collectionLength(c); });
                    const int i = index();
                    step([&] { (void)d->imageHref(i); });
                    step([&] { (void)d->imageFileSize(i); });
                    step([&] { (void)d->linkInnerHTML(i); });
                    step([&] { (void)d->linkHref(i); });
                });
            break;
        case 2: // the frames
            if (b)
                step([&] {
                    const auto d = b->Document();
                    const int i = index();
                    step([&] { (void)d->FramesItem(i)->Location(); });
                    step([&] { (void)d->parentwindow()->Location(); });
                    step([&] { (void)d->parentwindow()->historyLength(); });
                    step([&] { (void)d->FramesItem(i)->Parent()->Document(); });
                });
            break;
        case 3: // tiling and sizing from the page
            if (b)
                step([&] {
                    const auto w = b->Document()->parentwindow();
                    step([&] { w->moveto(place(), place()); });
                    step([&] { w->resizeto(place(), place()); });
                });
            break;
        case 4: // the window's features
            if (b) {
                const auto p = static_cast<BrowserProperty>(in.ConsumeIntegralInRange(0, 6));
                step([&] { b->put(p, in.ConsumeBool()); });
                step([&] { (void)b->get(p); });
            }
            break;
        case 5:
            if (b)
                step([&] { b->Navigate(in.ConsumeRandomLengthString(40)); });
            break;
        case 6:
            if (b)
                step([&] { b->Quit(); });
            break;
        case 7: // minimise and restore, as the window manager does for browser windows
            if (b)
                step([&] {
                    const Hwnd h = b->hWnd();
                    step([&] { (void)windows.isZoomed(h); });
                    step([&] { (void)windows.isIconic(h); });
                    step([&] { windows.minimize(h); });
                    step([&] { windows.restore(h); });
                });
            break;
        case 8: // bring to front by caption, then the favourite's keys
            step([&] { (void)windows.activateByTitle(in.ConsumeRandomLengthString(20)); });
            step([&] { (void)windows.sendKeys("%A{ENTER}{TAB}fav{ENTER}"); });
            break;
        case 9: // colours and font size
            if (b)
                step([&] {
                    const auto d = b->Document();
                    step([&] {
                        d->putColor(DocumentColor::bgcolor, in.ConsumeIntegral<std::int32_t>());
                    });
                    step([&] { (void)d->bodyBackground(); });
                    step([&] { d->putBodyBackground(""); });
                    step([&] { (void)d->bodyFontSize(); });
                    step([&] { d->putBodyFontSize("12pt"); });
                });
            break;
        case 10:
            step([&] { client->takeEvents(); });
            break;
        case 11: // a new window, on the browser that is there (none is started)
            if (client->connected())
                step([&] { browsers.push_back(factory.createBrowser()); });
            break;
        case 12: // the browser goes and another comes
            step([&] { client->connectTransport(std::make_unique<ScriptedPeer>(liar)); });
            break;
        }
    }
    return 0;
}
