#include "scenario/Dump.h"

#include "app/Form1.h"
#include "app/Program.h"
#include "automation/sim/SimControl.h"
#include "automation/sim/SimDialogs.h"
#include "automation/sim/SimJson.h"
#include "base/Cp932.h"
#include "scenario/FormDump.h"
#include "winlist/ListExport.h"

#include <QAction>
#include <QApplication>
#include <QByteArray>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>
#include <algorithm>
#include <fstream>
#include <sstream>

namespace tabulon::scenario {

using automation::sim::SimControl;
using nlohmann::json;

namespace {

std::string str(const QString& text)
{
    return text.toStdString();
}

std::string actionCaption(const QAction* action)
{
    const QVariant caption = action->property("tabulonCaption");
    return caption.isValid() ? str(caption.toString()) : str(action->text());
}

json menuItems(const QList<QAction*>& actions)
{
    json items = json::array();
    for (const QAction* action : actions) {
        json item = {{"name", str(action->objectName())}};
        if (action->isSeparator()) {
            item["caption"] = "-";
        } else if (action->menu()) {
            item["caption"] = actionCaption(action);
            item["items"] = menuItems(action->menu()->actions());
        } else {
            item["caption"] = actionCaption(action);
            if (action->isCheckable())
                item["checked"] = action->isChecked();
        }
        if (!action->isEnabled())
            item["enabled"] = false;
        items.push_back(std::move(item));
    }
    return items;
}

json listRows(const WebWindowList& list)
{
    json rows = json::array();
    for (const ListRow& row : list.rows())
        rows.push_back({{"text", row.text}, {"sub", row.sub}});
    return rows;
}

const char* stateOf(const Form1& form)
{
    const Qt::WindowStates states = form.windowState();
    if (states & Qt::WindowMinimized)
        return "minimized";
    if (states & (Qt::WindowMaximized | Qt::WindowFullScreen))
        return "maximized";
    return "normal";
}

json mainWindow(Form1& form, const SimControl& desktop)
{
    const TwipsRect twips = form.twipsGeometry();
    return {{"caption", str(form.windowTitle())},
            {"hwnd", form.hWnd()},
            {"visible", form.isVisible()},
            {"state", stateOf(form)},
            {"left", twips.Left},
            {"top", twips.Top},
            {"width", twips.Width},
            {"height", twips.Height},
            {"topMost", desktop.isTopMost("main")}};
}

json mainAsWindow(Form1& form)
{
    const QRect frame = form.frameGeometry();
    return {{"id", "main"},
            {"kind", "main"},
            {"hwnd", form.hWnd()},
            {"state", stateOf(form)},
            {"bounds", {frame.x(), frame.y(), frame.width(), frame.height()}},
            {"closed", false},
            {"caption", str(form.windowTitle())}};
}

json programState(Form1& form, Module1& module)
{
    json sites = json::array();
    for (int i = 0; i <= module.SiteLast && i < kSiteSlots; ++i) {
        const SiteEntry& entry = module.SiteList[static_cast<std::size_t>(i)];
        sites.push_back({{"Name", entry.Name}, {"URL", entry.URL}});
    }
    json apps = json::array();
    for (int i = 0; i <= module.AppLast && i < kAppSlots; ++i) {
        const AppEntry& entry = module.AppList[static_cast<std::size_t>(i)];
        apps.push_back({{"Name", entry.Name}, {"Path", entry.Path}});
    }
    return {{"SiteList", sites},           {"AppList", apps},
            {"TopMost", form.TopMost},     {"TopMostWanted", form.TopMostWanted},
            {"AutoMin", form.AutoMin},     {"AllRows", form.webWindows().allRows() ? 1 : 0},
            {"SiteLast", module.SiteLast}, {"AppLast", module.AppLast},
            {"WinDir", module.WinDir},     {"MyDocPath", module.MyDocPath},
            {"CurURL", module.CurURL}};
}

QWidget* findForm(const std::string& name)
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QString::fromStdString(name))
            return widget;
    }
    return nullptr;
}

json forms(Program* program, int twipsPerPixel)
{
    json result = json::object();
    for (const auto& [name, caption] : dialogForms()) {
        QWidget* form = program ? findForm(name) : nullptr;
        if (form)
            result[name] = dumpForm(*form, *program, twipsPerPixel);
        else
            result[name] = {{"loaded", false}, {"visible", false}, {"caption", caption}};
    }
    return result;
}

