#include "app/DemoDesktop.h"

#include "automation/local/DataFolders.h"
#include "automation/local/LocalFileSystem.h"
#include "automation/local/LocalHelpViewer.h"
#include "automation/local/LocalLauncher.h"
#include "automation/local/QtClock.h"
#include "automation/local/QtDialogs.h"
#include "automation/real/XdgScriptingShell.h"
#include "automation/sim/SimDesktop.h"

#include <QGuiApplication>
#include <QScreen>

namespace tabulon {

namespace {

using automation::sim::SimDesktop;
using automation::sim::SimDocumentData;
using automation::sim::SimKind;
using automation::sim::SimWindow;

SimWindow browser(const char* id, const char* title, const char* url, automation::Rect bounds,
                  automation::WindowState state = automation::WindowState::Normal)
{
    SimWindow window;
    window.id = id;
    window.title = title;
    window.url = url;
    window.bounds = bounds;
    window.state = state;
    window.document = std::make_shared<SimDocumentData>();
    return window;
}

class DemoBackend : public Backend
{
public:
    DemoBackend() : m_desktop(setup())
    {
        m_desktop.control().openWindow(browser("news", "ニュース - Tabulon デモ",
                                               "https://news.example.jp/", {40, 40, 900, 640}),
                                       false);
        auto frames = browser("manual", "取扱説明書", "https://docs.example.org/manual/index.html",
                              {120, 90, 820, 600});
        frames.document->frames = {{"https://docs.example.org/manual/toc.html", false},
                                   {"https://docs.example.org/manual/ch1.html", false}};
        m_desktop.control().openWindow(std::move(frames), false);
        m_desktop.control().openWindow(browser("weather", "天気予報", "https://tenki.jp/",
                                               {200, 140, 760, 560},
                                               automation::WindowState::Minimized),
                                       false);
        m_desktop.control().openWindow(browser("local", "", "file:///home/user/Notes/INDEX.HTML",
                                               {260, 180, 700, 500},
                                               automation::WindowState::Maximized),
                                       false);
        SimWindow folder;
        folder.id = "folder";
        folder.kind = SimKind::Folder;
        folder.caption = "ドキュメント";
        folder.url = "file:///home/user/Documents";
        m_desktop.control().openWindow(std::move(folder), false);
    }

    automation::Platform platform() override
    {
        automation::Platform sim = m_desktop.platform();
        return automation::Platform{sim.objects, sim.windows, m_launcher, m_dialogs,
                                    m_dialogs,   m_help,      m_clock,    m_files};
    }

    std::string description() const override
    {
        return "the simulated desktop with demonstration windows";
    }

private:
    static automation::sim::SimSetup setup()
    {
        automation::sim::SimSetup setup;
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            const int tpp = std::max(1, static_cast<int>(1440 / screen->logicalDotsPerInchX()));
            setup.screen = {static_cast<double>(screen->size().width() * tpp),
                            static_cast<double>(screen->size().height() * tpp), tpp, tpp};
        }
        // The user's own folders, found as on the real desktop; the Favourites folder is
        // only named here, so a demonstration makes nothing in the user's home.
        const std::string favorites = automation::defaultFavoritesFolder();
        automation::XdgScriptingShell folders(favorites);
        setup.folders = {{"Desktop", folders.SpecialFolders("Desktop")},
                         {"MyDocuments", folders.SpecialFolders("MyDocuments")},
                         {"Favorites", favorites}};
        return setup;
    }

    SimDesktop m_desktop;
    automation::QtClock m_clock;
    automation::QtDialogs m_dialogs;
    automation::LocalLauncher m_launcher;
    automation::LocalFileSystem m_files;
    automation::LocalHelpViewer m_help;
};

} // namespace

std::unique_ptr<Backend> makeDemoDesktop()
{
    return std::make_unique<DemoBackend>();
}

} // namespace tabulon
