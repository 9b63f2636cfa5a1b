// Failures of kinds the program does not expect (not automation errors) in the middle
// of a timer tick, a menu command, a dialog's handler or any event: the command ends,
// one line goes to standard error, and the program goes on.
#include "app/Form1.h"
#include "app/GuardedApplication.h"
#include "app/Program.h"
#include "automation/local/AnsweringWaitClock.h"
#include "automation/local/QtClock.h"
#include "automation/sim/SimDesktop.h"
#include "page/Form6.h"

#include <QAction>
#include <QCoreApplication>
#include <QEventLoop>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTreeWidget>
#include <exception>
#include <filesystem>
#include <gtest/gtest.h>
#include <new>
#include <stdexcept>
#include <thread>
#include <unistd.h>

namespace tabulon {
namespace {

using automation::Browser;
using automation::sim::SimDesktop;

// The simulated desktop's objects with a fault that can be switched on: while it is,
// the shell's window collection and every new browser throw it.
class FaultyObjects : public automation::ObjectFactory
{
public:
    explicit FaultyObjects(automation::ObjectFactory& inner) : m_inner(inner) {}

    void fail(std::exception_ptr fault) { m_fault = std::move(fault); }
    void heal() { m_fault = nullptr; }

    std::shared_ptr<automation::Shell> createShell() override
    {
        return std::make_shared<Shell>(*this, m_inner.createShell());
    }
    std::shared_ptr<automation::ScriptingShell> createScriptingShell() override
    {
        return m_inner.createScriptingShell();
    }
    std::shared_ptr<Browser> createBrowser() override
    {
        raise();
        return m_inner.createBrowser();
    }

private:
    void raise() const
    {
        if (m_fault)
            std::rethrow_exception(m_fault);
    }

    class Windows : public automation::ShellWindows
    {
    public:
        Windows(FaultyObjects& owner, std::shared_ptr<automation::ShellWindows> inner)
            : m_owner(owner), m_inner(std::move(inner))
        {}
        std::vector<std::shared_ptr<Browser>> items() override
        {
            m_owner.raise();
            return m_inner->items();
        }

    private:
        FaultyObjects& m_owner;
        std::shared_ptr<automation::ShellWindows> m_inner;
    };

    class Shell : public automation::Shell
    {
    public:
        Shell(FaultyObjects& owner, std::shared_ptr<automation::Shell> inner)
            : m_owner(owner), m_inner(std::move(inner))
        {}
        std::shared_ptr<automation::ShellWindows> windows() override
        {
            return std::make_shared<Windows>(m_owner, m_inner->windows());
        }
        void MinimizeAll() override { m_inner->MinimizeAll(); }
        void TileVertically() override { m_inner->TileVertically(); }
        void TileHorizontally() override { m_inner->TileHorizontally(); }
        void CascadeWindows() override { m_inner->CascadeWindows(); }

    private:
        FaultyObjects& m_owner;
        std::shared_ptr<automation::Shell> m_inner;
    };

