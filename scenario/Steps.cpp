#include "scenario/Steps.h"

#include "app/MenuTree.h"
#include "scenario/Dump.h"
#include "scenario/Runner.h"

#include <algorithm>
#include <cctype>

namespace tabulon::scenario {

using nlohmann::json;

namespace {

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
    for (const std::string array : {"mSite(", "menuApp(", "mLayout("}) {
        if (name.size() > array.size() + 1 && name.starts_with(array) && name.back() == ')' &&
            std::all_of(name.begin() + static_cast<std::ptrdiff_t>(array.size()), name.end() - 1,
                        [](unsigned char c) { return std::isdigit(c) != 0; }))
            return true;
    }
    return false;
}

std::string checkMenu(const std::string&, const json& step)
{
    if (!step["menu"].is_string())
        return "\"menu\" must be an item's name";
    const std::string name = step["menu"].get<std::string>();
    const bool isArray = name == "mSite" || name == "menuApp" || name == "mLayout";
    if (step.contains("index")) {
        if (!isArray)
            return "only mSite, menuApp and mLayout take an \"index\"";
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

std::string checkDesktop(const std::string&, const json& step)
{
    const json& change = step["desktop"];
    const std::string key = onlyKey(change);
    if (key == "open")
        return change["open"].is_object() ? "" : "\"open\" takes a window";
    if (key == "close")
        return change["close"].is_string() ? "" : "\"close\" takes a window id";
    if (key == "set")
        return change["set"].is_object() && change["set"].value("id", json()).is_string()
                   ? ""
                   : R"("set" takes a window's fields with its "id")";
    return R"("desktop" takes one of "open", "close", "set")";
}

std::string checkMain(const std::string&, const json& step)
{
    const json& change = step["main"];
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
    return R"("main" takes one of "move", "resize", "state", "hide", "close")";
}

std::string checkForm(const std::string&, const json& step)
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
        const FormAction* action = findFormAction(key);
        if (!action)
            return "unknown form action \"" + key + "\"";
        if (std::string problem = action->check(value); !problem.empty())
            return problem;
    }
    return {};
}

std::string checkAnswer(const std::string&, const json& step)
{
    const json& value = step["answer"];
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
                   : R"("color" is a colour number or "cancel")";
    if (key == "open" || key == "save")
        return answer.is_string() ? "" : "\"" + key + R"(" is a file name or "cancel")";
    if (key == "input")
        return answer.is_string() ? "" : R"("input" is a text or "cancel")";
    return R"("answer" takes one of "msgbox", "color", "open", "save", "input")";
}

std::string checkExpect(const std::string&, const json& step)
{
    const json& value = step["expect"];
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

// Steps whose value is a count: rows, timer periods, milliseconds.
std::string checkCount(const std::string& kind, const json& step)
{
    return isCount(step[kind]) ? "" : "\"" + kind + "\" takes a whole number from 0";
}

std::string checkTrue(const std::string& kind, const json& step)
{
    return isTrue(step[kind]) ? "" : "\"" + kind + "\" takes true";
}

std::string checkFiles(const std::string&, const json& step)
{
    const json& value = step["files"];
    if (!value.is_object())
        return "\"files\" takes file names and their contents";
    for (const auto& [name, content] : value.items()) {
        (void)name;
        if (!content.is_object())
            return R"(a file takes {"lines"}, {"text"}, {"base64"} or {"delete": true})";
    }
    return {};
}

std::string checkFilter(const std::string&, const json& step)
{
    return step["filter"].is_string() ? "" : R"("filter" takes the text to type ("" empties it))";
}

std::string checkDump(const std::string&, const json& step)
{
    return step["dump"].is_string() ? "" : "\"dump\" takes a label";
}

std::string checkScreenshot(const std::string&, const json& step)
{
    const json& value = step["screenshot"];
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
    return isTrue(value.value("screen", json())) ? ""
                                                 : "\"screenshot\" takes a window or the screen";
}

// ---- a form step's actions ----

std::string checkSet(const json& value)
{
    if (!value.is_object())
        return "\"set\" takes text boxes and their texts";
    for (const auto& [box, text] : value.items()) {
        (void)box;
        if (!text.is_string())
            return "\"set\" takes texts";
    }
    return {};
}

std::string checkClick(const json& value)
{
    return value.is_string() ? "" : "\"click\" takes a button's name";
}

std::string checkSelectRow(const json& value)
{
    return isCount(value) ? "" : "\"select\" takes a row number";
}

std::string checkDblclickTarget(const json& value)
{
    return isCount(value) || value.is_string()
               ? ""
               : "\"dblclick\" takes a row number or a control's name";
}

std::string checkCheckState(const json& value)
{
    return value.is_number_integer() && value.get<int>() >= 0 && value.get<int>() <= 2
               ? ""
               : "\"check\" takes 0, 1 or 2";
}

std::string checkClose(const json& value)
{
    return isTrue(value) ? "" : "\"close\" takes true";
}

std::string checkResize(const json& value)
{
    return isPair(value) ? "" : "\"resize\" takes [width, height] in twips";
}

} // namespace

