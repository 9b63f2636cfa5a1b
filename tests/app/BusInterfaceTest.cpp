// The bus interface against the simulated desktop: each command by its English name does
// what its menu item does, the list comes back as the window shows it, and what cannot
// be done comes back as an error that says why.
#include "PrivateBus.h"
#include "app/BusNames.h"
#include "app/BusRow.h"
#include "app/CommandTable.h"
#include "app/Form1.h"
#include "app/Program.h"
#include "app/TabulonAdaptor.h"
#include "automation/sim/SimDesktop.h"
#include "page/Form7.h"

#include <QAction>
#include <QApplication>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QWidget>
#include <algorithm>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace tabulon {
namespace {

using testing::PrivateBus;

// A desktop of three browser windows with the program on it, in a folder of its own.
class World
{
public:
    explicit World(const QString& folder)
    {
        for (const char* id : {"a", "b", "c"}) {
            automation::sim::SimWindow window;
            window.id = id;
            window.title = id;
            window.url = std::string("http://") + id + ".example/";
            window.bounds = {10, 10, 600, 400};
            window.document = std::make_shared<automation::sim::SimDocumentData>();
            window.document->frames = {{std::string("http://") + id + ".example/f", false}};
            m_desktop.control().openWindow(std::move(window), false);
        }
        write(folder + QStringLiteral("/sitelist.txt"),
              "one\r\nhttp://one.example/\r\ntwo\r\nhttp://two.example/\r\n");
        write(folder + QStringLiteral("/applist.txt"),
              "first.txt\r\n/tmp/first.txt\r\nsecond.txt\r\n/tmp/second.txt\r\n");
        write(folder + QStringLiteral("/layouts.json"), R"({"layouts": [
            {"name": "仕事", "windows": [{"url": "http://a.example/", "state": "normal",
              "bounds": {"left": 50, "top": 60, "width": 500, "height": 300}}]},
            {"name": "家", "windows": [{"url": "http://b.example/", "state": "minimized",
              "bounds": {"left": 5, "top": 6, "width": 700, "height": 500}},
              {"url": "http://new.example/", "state": "normal",
              "bounds": {"left": 70, "top": 80, "width": 640, "height": 480}}]}]})");
        program = std::make_unique<Program>(
            m_platform, ProgramFiles{folder.toStdString(), "tabulon"}, [this] { ended = true; });
        std::string error;
        started = program->start(error);
        m_desktop.control().takeCalls();
    }

    Form1& form() { return program->mainWindow(); }

    static void write(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(bytes);
    }

    // What the command did: the desktop's calls, the list, the windows shown, the files.
    nlohmann::json outcome(const QString& folder)
    {
        nlohmann::json shown = nlohmann::json::array();
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->isVisible())
                shown.push_back(window->objectName().toStdString());
        }
        std::sort(shown.begin(), shown.end());
        nlohmann::json rows = nlohmann::json::array();
        for (const ListRow& row : form().webWindows().rows())
            rows.push_back({row.text, row.sub});
        QFile sites(folder + QStringLiteral("/sitelist.txt"));
        const bool read = sites.open(QIODevice::ReadOnly);
        return {{"calls", m_desktop.control().takeCalls()},
                {"rows", rows},
                {"selected", form().webWindows().selected()},
                {"shown", shown},
                {"ended", ended},
                {"topMost", form().TopMost},
                {"autoMin", form().AutoMin},
                {"sites", read ? sites.readAll().toStdString() : ""}};
    }

    automation::sim::SimDesktop m_desktop{automation::sim::SimSetup{}};
    automation::Platform m_platform = m_desktop.platform();
    std::unique_ptr<Program> program;
    bool started = false;
    bool ended = false;
};

