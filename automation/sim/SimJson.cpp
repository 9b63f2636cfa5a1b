#include "automation/sim/SimJson.h"

#include "automation/HtmlDocument.h"
#include "automation/WindowStateName.h"
#include "automation/sim/SimControl.h"

#include <set>

namespace automation::sim {

using nlohmann::json;

namespace {

const std::set<std::string>& browserMembers()
{
    static const std::set<std::string> members = {
        "busy",     "LocationURL", "LocationName", "hWnd",       "Height",      "Width",
        "Document", "Quit",        "Navigate",     "FullScreen", "TheaterMode", "AddressBar",
        "Toolbar",  "MenuBar",     "Resizable",    "Visible",    "browserName"};
    return members;
}

const std::set<std::string>& documentMembers()
{
    static const std::set<std::string> members = {
        "Title",   "parentwindow", "Frames",     "body",       "referrer", "cookie", "lastModified",
        "scripts", "styleSheets",  "Forms",      "anchors",    "images",   "links",  "history",
        "fgcolor", "linkcolor",    "alinkcolor", "vlinkcolor", "bgcolor"};
    return members;
}

[[noreturn]] void fail(const std::string& what)
{
    throw ScenarioError(what);
}

std::string text(const json& value, const char* field)
{
    if (!value.is_string())
        fail(std::string("\"") + field + "\" must be a string");
    return value.get<std::string>();
}

bool flag(const json& value, const char* field)
{
    if (!value.is_boolean())
        fail(std::string("\"") + field + "\" must be true or false");
    return value.get<bool>();
}

long long integer(const json& value, const char* field)
{
    if (!value.is_number_integer())
        fail(std::string("\"") + field + "\" must be a whole number");
    return value.get<long long>();
}

int smallInteger(const json& value, const char* field)
{
    const long long n = integer(value, field);
    if (n < -1000000000LL || n > 1000000000LL)
        fail(std::string("\"") + field + "\" is out of range");
    return static_cast<int>(n);
}

std::set<std::string> names(const json& value, const std::set<std::string>& known,
                            const char* field)
{
    if (!value.is_array())
        fail(std::string("\"") + field + "\" must be a list of member names");
    std::set<std::string> result;
    for (const json& item : value) {
        const std::string name = text(item, field);
        if (!known.count(name))
            fail(std::string("unknown member \"") + name + "\" in \"" + field + "\"");
        result.insert(name);
    }
    return result;
}

Rect rect(const json& value)
{
    if (!value.is_array() || value.size() != 4)
        fail("\"bounds\" must be [left, top, width, height]");
    return Rect{smallInteger(value[0], "bounds"), smallInteger(value[1], "bounds"),
                smallInteger(value[2], "bounds"), smallInteger(value[3], "bounds")};
}

std::optional<BrowserProperty> propertyByName(const std::string& name)
{
    for (BrowserProperty p :
         {BrowserProperty::FullScreen, BrowserProperty::TheaterMode, BrowserProperty::AddressBar,
          BrowserProperty::Toolbar, BrowserProperty::MenuBar, BrowserProperty::Resizable,
          BrowserProperty::Visible}) {
        if (memberName(p) == name)
            return p;
    }
    return std::nullopt;
}

std::shared_ptr<SimDocumentData> documentFromJson(const json& value)
{
    if (value.is_null())
        return nullptr;
    if (!value.is_object())
        fail("\"document\" must be an object or null");
    auto doc = std::make_shared<SimDocumentData>();
    for (const auto& [key, item] : value.items()) {
        if (key == "frames") {
            if (!item.is_array())
                fail("\"frames\" must be a list");
            for (const json& frame : item) {
                SimFrame f;
                for (const auto& [fk, fv] : frame.items()) {
                    if (fk == "url")
                        f.url = text(fv, "url");
                    else if (fk == "fail")
                        f.fail = flag(fv, "fail");
                    else
                        fail("unknown frame field \"" + fk + "\"");
                }
                doc->frames.push_back(std::move(f));
            }
        } else if (key == "history") {
            doc->history = smallInteger(item, "history");
        } else if (key == "referrer") {
            doc->referrer = text(item, "referrer");
        } else if (key == "cookie") {
            doc->cookie = text(item, "cookie");
        } else if (key == "lastModified") {
            doc->lastModified = text(item, "lastModified");
        } else if (key == "scripts") {
            doc->scripts = smallInteger(item, "scripts");
        } else if (key == "styleSheets") {
            doc->styleSheets = smallInteger(item, "styleSheets");
        } else if (key == "forms") {
            doc->forms = smallInteger(item, "forms");
        } else if (key == "anchors") {
            doc->anchors = smallInteger(item, "anchors");
        } else if (key == "images") {
            if (!item.is_array())
                fail("\"images\" must be a list");
            for (const json& image : item) {
                SimImage i;
                for (const auto& [ik, iv] : image.items()) {
                    if (ik == "href")
                        i.href = text(iv, "href");
                    else if (ik == "filesize")
                        i.filesize = iv.is_string() ? iv.get<std::string>() : iv.dump();
                    else
                        fail("unknown image field \"" + ik + "\"");
                }
                doc->images.push_back(std::move(i));
            }
        } else if (key == "links") {
            if (!item.is_array())
                fail("\"links\" must be a list");
            for (const json& link : item) {
                SimLink l;
                for (const auto& [lk, lv] : link.items()) {
                    if (lk == "innerHTML")
                        l.innerHTML = text(lv, "innerHTML");
                    else if (lk == "href")
                        l.href = text(lv, "href");
                    else
                        fail("unknown link field \"" + lk + "\"");
                }
                doc->links.push_back(std::move(l));
            }
        } else if (key == "body") {
            if (item.is_null()) {
                doc->body.reset();
            } else if (item.is_object()) {
                SimBody body;
                for (const auto& [bk, bv] : item.items()) {
                    if (bk == "background")
                        body.background = text(bv, "background");
                    else if (bk == "fontSize")
                        body.fontSize = text(bv, "fontSize");
                    else
                        fail("unknown body field \"" + bk + "\"");
                }
                doc->body = body;
            } else {
                fail("\"body\" must be an object or null");
            }
        } else if (key == "fail") {
            doc->fail = names(item, documentMembers(), "fail");
        } else {
            fail("unknown document field \"" + key + "\"");
        }
    }
    return doc;
}

// Sets one field of a window; false when the field is not a window field.
bool setField(SimWindow& window, const std::string& key, const json& item,
              std::optional<WindowState>& state)
{
    if (key == "url") {
        window.url = text(item, "url");
    } else if (key == "title") {
        window.title = text(item, "title");
    } else if (key == "name") {
        window.name = text(item, "name");
    } else if (key == "browser") {
        window.browser = text(item, "browser");
    } else if (key == "busy") {
        window.busy = flag(item, "busy");
    } else if (key == "state") {
        state = stateFromName(text(item, "state"));
    } else if (key == "bounds") {
        window.bounds = rect(item);
    } else if (key == "caption") {
        window.caption = text(item, "caption");
    } else if (key == "document") {
        window.document = documentFromJson(item);
    } else if (key == "props") {
        if (!item.is_object())
            fail("\"props\" must be an object");
        for (const auto& [pk, pv] : item.items()) {
            const auto property = propertyByName(pk);
            if (!property)
                fail("unknown property \"" + pk + "\"");
            window.props[*property] = flag(pv, "props");
        }
    } else if (key == "fail") {
        window.fail = names(item, browserMembers(), "fail");
    } else if (key == "favorite") {
        if (!item.is_object())
            fail("\"favorite\" must be an object");
        window.favorite = SimFavorite{};
        for (const auto& [fk, fv] : item.items()) {
            if (fk == "delayMs")
                window.favorite.delayMs = integer(fv, "delayMs");
            else if (fk == "never")
                window.favorite.never = flag(fv, "never");
            else
                fail("unknown favorite field \"" + fk + "\"");
        }
    } else {
        return false;
    }
    return true;
}

} // namespace

WindowState stateFromName(const std::string& name)
{
    if (const auto state = windowStateFromName(name))
        return *state;
    fail("unknown window state \"" + name + "\"");
}

WindowSpec windowFromJson(const json& value)
{
    if (!value.is_object())
        fail("a window must be an object");
    WindowSpec parsed;
    SimWindow& window = parsed.window;
    window.props = defaultProps();
    if (!value.contains("id"))
        fail("a window needs an \"id\"");
    window.id = text(value["id"], "id");
    if (window.id.empty() || window.id == "main")
        fail(R"(a window's "id" must not be empty or "main")");
    if (value.contains("kind")) {
        const std::string kind = text(value["kind"], "kind");
        if (kind == "browser")
            window.kind = SimKind::Browser;
        else if (kind == "folder")
            window.kind = SimKind::Folder;
        else if (kind == "other")
            window.kind = SimKind::Other;
        else
            fail("unknown window kind \"" + kind + "\"");
    }
    window.caption = window.id;
    if (window.kind == SimKind::Browser)
        window.document = std::make_shared<SimDocumentData>();

    std::optional<WindowState> state;
    for (const auto& [key, item] : value.items()) {
        if (key == "id" || key == "kind")
            continue;
        if (key == "hwnd") {
            const long long hwnd = integer(item, "hwnd");
            if (hwnd < 0)
                fail("\"hwnd\" must not be negative");
            window.hwnd = hwnd;
            parsed.hasOwnHandle = true;
        } else if (!setField(window, key, item, state)) {
            fail("unknown window field \"" + key + "\"");
        }
    }
    if (state) {
        window.state = *state;
        window.stateBeforeMinimize = WindowState::Normal;
    }
    return parsed;
}

void applyWindowChange(SimControl& desktop, SimWindow& window, const json& change)
{
    std::optional<WindowState> state;
    for (const auto& [key, item] : change.items()) {
        if (key == "id")
            continue;
        if (key == "hwnd")
            window.hwnd = integer(item, "hwnd");
        else if (key == "kind")
            fail("a window's kind cannot change");
        else if (!setField(window, key, item, state))
            fail("unknown window field \"" + key + "\"");
    }
    desktop.windowChanged(window, state);
}

json windowToJson(const SimWindow& window)
{
    json result = {
        {"id", window.id},
        {"kind", window.kind == SimKind::Browser  ? "browser"
                 : window.kind == SimKind::Folder ? "folder"
                                                  : "other"},
        {"hwnd", window.hwnd},
        {"state", windowStateName(window.state)},
        {"bounds",
         {window.bounds.left, window.bounds.top, window.bounds.width, window.bounds.height}},
        {"closed", window.closed},
        {"caption", window.currentCaption()},
        {"url", window.url},
        {"title", window.title}};
    if (window.kind != SimKind::Other) {
        json props = json::object();
        for (const auto& [property, value] : window.props)
            props[std::string(memberName(property))] = value;
        result["props"] = props;
    }
    if (window.document) {
        const SimDocumentData& doc = *window.document;
        json document = json::object();
        for (DocumentColor color :
             {DocumentColor::fgcolor, DocumentColor::linkcolor, DocumentColor::alinkcolor,
              DocumentColor::vlinkcolor, DocumentColor::bgcolor}) {
            const auto& written = doc.colors[static_cast<std::size_t>(color)];
            document[std::string(memberName(color))] = written ? json(*written) : json(nullptr);
        }
        document["bodyBackground"] = doc.body ? json(doc.body->background) : json(nullptr);
        document["bodyFontSize"] = doc.body ? json(doc.body->fontSize) : json(nullptr);
        result["document"] = document;
    } else {
        result["document"] = nullptr;
    }
    return result;
}

} // namespace automation::sim
