#include "scenario/Runner.h"

#include "base/Cp932.h"
#include "app/Form1.h"
#include "app/MenuTree.h"
#include "app/Program.h"
#include "automation/sim/SimDesktop.h"
#include "automation/sim/SimJson.h"
#include "scenario/Dump.h"
#include "scenario/Steps.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTest>
#include <QTextEdit>
#include <QTreeWidget>
#include <fstream>
#include <iostream>
#include <random>
#include <unistd.h>

namespace tabulon::scenario {

using automation::sim::SimDesktop;
using nlohmann::json;

namespace {

// The scenario asks for something that cannot be: the run stops at once.
class Unusable : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

bool isForeignPath(const std::string& path)
{
    return (path.size() >= 2 && path[1] == ':') || path.rfind("\\\\", 0) == 0;
}

std::filesystem::path makeTempFolder()
{
    std::string pattern =
        (std::filesystem::temp_directory_path() / "tabulon-scenario-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw Unusable("cannot make a temporary work folder");
    return pattern;
}

void writeFileSpec(const std::filesystem::path& path, const json& content)
{
    if (!content.is_object())
        throw Unusable(
            "a file must be given as {\"lines\"}, {\"text\"}, {\"base64\"} or {\"delete\": true}");
    std::error_code error;
    if (content.contains("delete")) {
        std::filesystem::remove(path, error);
        return;
    }
    std::string bytes;
    if (content.contains("lines")) {
        if (!content["lines"].is_array())
            throw Unusable("\"lines\" must be a list of strings");
        for (const json& line : content["lines"]) {
            if (!line.is_string())
                throw Unusable("\"lines\" must be a list of strings");
            bytes += toCp932(line.get<std::string>()) + "\r\n";
        }
    } else if (content.contains("text")) {
        if (!content["text"].is_string())
            throw Unusable("\"text\" must be a string");
        bytes = toCp932(content["text"].get<std::string>());
    } else if (content.contains("base64")) {
        if (!content["base64"].is_string())
            throw Unusable("\"base64\" must be a string");
        const QByteArray raw =
            QByteArray::fromBase64(QByteArray::fromStdString(content["base64"].get<std::string>()));
        bytes.assign(raw.constData(), static_cast<std::size_t>(raw.size()));
    } else {
        throw Unusable("a file needs \"lines\", \"text\", \"base64\" or \"delete\"");
    }
    std::filesystem::create_directories(path.parent_path(), error);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw Unusable("cannot write " + path.string());
}

class Runner
{
public:
    Runner(const json& scenario, std::optional<std::filesystem::path> workdir, std::ostream& out,
           std::ostream& err)
        : m_scenario(scenario), m_out(out), m_err(err)
    {
        if (workdir) {
            std::filesystem::create_directories(*workdir);
            m_workdir = std::filesystem::absolute(*workdir).lexically_normal();
        } else {
            m_workdir = makeTempFolder();
            m_ownWorkdir = true;
        }
        m_previousDir = std::filesystem::current_path();
        std::filesystem::current_path(m_workdir);
    }

    ~Runner()
    {
        m_program.reset();
        QApplication::processEvents();
        std::error_code error;
        std::filesystem::current_path(m_previousDir, error);
        if (m_ownWorkdir)
            std::filesystem::remove_all(m_workdir, error);
    }

    int run()
    {
        const json steps = m_scenario.value("steps", json::array());
        try {
            if (!m_scenario.is_object())
                throw Unusable("a scenario is a JSON object with \"setup\" and \"steps\"");
            for (const auto& [key, value] : m_scenario.items()) {
                (void)value;
                if (key != "setup" && key != "steps")
                    throw Unusable("unknown field \"" + key + "\"");
            }
            if (!steps.is_array())
                throw Unusable("\"steps\" must be a list");
            for (std::size_t i = 0; i < steps.size(); ++i) {
                const std::string problem = checkStep(steps[i]);
                if (!problem.empty())
                    throw Unusable("step " + std::to_string(i + 1) + ": " + problem);
            }
            setup(m_scenario.value("setup", json::object()));
        } catch (const Unusable& problem) {
            m_err << (std::string(problem.what()).rfind("step ", 0) == 0 ? "" : "setup: ")
                  << problem.what() << '\n';
            return 2;
        } catch (const automation::sim::ScenarioError& problem) {
            m_err << "setup: " << problem.what() << '\n';
            return 2;
        }

        startProgram();
        for (std::size_t i = 0; i < steps.size(); ++i) {
            m_step = i + 1;
            try {
                runStep(steps[i]);
            } catch (const Unusable& problem) {
                m_err << "step " << m_step << ": " << problem.what() << '\n';
                return 2;
            } catch (const automation::sim::ScenarioError& problem) {
                m_err << "step " << m_step << ": " << problem.what() << '\n';
                return 2;
            }
            settle();
        }
        return m_failed ? 1 : 0;
    }

private:
    // ---- setup ----

    void setup(const json& setup)
    {
        if (!setup.is_object())
            throw Unusable("\"setup\" must be an object");
        automation::sim::SimSetup sim;
        int width = 1024;
        int height = 768;
        int tpp = 15;
        std::map<std::string, std::string> folders = {
            {"Desktop", "Desktop"}, {"MyDocuments", "docs"}, {"Favorites", "fav"}};
        for (const auto& [key, value] : setup.items()) {
            if (key == "screen") {
                if (!value.is_object() || !value.value("width", json()).is_number_integer() ||
                    !value.value("height", json()).is_number_integer())
                    throw Unusable("\"screen\" must be {\"width\": n, \"height\": n}");
                width = value["width"].get<int>();
                height = value["height"].get<int>();
            } else if (key == "twipsPerPixel") {
                if (!value.is_number_integer() || value.get<int>() < 1)
                    throw Unusable("\"twipsPerPixel\" must be a positive whole number");
                tpp = value.get<int>();
            } else if (key == "exe") {
                if (!value.is_string() || value.get<std::string>().empty())
                    throw Unusable("\"exe\" must be a name");
                m_files.exeName = value.get<std::string>();
            } else if (key == "folders") {
                if (!value.is_object())
                    throw Unusable("\"folders\" must be an object");
                for (const auto& [name, path] : value.items()) {
                    if (name != "Desktop" && name != "MyDocuments" && name != "Favorites")
                        throw Unusable("unknown folder \"" + name + "\"");
                    if (!path.is_string())
                        throw Unusable("a folder must be a path");
                    folders[name] = path.get<std::string>();
                    m_givenFolders.insert(name);
                }
            } else if (key == "files") {
                if (!value.is_object())
                    throw Unusable("\"files\" must be an object");
                for (const auto& [name, content] : value.items())
                    writeFileSpec(m_workdir / name, content);
            } else if (key == "logReads") {
                if (!value.is_boolean())
                    throw Unusable("\"logReads\" must be true or false");
                sim.logReads = value.get<bool>();
            } else if (key != "windows") {
                throw Unusable("unknown setup field \"" + key + "\"");
            }
        }
        sim.screen = automation::ScreenMetrics{static_cast<double>(width) * tpp,
                                               static_cast<double>(height) * tpp, tpp, tpp};
        for (auto& [name, path] : folders) {
            // A folder of this machine is made; a foreign one is only a text.
            if (!isForeignPath(path)) {
                const std::filesystem::path full = m_workdir / path;
                std::error_code error;
                std::filesystem::create_directories(full, error);
                if (!m_givenFolders.count(name))
                    path = full.lexically_normal().string();
            }
        }
        m_favorites = folders["Favorites"];
        sim.folders = folders;
        m_files.folder = m_workdir.string();
        m_desktop = std::make_unique<SimDesktop>(std::move(sim));

        const json windows = setup.value("windows", json::array());
        if (!windows.is_array())
            throw Unusable("\"windows\" must be a list");
        for (const json& window : windows)
            openWindow(window);
    }

    void openWindow(const json& value)
    {
        auto parsed = automation::sim::windowFromJson(value);
        if (m_desktop->find(parsed.window.id))
            throw Unusable("a window with the id \"" + parsed.window.id + "\" exists already");
        m_desktop->openWindow(std::move(parsed.window), parsed.hasOwnHandle);
    }

    // ---- the program ----

    automation::Platform& platform()
    {
        if (!m_platform)
            m_platform = std::make_unique<automation::Platform>(m_desktop->platform());
        return *m_platform;
    }

    void startProgram()
    {
        m_endRequested = false;
        m_program =
            std::make_unique<Program>(platform(), m_files, [this] { m_endRequested = true; });
        std::string error;
        if (!m_program->start(error)) {
            m_err << "tabulon: cannot start: " << error << '\n';
            m_endRequested = true;
        }
        settle();
    }

    // Lets Qt deliver what the step caused, then ends the program if it was ended.
    void settle()
    {
        QApplication::processEvents();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
        if (m_program && m_endRequested) {
            m_program.reset();
            QApplication::processEvents();
            QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }

    Form1& form()
    {
        if (!m_program)
            throw Unusable("the program has ended");
        return m_program->mainWindow();
    }

    int twipsPerPixel() const { return m_desktop->setup().screen.twipsPerPixelX; }

    // ---- steps ----

    void runStep(const json& step)
    {
        const std::string kind = stepKind(step);
        if (!m_program && !worksWithoutProgram(kind))
            throw Unusable("the program has ended; a \"" + kind + "\" step needs it running");
        if (kind == "menu")
            chooseMenu(step);
        else if (kind == "select")
            selectRow(step["select"].get<int>());
        else if (kind == "dblclick")
            doubleClickRow(step["dblclick"].get<int>());
        else if (kind == "rightclick")
            rightClickRow(step["rightclick"].get<int>());
        else if (kind == "tick")
            tick(step["tick"].get<int>());
        else if (kind == "desktop")
            desktopStep(step["desktop"]);
        else if (kind == "files")
            for (const auto& [name, content] : step["files"].items())
                writeFileSpec(m_workdir / name, content);
        else if (kind == "main")
            mainStep(step["main"]);
        else if (kind == "form")
            formStep(step);
        else if (kind == "answer")
            answer(step["answer"]);
        else if (kind == "wait")
            m_desktop->clock().advance(step["wait"].get<std::int64_t>());
        else if (kind == "restart")
            restart();
        else if (kind == "start")
            start();
        else if (kind == "dump")
            dump(step["dump"].get<std::string>());
        else if (kind == "expect")
            expect(step["expect"]);
        else if (kind == "screenshot")
            screenshot(step["screenshot"]);
    }

    // Writes a picture of one window (as it draws itself) or of the whole screen (under
    // a real display), so a layout can be looked at.
    void screenshot(const json& what)
    {
        const std::filesystem::path file = m_workdir / what["file"].get<std::string>();
        std::error_code error;
        std::filesystem::create_directories(file.parent_path(), error);
        QPixmap picture;
        if (what.contains("window")) {
            const std::string name = what["window"].get<std::string>();
            QWidget& window = name == "Form1" ? static_cast<QWidget&>(form()) : findForm(name);
            picture = window.grab();
        } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
            picture = screen->grabWindow(0);
        }
        if (picture.isNull() || !picture.save(QString::fromStdString(file.string()), "PNG"))
            throw Unusable("cannot write the picture " + file.string());
    }

    void chooseMenu(const json& step)
    {
        std::string name = step["menu"].get<std::string>();
        if (step.contains("index"))
            name += "(" + std::to_string(step["index"].get<int>()) + ")";
        QAction* action = form().menuItem(QString::fromStdString(name));
        if (!action)
            throw Unusable("the menu has no item " + name);
        action->trigger();
    }

    QTreeWidgetItem* rowItem(QTreeWidget& list, int row)
    {
        if (row < 1 || row > list.topLevelItemCount())
            throw Unusable("the list has no row " + std::to_string(row));
        QTreeWidgetItem* item = list.topLevelItem(row - 1);
        list.scrollToItem(item);
        return item;
    }

    void selectRow(int row)
    {
        QTreeWidget& list = *form().ListView1;
        if (row == 0) {
            list.clearSelection();
            return;
        }
        QTreeWidgetItem* item = rowItem(list, row);
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualItemRect(item).center());
    }

    void doubleClickRow(int row)
    {
        QTreeWidget& list = *form().ListView1;
        selectRow(row);
        const QPoint where =
            row > 0 ? list.visualItemRect(rowItem(list, row)).center()
                    : QPoint(list.viewport()->width() - 2, list.viewport()->height() - 2);
        QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, where);
    }