    automation::ObjectFactory& m_inner;
    std::exception_ptr m_fault;
};

class HandlerFailure : public ::testing::Test
{
protected:
    HandlerFailure()
    {
        folder = std::filesystem::temp_directory_path() /
                 ("tabulon-failure-test-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        program =
            std::make_unique<Program>(platform, ProgramFiles{folder.string(), "tabulon"}, [] {});
        std::string error;
        EXPECT_TRUE(program->start(error)) << error;
    }
    ~HandlerFailure() override
    {
        program.reset();
        std::filesystem::remove_all(folder);
    }

    Form1& form() { return program->mainWindow(); }

    void openBrowser(const std::string& id)
    {
        automation::sim::SimWindow window;
        window.id = id;
        window.url = "http://" + id + ".example/";
        window.title = id;
        window.document = std::make_shared<automation::sim::SimDocumentData>();
        desktop.openWindow(std::move(window), false);
    }

    std::vector<std::string> listedNames() const
    {
        std::vector<std::string> names;
        const int count = program->mainWindow().ListView1->topLevelItemCount();
        names.reserve(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i)
            names.push_back(
                program->mainWindow().ListView1->topLevelItem(i)->text(0).toStdString());
        return names;
    }

    // Runs step with standard error captured; what it said.
    template <typename Step> std::string saidWhile(Step&& step)
    {
        ::testing::internal::CaptureStderr();
        step();
        return ::testing::internal::GetCapturedStderr();
    }

    std::filesystem::path folder;
    SimDesktop sim{automation::sim::SimSetup{}};
    automation::sim::SimControl& desktop = sim.control();
    automation::Platform base = sim.platform();
    FaultyObjects objects{base.objects};
    automation::Platform platform{objects,       base.windows, base.launcher, base.dialogs,
                                  base.messages, base.help,    base.clock,    base.files};
    std::unique_ptr<Program> program;
};

using Names = std::vector<std::string>;

TEST_F(HandlerFailure, ATickThatFailsLeavesTheNextOneToRebuildTheList)
{
    openBrowser("a");
    desktop.clock().advance(2000);
    EXPECT_EQ(listedNames(), Names{"a"});

    openBrowser("b");
    objects.fail(std::make_exception_ptr(std::runtime_error("collection gone")));
    EXPECT_EQ(saidWhile([&] { desktop.clock().advance(2000); }),
              "tabulon: Timer1_Timer stopped: collection gone\n");
    objects.fail(std::make_exception_ptr(std::bad_alloc()));
    EXPECT_EQ(saidWhile([&] { desktop.clock().advance(2000); }),
              "tabulon: Timer1_Timer stopped: std::bad_alloc\n");
    EXPECT_FALSE(form().hasEnded());

    objects.heal();
    desktop.clock().advance(2000);
    EXPECT_EQ(listedNames(), (Names{"a", "b"}));

    // The list still answers the user: a click selects, a command works on it.
    form().ListView1->topLevelItem(1)->setSelected(true);
    EXPECT_EQ(form().webWindows().selected(), 2);
    desktop.takeCalls();
    form().menuItem(QStringLiteral("menuClose"))->trigger();
    EXPECT_TRUE(desktop.find("b")->closed);
}

TEST_F(HandlerFailure, AMenuCommandThatFailsEndsAndTheNextOneRuns)
{
    const std::size_t windows = desktop.allWindows().size();
    QAction* site = form().menuItem(QStringLiteral("mSite(0)"));
    ASSERT_NE(site, nullptr);

    objects.fail(std::make_exception_ptr(std::bad_alloc()));
    EXPECT_EQ(saidWhile([&] { site->trigger(); }),
              "tabulon: mSite_Click stopped: std::bad_alloc\n");
    objects.fail(std::make_exception_ptr(42));
    EXPECT_EQ(saidWhile([&] { site->trigger(); }),
              "tabulon: mSite_Click stopped: an exception of unknown type\n");
    EXPECT_EQ(desktop.allWindows().size(), windows);

    objects.heal();
    site->trigger();
    EXPECT_EQ(desktop.allWindows().size(), windows + 1);
    EXPECT_FALSE(form().hasEnded());
}

TEST_F(HandlerFailure, ADialogHandlerThatFailsLeavesTheDialogWorking)
{
    form().menuItem(QStringLiteral("menuVersion"))->trigger();
    Form6* about = form().form6IfLoaded();
    ASSERT_NE(about, nullptr);
    ASSERT_TRUE(about->isVisible());

    // A double-click on the home page's address opens it in a new browser window.
    const auto doubleClick = [&] {
        QMouseEvent press(QEvent::MouseButtonDblClick, QPointF(2, 2), QPointF(2, 2), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(about->Label4, &press);
    };
    objects.fail(std::make_exception_ptr(std::runtime_error("no browser")));
    EXPECT_EQ(saidWhile(doubleClick), "tabulon: Form6.Label4_DblClick stopped: no browser\n");
    objects.heal();
    const std::size_t windows = desktop.allWindows().size();
    doubleClick();
    EXPECT_EQ(desktop.allWindows().size(), windows + 1);

    about->Command1->click();
    EXPECT_FALSE(about->isVisible());
}

// An object whose events fail the way no handler of ours is meant to let them.
class Thrower : public QObject
{
public:
    bool event(QEvent* event) override
    {
        if (event->type() == QEvent::User)
            throw std::runtime_error("unhandled");
        return QObject::event(event);
    }
};

TEST(GuardedApplication, AnEventThatThrowsStopsAtTheEventLoop)
{
    ASSERT_NE(dynamic_cast<GuardedApplication*>(QCoreApplication::instance()), nullptr);
    Thrower thrower;
    ::testing::internal::CaptureStderr();
    QEvent event(QEvent::User);
    EXPECT_FALSE(QCoreApplication::sendEvent(&thrower, &event));
    // Posted, it is handled by the event loop itself.
    QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
    QCoreApplication::sendPostedEvents(&thrower, QEvent::User);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "tabulon: an event for a QObject stopped: unhandled\n"
              "tabulon: an event for a QObject stopped: unhandled\n");
}

TEST(QtClock, ATimerGoesOnAfterATickThatThrows)
{
    automation::QtClock clock;
    QEventLoop loop;
    int ticks = 0;
    ::testing::internal::CaptureStderr();
    const auto timer = clock.startTimer(0, [&] {
        if (++ticks == 1)
            throw std::runtime_error("first tick");
        loop.quit();
    });
    loop.exec();
    EXPECT_EQ(ticks, 2);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "tabulon: a timer tick stopped: first tick\n");
}

TEST(QtClock, WhileAnsweringPostedEventsRunBetweenTheWaitsButTheTimersSkipTheirTicks)
{
    automation::AnsweringWaitClock waits(automation::WaitClock::steady(),
                                         std::chrono::milliseconds(5));
    automation::QtClock clock(&waits);
    int ticks = 0;
    const auto timer = clock.startTimer(1, [&] { ++ticks; });
    QObject receiver;
    int posted = 0;

    clock.whileAnswering([&] {
        EXPECT_TRUE(clock.answering());
        QMetaObject::invokeMethod(
            &receiver, [&] { ++posted; }, Qt::QueuedConnection);
        waits.sleepUntil(waits.now() + std::chrono::milliseconds(60));
        // Between the parts of work that waits for nothing, what is posted runs too once
        // the work has taken a slice.
        QMetaObject::invokeMethod(
            &receiver, [&] { ++posted; }, Qt::QueuedConnection);
        std::this_thread::sleep_for(std::chrono::milliseconds(6));
        clock.betweenParts();
        EXPECT_EQ(posted, 2);
    });
    // What was posted ran during the work; the timer's ticks did not.
    EXPECT_EQ(posted, 2);
    EXPECT_EQ(ticks, 0);
    EXPECT_FALSE(clock.answering());
    // Outside such work, nothing runs before its time.
    QMetaObject::invokeMethod(
        &receiver, [&] { ++posted; }, Qt::QueuedConnection);
    clock.betweenParts();
    EXPECT_EQ(posted, 2);

    // Afterwards the timer ticks again.
    QEventLoop loop;
    const auto stop = clock.startTimer(30, [&] { loop.quit(); });
    loop.exec();
    EXPECT_GT(ticks, 0);
}

} // namespace
} // namespace tabulon