std::string readAll(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// The program's own JSON files and the exported lists are UTF-8, not CP932.
bool isUtf8File(const std::filesystem::path& path)
{
    const QString extension = QString::fromStdString(path.extension().string()).toLower();
    return extension == QStringLiteral(".json") || extension == QStringLiteral(".csv");
}

bool isBelow(const std::filesystem::path& path, const std::filesystem::path& folder)
{
    const auto relative = path.lexically_normal().lexically_relative(folder.lexically_normal());
    return !relative.empty() && *relative.begin() != "..";
}

} // namespace

const std::vector<std::pair<std::string, std::string>>& dialogForms()
{
    static const std::vector<std::pair<std::string, std::string>> forms = {
        {"Form2", "FSize"},
        {"Form3", "色の設定"},
        {"Form4", "アプリケーション／ファイルの登録・削除"},
        {"Form5", "登録サイトの編集"},
        {"Form6", "バージョン情報"},
        {"Form7", "詳細情報"}};
    return forms;
}

void dumpFiles(json& files, const std::filesystem::path& folder,
               const std::filesystem::path& workdir)
{
    std::error_code error;
    std::vector<std::filesystem::path> paths;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        if (it->is_regular_file(error))
            paths.push_back(it->path());
    }
    std::sort(paths.begin(), paths.end());
    for (const auto& path : paths) {
        const std::string bytes = readAll(path);
        const std::string name = path.lexically_relative(workdir).generic_string();
        const QByteArray raw(bytes.data(), static_cast<qsizetype>(bytes.size()));
        if (isUtf8File(path)) {
            // A byte-order mark stays, as U+FEFF.
            if (validUtf8(bytes) == bytes)
                files[name] = {{"text", bytes}};
            else
                files[name] = {{"base64", raw.toBase64().toStdString()}};
        } else if (isValidCp932(bytes)) {
            files[name] = {{"text", fromCp932(bytes)}};
        } else {
            files[name] = {{"base64", raw.toBase64().toStdString()}};
        }
    }
}

json takeDump(const DumpContext& context, const std::string& label)
{
    SimControl& desktop = context.desktop;
    Program* program = context.program;
    Form1* form = program ? &program->mainWindow() : nullptr;
    const int tpp = desktop.setup().screen.twipsPerPixelX;

    json dump = {{"label", label}, {"running", program != nullptr}};

    json webWin = json::array();
    if (form) {
        const WebWindowList& list = form->webWindows();
        dump["list"] = listRows(list);
        dump["selected"] = list.selected();
        dump["filter"] = str(form->filterText());
        dump["shown"] = form->shownRows();
        // Past the 20th entry only while every row is tracked.
        const int last = list.allRows() ? std::max(list.count(), +WebWindowList::kTracked)
                                        : WebWindowList::kTracked;
        for (int i = 0; i <= last; ++i) {
            const auto browser = list.WebWin(i);
            const std::string id = browser ? desktop.idOf(browser.get()) : std::string();
            webWin.push_back(id.empty() ? json(nullptr) : json(id));
        }
        const QString popup = form->takePopup();
        dump["popup"] = popup.isEmpty() ? json(nullptr) : json(str(popup));
        dump["main"] = mainWindow(*form, desktop);
        dump["menuTree"] = menuItems(form->menuBar()->actions());
        dump["state"] = programState(*form, program->module());
        dump["lists"] = {{"List1", form->List1}, {"List2", form->List2}};
    } else {
        dump["list"] = json::array();
        dump["selected"] = 0;
        dump["filter"] = "";
        dump["shown"] = json::array();
        for (int i = 0; i <= WebWindowList::kTracked; ++i)
            webWin.push_back(nullptr);
        dump["popup"] = nullptr;
        dump["main"] = nullptr;
        dump["menuTree"] = json::array();
        dump["state"] = nullptr;
        dump["lists"] = nullptr;
    }
    dump["webWin"] = webWin;

    json windows = json::array();
    for (const auto& window : desktop.allWindows())
        windows.push_back(automation::sim::windowToJson(*window));
    if (form)
        windows.push_back(mainAsWindow(*form));
    dump["windows"] = windows;
    dump["active"] = desktop.active().empty() ? json(nullptr) : json(desktop.active());
    dump["zorder"] = desktop.zorder();
    dump["forms"] = forms(program, tpp);

    json files = json::object();
    dumpFiles(files, context.workdir, context.workdir);
    if (!context.favoritesFolder.empty()) {
        const std::filesystem::path favorites =
            std::filesystem::absolute(context.favoritesFolder).lexically_normal();
        if (std::filesystem::is_directory(favorites) && !isBelow(favorites, context.workdir))
            dumpFiles(files, favorites, context.workdir);
    }
    dump["files"] = files;
    dump["calls"] = desktop.takeCalls();
    dump["dialogs"] = desktop.dialogs().takeShown();
    return dump;
}

} // namespace tabulon::scenario
