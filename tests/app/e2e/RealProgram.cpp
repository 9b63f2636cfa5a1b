#include "RealProgram.h"

#include "E2eDesktop.h"
#include "app/Form1.h"
#include "app/Program.h"
#include "automation/chromium/ChromiumBrowser.h"
#include "automation/x11/X11Desktop.h"

#include <QAction>
#include <QCoreApplication>
#include <QTreeWidget>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <thread>

namespace {

std::string freshFolder()
{
    static std::atomic<int> count{0};
    std::string folder = E2eDesktop::instance().home() + "/program-" + std::to_string(++count);
    std::filesystem::create_directories(folder);
    return folder;
}

} // namespace

RealProgram::RealProgram(const std::map<std::string, std::string>& files) : m_folder(freshFolder())
{
    for (const auto& [name, bytes] : files)
        std::ofstream(m_folder + "/" + name, std::ios::binary) << bytes;
    auto desktop = automation::x11::X11Desktop::connect();
    if (!desktop.desktop)
        throw std::runtime_error(desktop.error);
    m_backend = std::make_unique<tabulon::RealDesktop>(
        std::move(desktop.desktop), automation::chromium::ChromiumSettings::fromEnvironment());
    start();
}

RealProgram::RealProgram(std::unique_ptr<tabulon::Backend> backend)
    : m_folder(freshFolder()), m_backend(std::move(backend))
{
    start();
}

void RealProgram::start()
{
    auto probe = automation::x11::X11Desktop::connect();
    if (!probe.desktop)
        throw std::runtime_error(probe.error);
    m_probe = std::move(probe.desktop);
    m_platform = std::make_unique<automation::Platform>(m_backend->platform());
    m_program = std::make_unique<tabulon::Program>(
        *m_platform, tabulon::ProgramFiles{m_folder, "tabulon"}, [] {});
    std::string error;
    if (!m_program->start(error))
        throw std::runtime_error(error);
    pump(std::chrono::milliseconds(300));
}

RealProgram::~RealProgram()
{
    m_program.reset();
    m_backend.reset();
    pump(std::chrono::milliseconds(100));
}

tabulon::Form1& RealProgram::form()
{
    return m_program->mainWindow();
}

tabulon::Module1& RealProgram::module()
{
    return m_program->module();
}

tabulon::RealDesktop& RealProgram::desktop()
{
    auto* real = dynamic_cast<tabulon::RealDesktop*>(m_backend.get());
    if (!real)
        throw std::logic_error("the program does not run on the real desktop");
    return *real;
}

void RealProgram::choose(const char* name)
{
    QAction* action = form().menuItem(QString::fromUtf8(name));
    if (!action)
        throw std::logic_error(std::string("no menu item ") + name);
    action->trigger();
}

void RealProgram::pump(std::chrono::milliseconds duration)
{
    const auto until = std::chrono::steady_clock::now() + duration;
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    } while (std::chrono::steady_clock::now() < until);
}

bool RealProgram::eventually(const std::function<bool()>& holds, std::chrono::milliseconds limit)
{
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!holds()) {
        if (std::chrono::steady_clock::now() >= until)
            return false;
        pump(std::chrono::milliseconds(20));
    }
    return true;
}

double RealProgram::longestStall(std::chrono::milliseconds duration)
{
    const auto until = std::chrono::steady_clock::now() + duration;
    std::chrono::duration<double> longest{0};
    while (std::chrono::steady_clock::now() < until) {
        const auto start = std::chrono::steady_clock::now();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        longest = std::max<std::chrono::duration<double>>(longest,
                                                          std::chrono::steady_clock::now() - start);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return longest.count();
}

bool RealProgram::refreshUntil(const std::function<bool()>& holds, std::chrono::milliseconds limit)
{
    const auto until = std::chrono::steady_clock::now() + limit;
    for (;;) {
        form().RefreshList();
        pump(std::chrono::milliseconds(100));
        if (holds())
            return true;
        if (std::chrono::steady_clock::now() >= until)
            return false;
    }
}

bool RealProgram::settle(int count, std::chrono::milliseconds limit)
{
    const bool settled = refreshUntil(
        [&] {
            const auto rows = shown();
            if (static_cast<int>(rows.size()) != count)
                return false;
            for (const auto& row : rows) {
                if (row.text == "busy" || row.sub[0].empty() || row.sub[3].empty())
                    return false;
            }
            return true;
        },
        limit);
    // What the list showed instead, for the failure's message.
    if (!settled) {
        std::cerr << "the list did not settle on " << count << " rows; it shows:\n";
        for (const auto& row : shown())
            std::cerr << "  " << row.text << " | " << row.sub[0] << " | " << row.sub[3] << " | "
                      << row.sub[4] << '\n';
    }
    return settled;
}

std::vector<tabulon::ListRow> RealProgram::shown()
{
    std::vector<tabulon::ListRow> rows;
    QTreeWidget* list = form().ListView1;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = list->topLevelItem(i);
        tabulon::ListRow row;
        row.text = item->text(0).toStdString();
        for (int c = 0; c < 5; ++c)
            row.sub[static_cast<std::size_t>(c)] = item->text(c + 1).toStdString();
        rows.push_back(row);
    }
    return rows;
}

std::string RealProgram::tabOf(int row)
{
    const auto browser = std::dynamic_pointer_cast<automation::chromium::ChromiumBrowser>(
        form().webWindows().WebWin(row));
    if (!browser)
        throw std::logic_error("row " + std::to_string(row) + " has no browser tab");
    return browser->targetId();
}

automation::chromium::WindowBounds RealProgram::boundsOf(int row)
{
    browser().invalidate();
    return browser().windowOf("test", tabOf(row));
}

std::optional<automation::Rect> RealProgram::x11Frame(const std::string& caption)
{
    const automation::Hwnd window = m_probe->findByCaption(caption);
    if (window == 0)
        return std::nullopt;
    return m_probe->frameBounds(window);
}