class BusInterface : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_bus.ready());
        m_service = m_bus.connect(QStringLiteral("service"));
        m_client = m_bus.connect(QStringLiteral("client"));
        ASSERT_TRUE(m_service.registerService(QString::fromLatin1(kBusName)));
        registerBusTypes();
    }
    void TearDown() override { closeAll(); }

    // A fresh world in a fresh folder, offered on the bus.
    World& open()
    {
        closeAll();
        // The same folder each time, emptied: a world's calls name it.
        QDir(m_folder.path()).removeRecursively();
        QDir().mkpath(m_folder.path());
        m_world = std::make_unique<World>(m_folder.path());
        m_adaptor = std::make_unique<TabulonAdaptor>(*m_world->program);
        m_service.registerObject(QString::fromLatin1(kBusPath), m_adaptor.get(),
                                 QDBusConnection::ExportAllSlots |
                                     QDBusConnection::ExportAllSignals);
        return *m_world;
    }
    void closeAll()
    {
        m_service.unregisterObject(QString::fromLatin1(kBusPath));
        m_adaptor.reset();
        m_world.reset();
    }

    // Calls a method as another program would, letting this one answer meanwhile.
    QDBusMessage call(const QString& method, const QVariantList& arguments = {})
    {
        QDBusMessage message = QDBusMessage::createMethodCall(
            QString::fromLatin1(kBusName), QString::fromLatin1(kBusPath),
            QString::fromLatin1(kBusName), method);
        message.setArguments(arguments);
        QDBusPendingCallWatcher watcher(m_client.asyncCall(message));
        QEventLoop loop;
        QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
        if (!watcher.isFinished())
            loop.exec();
        return watcher.reply();
    }
    void expectError(const QDBusMessage& reply, const char* name)
    {
        ASSERT_EQ(reply.type(), QDBusMessage::ErrorMessage);
        EXPECT_EQ(reply.errorName().toStdString(), name);
        EXPECT_FALSE(reply.errorMessage().isEmpty());
    }
    QString folder() const { return m_folder.path(); }

    PrivateBus m_bus;
    QDBusConnection m_service = QDBusConnection(QStringLiteral("unused"));
    QDBusConnection m_client = QDBusConnection(QStringLiteral("unused"));
    QTemporaryDir m_folder;
    std::unique_ptr<World> m_world;
    std::unique_ptr<TabulonAdaptor> m_adaptor;
};

// The names scripts rely on; each must do exactly what its menu item does.
const char* const kCommands[] = {
    "tile-vertical", "tile-horizontal", "tile-web",      "cascade",
    "cascade-web",   "minimize-all",    "restore-all",   "close-all",
    "reopen",        "save-layout",     "delete-layout", "export-list",
    "hide-bars",     "show-bars",       "expand-frames", "bring-to-front",
    "close",         "minimize-others", "close-others",  "register-site",
    "open-again",    "font-size",       "colors",        "report",
    "always-on-top", "auto-minimize",   "all-rows",      "quit"};

TEST_F(BusInterface, EveryCommandDoesWhatItsMenuItemDoes)
{
    EXPECT_EQ(commandTable().size(), std::size(kCommands));
    for (const char* name : kCommands) {
        SCOPED_TRACE(name);
        const CommandEntry* entry = findCommand(name);
        ASSERT_NE(entry, nullptr);

        World& byMenu = open();
        ASSERT_TRUE(byMenu.started);
        byMenu.form().selectRow(2);
        QAction* item = byMenu.form().menuItem(QString::fromLatin1(entry->menuName));
        ASSERT_NE(item, nullptr);
        item->trigger();
        const nlohmann::json expected = byMenu.outcome(folder());

        World& byBus = open();
        ASSERT_EQ(call(QStringLiteral("Select"), {2}).type(), QDBusMessage::ReplyMessage);
        const QDBusMessage reply = call(QStringLiteral("Command"), {QString::fromLatin1(name)});
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
        // Quitting answers first and ends right after.
        QCoreApplication::sendPostedEvents();
        EXPECT_EQ(byBus.outcome(folder()), expected);
    }
}

TEST_F(BusInterface, SitesAndApplicationsOpenByTheirCaptions)
{
    for (int index : {0, 1}) {
        World& byMenu = open();
        byMenu.form().mSite_Click(index);
        byMenu.form().menuApp_Click(index);
        const nlohmann::json expected = byMenu.outcome(folder());
        ASSERT_FALSE(expected["calls"].empty());

        World& byBus = open();
        const QString site = index == 0 ? QStringLiteral("one") : QStringLiteral("two");
        const QString app = index == 0 ? QStringLiteral("first.txt") : QStringLiteral("second.txt");
        EXPECT_EQ(call(QStringLiteral("OpenSite"), {site}).type(), QDBusMessage::ReplyMessage);
        EXPECT_EQ(call(QStringLiteral("OpenApp"), {app}).type(), QDBusMessage::ReplyMessage);
        EXPECT_EQ(byBus.outcome(folder()), expected);
    }
}

TEST_F(BusInterface, ALayoutIsRestoredByItsName)
{
    World& byMenu = open();
    byMenu.form().mLayout_Click(1);
    const nlohmann::json expected = byMenu.outcome(folder());
    ASSERT_FALSE(expected["calls"].empty());

    World& byBus = open();
    const QDBusMessage reply = call(QStringLiteral("RestoreLayout"), {QString::fromUtf8("家")});
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    EXPECT_EQ(byBus.outcome(folder()), expected);
    expectError(call(QStringLiteral("RestoreLayout"), {QStringLiteral("家 ")}),
                TabulonAdaptor::kUnknownName);
    EXPECT_TRUE(byBus.outcome(folder())["calls"].empty());
}