const std::vector<StepKind>& stepKinds()
{
    // One row a step: its name, its check, what it does, whether it has fields besides
    // its name, whether it works after the program has ended.
    // clang-format off
    static const std::vector<StepKind> all = {
        {"menu",        checkMenu,       &Runner::menuStep,         true,  false},
        {"select",      checkCount,      &Runner::selectStep,       false, false},
        {"dblclick",    checkCount,      &Runner::dblclickStep,     false, false},
        {"rightclick",  checkCount,      &Runner::rightclickStep,   false, false},
        {"tick",        checkCount,      &Runner::tickStep,         false, false},
        {"filter",      checkFilter,     &Runner::filterStep,       false, false},
        {"desktop",     checkDesktop,    &Runner::desktopStep,      false, true},
        {"files",       checkFiles,      &Runner::filesStep,        false, true},
        {"main",        checkMain,       &Runner::mainStep,         false, false},
        {"form",        checkForm,       &Runner::formStep,         true,  false},
        {"answer",      checkAnswer,     &Runner::answerStep,       false, false},
        {"wait",        checkCount,      &Runner::waitStep,         false, true},
        {"restart",     checkTrue,       &Runner::restartStep,      false, false},
        {"start",       checkTrue,       &Runner::startStep,        false, true},
        {"dump",        checkDump,       &Runner::dumpStep,         false, true},
        {"expect",      checkExpect,     &Runner::expectStep,       false, true},
        {"screenshot",  checkScreenshot, &Runner::screenshotStep,   false, false},
    };
    // clang-format on
    return all;
}

const StepKind* findStepKind(const json& step)
{
    if (!step.is_object())
        return nullptr;
    const auto named = [](const std::string& key) -> const StepKind* {
        const auto& all = stepKinds();
        const auto it = std::find_if(all.begin(), all.end(),
                                     [&](const StepKind& kind) { return kind.name == key; });
        return it == all.end() ? nullptr : &*it;
    };
    // A window's own actions share names with the main window's ("select", "dblclick").
    if (step.contains("form"))
        return named("form");
    for (const auto& [key, value] : step.items()) {
        (void)value;
        if (const StepKind* kind = named(key))
            return kind;
    }
    return nullptr;
}

std::string checkStep(const json& step)
{
    if (!step.is_object())
        return "a step must be an object";
    const StepKind* kind = findStepKind(step);
    if (!kind)
        return "unknown step " + step.dump(-1, ' ', false, json::error_handler_t::replace);
    if (!kind->moreFields && step.size() != 1)
        return "a \"" + kind->name + "\" step takes no other fields";
    return kind->check(kind->name, step);
}

const std::vector<FormAction>& formActions()
{
    static const std::vector<FormAction> all = {
        {"set", checkSet, &Runner::formSet},
        {"click", checkClick, &Runner::formClick},
        {"select", checkSelectRow, &Runner::formSelect},
        {"dblclick", checkDblclickTarget, &Runner::formDblclick},
        {"check", checkCheckState, &Runner::formCheck},
        {"close", checkClose, &Runner::formClose},
        {"resize", checkResize, &Runner::formResize},
    };
    return all;
}

const FormAction* findFormAction(std::string_view key)
{
    const auto& all = formActions();
    const auto it = std::find_if(all.begin(), all.end(),
                                 [&](const FormAction& action) { return action.name == key; });
    return it == all.end() ? nullptr : &*it;
}

} // namespace tabulon::scenario