    void rightClickRow(int row)
    {
        QTreeWidget& list = *form().ListView1;
        const QPoint where =
            row > 0 ? list.visualItemRect(rowItem(list, row)).center()
                    : QPoint(list.viewport()->width() - 2, list.viewport()->height() - 2);
        QTest::mousePress(list.viewport(), Qt::RightButton, {}, where);
        QTest::mouseRelease(list.viewport(), Qt::RightButton, {}, where);
    }

    void tick(int periods)
    {
        form();
        for (int i = 0; i < periods && m_program && !m_endRequested; ++i)
            m_desktop->clock().advance(2000);
    }

    void desktopStep(const json& change)
    {
        if (change.contains("open")) {
            openWindow(change["open"]);
        } else if (change.contains("close")) {
            const std::string id = change["close"].get<std::string>();
            if (!m_desktop->find(id))
                throw Unusable("no window has the id \"" + id + "\"");
            m_desktop->closeWindow(id);
        } else {
            const json& set = change["set"];
            const std::string id = set["id"].get<std::string>();
            automation::sim::SimWindow* window = m_desktop->find(id);
            if (!window)
                throw Unusable("no window has the id \"" + id + "\"");
            automation::sim::applyWindowChange(*m_desktop, *window, set);
        }
    }

    void mainStep(const json& change)
    {
        Form1& main = form();
        const auto [key, value] = *change.items().begin();
        if (key == "move") {
            TwipsRect rect = main.twipsGeometry();
            rect.Left = value[0].get<int>();
            rect.Top = value[1].get<int>();
            main.setTwipsGeometry(rect);
        } else if (key == "resize") {
            TwipsRect rect = main.twipsGeometry();
            rect.Width = value[0].get<int>();
            rect.Height = value[1].get<int>();
            main.setTwipsGeometry(rect);
        } else if (key == "state") {
            const std::string state = value.get<std::string>();
            if (state == "minimized")
                main.setWindowState(main.windowState() | Qt::WindowMinimized);
            else if (state == "maximized")
                main.setWindowState(Qt::WindowMaximized);
            else
                main.setWindowState(Qt::WindowNoState);
        } else if (key == "hide") {
            main.hide();
        } else if (key == "close") {
            main.close();
        }
    }

