// One instance per session: the bus name, or without a bus the lock file and its socket.
// A second start brings the first one's window forward and leaves its files alone.
#include "PrivateBus.h"
#include "ProgramCopy.h"
#include "app/BusNames.h"
#include "app/Form1.h"
#include "app/InstanceGuard.h"
#include "app/Program.h"
#include "app/TabulonAdaptor.h"
#include "automation/sim/SimDesktop.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QLockFile>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace tabulon {
namespace {

using testing::PrivateBus;
using testing::ProgramCopy;

QDBusConnection noBus()
{
    return QDBusConnection(QStringLiteral("tabulon-test-no-bus"));
}

TEST(InstanceGuard, TheBusNameGoesToTheFirstAndIsFreeAgainWhenItsOwnerLeaves)
{
    PrivateBus bus;
    ASSERT_TRUE(bus.ready());
    QTemporaryDir folder;
    {
        InstanceGuard first(bus.connect(QStringLiteral("first")), folder.path());
        InstanceGuard second(bus.connect(QStringLiteral("second")), folder.path());
        EXPECT_EQ(first.claim(), InstanceGuard::Claim::First);
        EXPECT_TRUE(first.onBus());
        EXPECT_EQ(second.claim(), InstanceGuard::Claim::Other);
        // On the bus nothing is written into the program folder.
        EXPECT_FALSE(QFile::exists(InstanceGuard::lockPath(folder.path())));
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("first"));
    InstanceGuard third(bus.connect(QStringLiteral("third")), folder.path());
    EXPECT_EQ(third.claim(), InstanceGuard::Claim::First);
}

TEST(InstanceGuard, WithoutABusTheLockFileOfTheProgramFolderDecides)
{
    QTemporaryDir one;
    QTemporaryDir two;
    auto first = std::make_unique<InstanceGuard>(noBus(), one.path());
    EXPECT_EQ(first->claim(), InstanceGuard::Claim::First);
    EXPECT_FALSE(first->onBus());
    EXPECT_EQ(InstanceGuard(noBus(), one.path()).claim(), InstanceGuard::Claim::Other);
    // Another program folder is another program.
    EXPECT_EQ(InstanceGuard(noBus(), two.path()).claim(), InstanceGuard::Claim::First);
    first.reset();
    EXPECT_EQ(InstanceGuard(noBus(), one.path()).claim(), InstanceGuard::Claim::First);
}

TEST(InstanceGuard, ALockLeftByAProcessThatDiedIsTakenOver)
{
    QTemporaryDir folder;
    const QString path = InstanceGuard::lockPath(folder.path());
    {
        // A lock as a crashed instance leaves it: everything right but its process.
        QLockFile lock(path);
        ASSERT_TRUE(lock.tryLock(0));
        QProcess gone;
        gone.start(QStringLiteral("true"));
        ASSERT_TRUE(gone.waitForStarted());
        const qint64 deadPid = gone.processId();
        ASSERT_TRUE(gone.waitForFinished());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        QByteArray content = file.readAll();
        file.close();
        content = QByteArray::number(deadPid) + content.mid(content.indexOf('\n'));
        lock.unlock();
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    ASSERT_TRUE(QFile::exists(path));
    InstanceGuard guard(noBus(), folder.path());
    EXPECT_EQ(guard.claim(), InstanceGuard::Claim::First);
}

// The first instance runs in this process on the simulated desktop, in the folder of a
// copy of the program; the copy is then started as the second instance.
class SecondStart : public ::testing::TestWithParam<bool>
{
protected:
    bool onBus() const { return GetParam(); }

    void SetUp() override
    {
        ASSERT_TRUE(m_copy.ready());
        QDBusConnection connection = noBus();
        if (onBus()) {
            ASSERT_TRUE(m_bus.ready());
            connection = m_bus.connect(QStringLiteral("first"));
            m_copy.env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_bus.address);
        }
        // The socket is looked for in the second one's runtime folder.
        qputenv("XDG_RUNTIME_DIR", m_copy.env.value(QStringLiteral("XDG_RUNTIME_DIR")).toUtf8());
        m_guard = std::make_unique<InstanceGuard>(connection, m_copy.folder());
        ASSERT_EQ(m_guard->claim(), InstanceGuard::Claim::First);
        for (const char* id : {"a", "b"}) {
            automation::sim::SimWindow window;
            window.id = id;
            window.title = id;
            window.url = std::string("http://") + id + ".example/";
            window.document = std::make_shared<automation::sim::SimDocumentData>();
            m_desktop.control().openWindow(std::move(window), false);
        }
        m_program = std::make_unique<Program>(
            m_platform, ProgramFiles{m_copy.folder().toStdString(), "tabulon"}, [] {});
        std::string error;
        ASSERT_TRUE(m_program->start(error)) << error;
        m_adaptor = std::make_unique<TabulonAdaptor>(*m_program);
        if (onBus())
            connection.registerObject(QString::fromLatin1(kBusPath), m_adaptor.get(),
                                      QDBusConnection::ExportAllSlots);
        QObject::connect(m_guard.get(), &InstanceGuard::raiseRequested, m_adaptor.get(),
                         [this] { m_program->raise(); });
    }
    void TearDown() override { qunsetenv("XDG_RUNTIME_DIR"); }

    // Starts the copy and lets this one answer it until it ends.
    ProgramCopy::Run startSecond()
    {
        QProcess second;
        second.setProcessEnvironment(m_copy.env);
        QEventLoop loop;
        QObject::connect(&second, &QProcess::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(60000, &loop, &QEventLoop::quit); // a hang guard
        second.start(m_copy.exe, {});
        loop.exec();
        ProgramCopy::Run result;
        if (second.state() != QProcess::NotRunning) {
            second.kill();
            second.waitForFinished();
            return result;
        }
        result.status = second.exitStatus() == QProcess::NormalExit ? second.exitCode() : -1;
        result.err = second.readAllStandardError().toStdString();
        return result;
    }

    PrivateBus m_bus;
    ProgramCopy m_copy;
    automation::sim::SimDesktop m_desktop{automation::sim::SimSetup{}};
    automation::Platform m_platform = m_desktop.platform();
    std::unique_ptr<InstanceGuard> m_guard;
    std::unique_ptr<Program> m_program;
    std::unique_ptr<TabulonAdaptor> m_adaptor;
};

TEST_P(SecondStart, RaisesTheFirstWindowAndLeavesItsFilesAlone)
{
    Form1& form = m_program->mainWindow();
    form.selectRow(2);
    form.menuAddSite_Click();
    const QByteArray registered = m_copy.files()["sitelist.txt"];
    ASSERT_TRUE(registered.contains("http://b.example/"));
    // The first one's own saves are done before the second one starts.
    QCoreApplication::processEvents();
    form.SavePosition();
    form.showMinimized();
    ASSERT_TRUE(form.isMinimized());
    const auto before = m_copy.files();

    const ProgramCopy::Run second = startSecond();
    EXPECT_EQ(second.status, 0) << second.err;
    EXPECT_FALSE(form.isMinimized());
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(m_copy.files(), before);
    // The first one still has the site and writes it with the next change of its list.
    form.selectRow(1);
    form.menuAddSite_Click();
    const QByteArray after = m_copy.files()["sitelist.txt"];
    EXPECT_TRUE(after.contains("http://b.example/"));
    EXPECT_TRUE(after.contains("http://a.example/"));
}

INSTANTIATE_TEST_SUITE_P(BusAndLockFile, SecondStart, ::testing::Values(true, false),
                         [](const auto& param) {
                             return param.param ? "OnTheBus" : "WithoutABus";
                         });

} // namespace
} // namespace tabulon