TEST_F(BusInterface, TheListIsTheWindowsRowsAndSelectMovesTheWindowsSelection)
{
    World& world = open();
    const QDBusMessage reply = call(QStringLiteral("List"));
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    const auto rows = qdbus_cast<QList<BusRow>>(reply.arguments().value(0));
    const auto& shown = world.form().webWindows().rows();
    ASSERT_EQ(rows.size(), static_cast<qsizetype>(shown.size()));
    ASSERT_GE(rows.size(), 3);
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const ListRow& row = shown[static_cast<std::size_t>(i)];
        EXPECT_EQ(rows[i].row, i + 1);
        EXPECT_EQ(rows[i].name.toStdString(), row.text);
        EXPECT_EQ(rows[i].state.toStdString(), row.sub[0]);
        EXPECT_EQ(rows[i].height.toStdString(), row.sub[1]);
        EXPECT_EQ(rows[i].width.toStdString(), row.sub[2]);
        EXPECT_EQ(rows[i].frames.toStdString(), row.sub[3]);
        EXPECT_EQ(rows[i].address.toStdString(), row.sub[4]);
    }

    call(QStringLiteral("Select"), {3});
    EXPECT_EQ(world.form().webWindows().selected(), 3);
    EXPECT_EQ(world.form().ListView1->selectedItems().value(0),
              world.form().ListView1->topLevelItem(2));
    call(QStringLiteral("Select"), {0});
    EXPECT_EQ(world.form().webWindows().selected(), 0);
    EXPECT_TRUE(world.form().ListView1->selectedItems().isEmpty());
}

TEST_F(BusInterface, TheReportOfARowIsWhatTheReportWindowShowsForIt)
{
    World& world = open();
    const QDBusMessage reply = call(QStringLiteral("Report"), {2});
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    world.form().selectRow(2);
    world.form().menuInfo_Click();
    ASSERT_NE(world.form().form7IfLoaded(), nullptr);
    QString shown = QString::fromStdString(world.form().form7IfLoaded()->reportText());
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    EXPECT_EQ(reply.arguments().value(0).toString(), shown);
    EXPECT_TRUE(shown.contains(QStringLiteral("http://b.example/")));
}

TEST_F(BusInterface, WhatCannotBeDoneIsAnErrorThatSaysWhy)
{
    World& world = open();
    const int count = world.form().webWindows().count();
    expectError(call(QStringLiteral("Command"), {QStringLiteral("tile")}),
                TabulonAdaptor::kUnknownCommand);
    expectError(call(QStringLiteral("Select"), {count + 1}), TabulonAdaptor::kOutOfRange);
    expectError(call(QStringLiteral("Select"), {-1}), TabulonAdaptor::kOutOfRange);
    expectError(call(QStringLiteral("Report"), {0}), TabulonAdaptor::kOutOfRange);
    expectError(call(QStringLiteral("Report"), {count + 1}), TabulonAdaptor::kOutOfRange);
    expectError(call(QStringLiteral("OpenSite"), {QStringLiteral("three")}),
                TabulonAdaptor::kUnknownName);
    expectError(call(QStringLiteral("OpenApp"), {QStringLiteral("one")}),
                TabulonAdaptor::kUnknownName);
    for (const CommandEntry& entry : commandTable()) {
        if (!entry.needsSelection)
            continue;
        SCOPED_TRACE(entry.id);
        expectError(call(QStringLiteral("Command"), {QString::fromLatin1(entry.id)}),
                    TabulonAdaptor::kNothingSelected);
    }
    // None of them did anything.
    EXPECT_TRUE(world.outcome(folder())["calls"].empty());
    EXPECT_EQ(world.form().webWindows().count(), count);
}

TEST_F(BusInterface, ListChangedFollowsARebuildThatChangedTheRows)
{
    World& world = open();
    int changes = 0;
    QAction counter;
    QObject::connect(&counter, &QAction::triggered, [&] { ++changes; });
    ASSERT_TRUE(m_client.connect(QString::fromLatin1(kBusName), QString::fromLatin1(kBusPath),
                                 QString::fromLatin1(kBusName), QStringLiteral("ListChanged"),
                                 &counter, SLOT(trigger())));
    // A call's answer comes after every signal sent before it.
    const auto settle = [&] { call(QStringLiteral("List")); };

    world.form().RefreshList();
    settle();
    EXPECT_EQ(changes, 0);

    automation::sim::SimWindow window;
    window.id = "d";
    window.title = "d";
    window.url = "http://d.example/";
    window.document = std::make_shared<automation::sim::SimDocumentData>();
    world.m_desktop.control().openWindow(std::move(window), false);
    world.form().RefreshList();
    world.form().RefreshList();
    settle();
    EXPECT_EQ(changes, 1);

    world.m_desktop.control().closeWindow("a");
    world.form().RefreshList();
    settle();
    EXPECT_EQ(changes, 2);
}

} // namespace
} // namespace tabulon