    QWidget& findForm(const std::string& name)
    {
        form();
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->objectName() == QString::fromStdString(name))
                return *widget;
        }
        throw Unusable(name + " is not loaded");
    }

    template <typename T>
    T& control(QWidget& owner, const std::string& formName, const std::string& name)
    {
        T* widget = owner.findChild<T*>(QString::fromStdString(name));
        if (!widget)
            throw Unusable(formName + " has no control " + name);
        return *widget;
    }

    void formStep(const json& step)
    {
        const std::string name = step["form"].get<std::string>();
        QWidget& window = findForm(name);
        if (step.contains("set")) {
            for (const auto& [box, text] : step["set"].items()) {
                const QString value = QString::fromStdString(text.get<std::string>());
                if (auto* line = window.findChild<QLineEdit*>(QString::fromStdString(box)))
                    line->setText(value);
                else if (auto* plain =
                             window.findChild<QPlainTextEdit*>(QString::fromStdString(box)))
                    plain->setPlainText(value);
                else
                    control<QTextEdit>(window, name, box).setPlainText(value);
            }
        } else if (step.contains("click")) {
            control<QAbstractButton>(window, name, step["click"].get<std::string>()).click();
        } else if (step.contains("select")) {
            QTreeWidget& list = control<QTreeWidget>(window, name, "ListView1");
            const int row = step["select"].get<int>();
            if (row == 0) {
                list.clearSelection();
                return;
            }
            QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                              list.visualItemRect(rowItem(list, row)).center());
        } else if (step.contains("dblclick")) {
            const json& target = step["dblclick"];
            if (target.is_string()) {
                QWidget& label = control<QWidget>(window, name, target.get<std::string>());
                QTest::mouseDClick(&label, Qt::LeftButton, {}, label.rect().center());
                return;
            }
            QTreeWidget& list = control<QTreeWidget>(window, name, "ListView1");
            const int row = target.get<int>();
            QPoint where(list.viewport()->width() - 2, list.viewport()->height() - 2);
            if (row == 0) {
                list.clearSelection();
                list.setCurrentItem(nullptr);
            } else {
                where = list.visualItemRect(rowItem(list, row)).center();
                QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, where);
            }
            QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, where);
        } else if (step.contains("check")) {
            const int value = step["check"].get<int>();
            control<QCheckBox>(window, name, "Check1")
                .setCheckState(value == 1   ? Qt::Checked
                               : value == 2 ? Qt::PartiallyChecked
                                            : Qt::Unchecked);
        } else if (step.contains("close")) {
            window.close();
        } else if (step.contains("resize")) {
            const int tpp = twipsPerPixel();
            window.resize(step["resize"][0].get<int>() / tpp, step["resize"][1].get<int>() / tpp);
        }
    }

    void answer(const json& value)
    {
        auto& dialogs = m_desktop->dialogs();
        const auto [kind, answer] = *value.items().begin();
        const bool cancel = answer.is_string() && answer.get<std::string>() == "cancel";
        if (kind == "msgbox") {
            const std::string choice = answer.get<std::string>();
            dialogs.queueMsgBox(choice == "OK"       ? automation::MsgBoxAnswer::OK
                                : choice == "Cancel" ? automation::MsgBoxAnswer::Cancel
                                                     : automation::MsgBoxAnswer::Close);
        } else if (kind == "color") {
            dialogs.queueColor(cancel ? std::nullopt
                                      : std::optional<std::uint32_t>(answer.get<std::uint32_t>()));
        } else if (kind == "open") {
            dialogs.queueOpen(cancel ? std::nullopt
                                     : std::optional<std::string>(answer.get<std::string>()));
        } else if (kind == "save") {
            std::optional<std::string> name;
            if (!cancel) {
                const std::filesystem::path path = answer.get<std::string>();
                name = (path.is_absolute() ? path : m_workdir / path).string();
            }
            dialogs.queueSave(name);
        }
    }

    void restart()
    {
        form().menuEND_Click();
        settle();
        startProgram();
    }

    void start()
    {
        if (m_program)
            throw Unusable("the program is running already");
        startProgram();
    }

    json currentDump(const std::string& label)
    {
        return takeDump(DumpContext{*m_desktop, m_program.get(), m_workdir, m_favorites}, label);
    }

    void dump(const std::string& label)
    {
        m_out << currentDump(label).dump(-1, ' ', false, json::error_handler_t::replace)
              << std::endl;
    }

    void expect(const json& expectations)
    {
        const json actual = currentDump("expect");
        for (const auto& [pointer, expected] : expectations.items()) {
            json found;
            bool exists = false;
            try {
                const json::json_pointer at(pointer);
                if (actual.contains(at)) {
                    found = actual.at(at);
                    exists = true;
                }
            } catch (const json::exception&) {
                throw Unusable("\"" + pointer + "\" is not a JSON pointer");
            }
            // null also stands for "not there", so a test can say a file or field is absent.
            const bool holds = exists ? found == expected : expected.is_null();
            if (!holds) {
                m_failed = true;
                m_err << "step " << m_step << ": expect " << pointer << ": expected "
                      << expected.dump(-1, ' ', false, json::error_handler_t::replace) << ", got "
                      << (exists ? found.dump(-1, ' ', false, json::error_handler_t::replace)
                                 : std::string("nothing"))
                      << '\n';
            }
        }
    }

    const json& m_scenario;
    std::ostream& m_out;
    std::ostream& m_err;
    std::filesystem::path m_workdir;
    std::filesystem::path m_previousDir;
    bool m_ownWorkdir = false;
    std::set<std::string> m_givenFolders;
    std::string m_favorites;
    ProgramFiles m_files;
    std::unique_ptr<SimDesktop> m_desktop;
    std::unique_ptr<automation::Platform> m_platform;
    std::unique_ptr<Program> m_program;
    bool m_endRequested = false;
    bool m_failed = false;
    std::size_t m_step = 0;
};

} // namespace

int runScenario(const json& scenario, std::optional<std::filesystem::path> workdir,
                std::ostream& out, std::ostream& err)
{
    try {
        Runner runner(scenario, std::move(workdir), out, err);
        return runner.run();
    } catch (const Unusable& problem) {
        err << "setup: " << problem.what() << '\n';
        return 2;
    } catch (const std::filesystem::filesystem_error& problem) {
        err << "setup: " << problem.what() << '\n';
        return 2;
    }
}

int runScenarioFile(const std::string& path, std::optional<std::filesystem::path> workdir,
                    std::ostream& out, std::ostream& err)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        err << "cannot read " << path << '\n';
        return 2;
    }
    json scenario;
    try {
        scenario = json::parse(in);
    } catch (const json::exception& problem) {
        err << path << " is not JSON: " << problem.what() << '\n';
        return 2;
    }
    return runScenario(scenario, std::move(workdir), out, err);
}

} // namespace tabulon::scenario
