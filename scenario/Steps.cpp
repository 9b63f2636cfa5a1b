#include "scenario/Steps.h"

#include "app/MenuTree.h"
#include "scenario/Dump.h"

#include <algorithm>
#include <cctype>
#include <set>

namespace tabulon::scenario {

using nlohmann::json;

namespace {

const std::set<std::string>& kinds()
{
    static const std::set<std::string> all = {
        "menu", "select", "dblclick", "rightclick", "tick",  "desktop", "files",  "main",
        "form", "answer", "wait",     "restart",    "start", "dump",    "expect", "screenshot"};
    return all;
}

bool isCount(const json& value)
{
    return value.is_number_integer() && value.get<long long>() >= 0 &&
           value.get<long long>() <= 100000000LL;
}

bool isPair(const json& value)
{
    return value.is_array() && value.size() == 2 && value[0].is_number_integer() &&
           value[1].is_number_integer();
}

bool isTrue(const json& value)
{
    return value.is_boolean() && value.get<bool>();
}

// The one key of an object, or "" when it has none or several.
std::string onlyKey(const json& value)
{
    return value.is_object() && value.size() == 1 ? value.begin().key() : std::string();
}

// "mSite(2)", "menuApp(0)": an item of an indexed menu array by its name. (std::regex
// trips GCC 12's uninitialised-use warning in the sanitizer build.)
bool isIndexedItem(const std::string& name)
{
    for (const std::string array : {"mSite(", "menuApp("}) {
        if (name.size() > array.size() + 1 && name.starts_with(array) && name.back() == ')' &&
            std::all_of(name.begin() + static_cast<std::ptrdiff_t>(array.size()), name.end() - 1,
                        [](unsigned char c) { return std::isdigit(c) != 0; }))
            return true;
    }
    return false;
}

std::string checkMenu(const json& step)
{
    if (!step["menu"].is_string())
        return "\"menu\" must be an item's name";
    const std::string name = step["menu"].get<std::string>();
    const bool isArray = name == "mSite" || name == "menuApp";
    if (step.contains("index")) {
        if (!isArray)
            return "only mSite and menuApp take an \"index\"";
        if (!isCount(step["index"]))
            return "\"index\" must be a whole number from 0";
    } else if (isArray) {
        return name + " needs an \"index\"";
    }
    for (const auto& [key, value] : step.items()) {
        (void)value;
        if (key != "menu" && key != "index")
            return "unknown field \"" + key + "\" in a menu step";
    }
    if (!isMenuName(name) && !isIndexedItem(name))
        return "unknown menu item \"" + name + "\"";
    return {};
}

std::string checkDesktop(const json& change)
{
    const std::string key = onlyKey(change);
    if (key == "open")
        return change["open"].is_object() ? "" : "\"open\" takes a window";
    if (key == "close")
        return change["close"].is_string() ? "" : "\"close\" takes a window id";
    if (key == "set")
        return change["set"].is_object() && change["set"].value("id", json()).is_string()
                   ? ""
                   : "\"set\" takes a window's fields with its \"id\"";
    return "\"desktop\" takes one of \"open\", \"close\", \"set\"";
}

std::string checkMain(const json& change)
{
    const std::string key = onlyKey(change);
    if (key == "move" || key == "resize")
        return isPair(change[key]) ? "" : "\"" + key + "\" takes [x, y] in twips";
    if (key == "state") {
        const json& state = change["state"];
        return state == "normal" || state == "minimized" || state == "maximized"
                   ? ""
                   : "\"state\" is normal, minimized or maximized";
    }
    if (key == "hide" || key == "close")
        return isTrue(change[key]) ? "" : "\"" + key + "\" takes true";
    return "\"main\" takes one of \"move\", \"resize\", \"state\", \"hide\", \"close\"";
}

std::string checkForm(const json& step)
{
    if (!step["form"].is_string())
        return "\"form\" must be a window's name";
    const std::string name = step["form"].get<std::string>();
    bool known = false;
    for (const auto& [form, caption] : dialogForms())
        known = known || form == name;
    if (!known)
        return "unknown window \"" + name + "\"";
    if (step.size() != 2)
        return "a form step takes one action";
    for (const auto& [key, value] : step.items()) {
        if (key == "form")
            continue;
        if (key == "set") {
            if (!value.is_object())
                return "\"set\" takes text boxes and their texts";
            for (const auto& [box, text] : value.items()) {
                (void)box;
                if (!text.is_string())
                    return "\"set\" takes texts";
            }
        } else if (key == "click") {
            if (!value.is_string())
                return "\"click\" takes a button's name";
        } else if (key == "select") {
            if (!isCount(value))
                return "\"select\" takes a row number";
        } else if (key == "dblclick") {
            if (!isCount(value) && !value.is_string())
                return "\"dblclick\" takes a row number or a control's name";
        } else if (key == "check") {
            if (!value.is_number_integer() || value.get<int>() < 0 || value.get<int>() > 2)
                return "\"check\" takes 0, 1 or 2";
        } else if (key == "close") {
            if (!isTrue(value))
                return "\"close\" takes true";
        } else if (key == "resize") {
            if (!isPair(value))
                return "\"resize\" takes [width, height] in twips";
        } else {
            return "unknown form action \"" + key + "\"";
        }
    }
    return {};
}

std::string checkAnswer(const json& value)
{
    const std::string key = onlyKey(value);
    const json& answer = key.empty() ? value : value[key];
    const bool cancel = answer == "cancel";
    if (key == "msgbox")
        return answer == "OK" || answer == "Cancel" || answer == "Close"
                   ? ""
                   : "\"msgbox\" is OK, Cancel or Close";
    if (key == "color")
        return cancel || (answer.is_number_integer() && answer.get<long long>() >= 0 &&
                          answer.get<long long>() <= 0xFFFFFFFFLL)
                   ? ""
                   : "\"color\" is a colour number or \"cancel\"";
    if (key == "open" || key == "save")
        return answer.is_string() ? "" : "\"" + key + "\" is a file name or \"cancel\"";
    return "\"answer\" takes one of \"msgbox\", \"color\", \"open\", \"save\"";
}

std::string checkExpect(const json& value)
{
    if (!value.is_object())
        return "\"expect\" takes JSON pointers and their values";
    for (const auto& [pointer, expected] : value.items()) {
        (void)expected;
        try {
            json::json_pointer check(pointer);
        } catch (const json::exception&) {
            return "\"" + pointer + "\" is not a JSON pointer";
        }
    }
    return {};
}

} // namespace

std::string stepKind(const json& step)
{
    if (!step.is_object())
        return {};
    // A window's own actions share names with the main window's ("select", "dblclick").
    if (step.contains("form"))
        return "form";
    for (const auto& [key, value] : step.items()) {
        (void)value;
        if (kinds().count(key))
            return key;
    }
    return {};
}

bool worksWithoutProgram(const std::string& kind)
{
    return kind == "dump" || kind == "expect" || kind == "desktop" || kind == "files" ||
           kind == "wait" || kind == "start";
}

std::string checkStep(const json& step)
{
    if (!step.is_object())
        return "a step must be an object";
    const std::string kind = stepKind(step);
    if (kind.empty())
        return "unknown step " + step.dump(-1, ' ', false, json::error_handler_t::replace);
    if (kind == "menu")
        return checkMenu(step);
    if (kind == "form")
        return checkForm(step);
    if (step.size() != 1)
        return "a \"" + kind + "\" step takes no other fields";
    const json& value = step[kind];
    if (kind == "select" || kind == "dblclick" || kind == "rightclick" || kind == "tick" ||
        kind == "wait")
        return isCount(value) ? "" : "\"" + kind + "\" takes a whole number from 0";
    if (kind == "desktop")
        return checkDesktop(value);
    if (kind == "files") {
        if (!value.is_object())
            return "\"files\" takes file names and their contents";
        for (const auto& [name, content] : value.items()) {
            (void)name;
            if (!content.is_object())
                return "a file takes {\"lines\"}, {\"text\"}, {\"base64\"} or {\"delete\": true}";
        }
        return {};
    }
    if (kind == "main")
        return checkMain(value);
    if (kind == "answer")
        return checkAnswer(value);
    if (kind == "restart" || kind == "start")
        return isTrue(value) ? "" : "\"" + kind + "\" takes true";
    if (kind == "dump")
        return value.is_string() ? "" : "\"dump\" takes a label";
    if (kind == "expect")
        return checkExpect(value);
    if (kind == "screenshot") {
        if (!value.is_object() || !value.value("file", json()).is_string())
            return "\"screenshot\" takes {\"window\": name, \"file\": path} or {\"screen\": true, "
                   "\"file\": path}";
        if (value.contains("window")) {
            const json& window = value["window"];
            bool known = window == "Form1";
            for (const auto& [form, caption] : dialogForms())
                known = known || window == form;
            return known ? "" : "unknown window " + window.dump();
        }
        return isTrue(value.value("screen", json()))
                   ? ""
                   : "\"screenshot\" takes a window or the screen";
    }
    return {};
}

} // namespace tabulon::scenario
