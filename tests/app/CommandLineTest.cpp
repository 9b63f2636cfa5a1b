// The command line: its exit statuses (0 done, 1 failed with one line on standard error,
// 2 wrong arguments), and the commands that start and drive an instance over the bus.
#include "PrivateBus.h"
#include "ProgramCopy.h"
#include "app/BusNames.h"

#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>

namespace tabulon {
namespace {

using testing::PrivateBus;
using testing::ProgramCopy;

std::size_t lines(const std::string& text)
{
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

TEST(CommandLine, WrongArgumentsAreAUsageErrorAndStartNothing)
{
    ProgramCopy copy;
    ASSERT_TRUE(copy.ready());
    const QStringList wrong[] = {
        {QStringLiteral("frobnicate")},
        {QStringLiteral("select")},
        {QStringLiteral("select"), QStringLiteral("two")},
        {QStringLiteral("select"), QStringLiteral("1"), QStringLiteral("2")},
        {QStringLiteral("list"), QStringLiteral("all")},
        {QStringLiteral("list"), QStringLiteral("--output"), QStringLiteral("x")},
        {QStringLiteral("report"), QStringLiteral("1"), QStringLiteral("--json")},
        {QStringLiteral("report"), QStringLiteral("1"), QStringLiteral("--output")},
        {QStringLiteral("run")},
        {QStringLiteral("--bogus")},
        {QStringLiteral("--json")},
        {QStringLiteral("--install-browser-bridge"), QStringLiteral("list")},
        // The machine-wide set-up is only ever meant with the bridge's options.
        {QStringLiteral("--system")},
        {QStringLiteral("list"), QStringLiteral("--system")},
    };
    for (const QStringList& arguments : wrong) {
        SCOPED_TRACE(arguments.join(QLatin1Char(' ')).toStdString());
        const auto run = copy.run(arguments);
        EXPECT_EQ(run.status, 2) << run.err;
        EXPECT_TRUE(run.out.empty());
        EXPECT_FALSE(run.err.empty());
    }
    EXPECT_TRUE(copy.files().empty());
}

TEST(CommandLine, HelpAndVersionAnswerWithoutABus)
{
    ProgramCopy copy;
    ASSERT_TRUE(copy.ready());
    const auto version = copy.run({QStringLiteral("--version")});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, std::string("tabulon ") + TABULON_VERSION + "\n");
    const auto help = copy.run({QStringLiteral("--help")});
    EXPECT_EQ(help.status, 0);
    for (const char* word :
         {"list", "select", "run", "report", "open-site", "restore-layout", "--json", "--output"})
        EXPECT_NE(help.out.find(word), std::string::npos) << word;
}

TEST(CommandLine, WithoutABusACommandFailsInOneLine)
{
    ProgramCopy copy;
    ASSERT_TRUE(copy.ready());
    const auto run = copy.run({QStringLiteral("run"), QStringLiteral("tile-web")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(lines(run.err), 1u) << run.err;
    EXPECT_TRUE(run.out.empty());
}

// The commands against an instance the first of them starts, on a bus of the test's own.
class CommandLineOnBus : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_copy.ready());
        ASSERT_TRUE(m_bus.ready());
        m_copy.env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_bus.address);
        m_watch = m_bus.connect(QStringLiteral("watch"));
    }
    void TearDown() override
    {
        // An instance a failed test left running goes with it.
        const QDBusReply<uint> pid = m_watch.interface()->servicePid(QString::fromLatin1(kBusName));
        if (pid.isValid() && pid.value() > 0)
            ::kill(static_cast<pid_t>(pid.value()), SIGKILL);
    }

    bool running()
    {
        return m_watch.interface()->isServiceRegistered(QString::fromLatin1(kBusName));
    }

    ProgramCopy::Run run(const QStringList& arguments) { return m_copy.run(arguments); }

    void expectFailure(const QStringList& arguments)
    {
        SCOPED_TRACE(arguments.join(QLatin1Char(' ')).toStdString());
        const auto result = run(arguments);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(lines(result.err), 1u) << result.err;
    }

    ProgramCopy m_copy;
    PrivateBus m_bus;
    QDBusConnection m_watch = QDBusConnection(QStringLiteral("unused"));
};

TEST_F(CommandLineOnBus, TheFirstCommandStartsTabulonAndTheOthersDriveIt)
{
    ASSERT_FALSE(running());
    // The instance it starts does not hold on to the command's output.
    const auto listed = m_copy.run({QStringLiteral("list"), QStringLiteral("--json")}, true);
    ASSERT_EQ(listed.status, 0) << listed.err;
    EXPECT_TRUE(running());
    const QJsonArray rows = QJsonDocument::fromJson(QByteArray::fromStdString(listed.out)).array();
    ASSERT_FALSE(rows.isEmpty()) << listed.out;
    for (int i = 0; i < rows.size(); ++i) {
        const QJsonObject row = rows[i].toObject();
        EXPECT_EQ(row[QStringLiteral("row")].toInt(), i + 1);
        for (const char* key : {"name", "state", "height", "width", "frames", "address"})
            EXPECT_TRUE(row[QLatin1String(key)].isString()) << key;
    }
    const auto plain = run({QStringLiteral("list")});
    EXPECT_EQ(plain.status, 0);
    EXPECT_EQ(lines(plain.out), static_cast<std::size_t>(rows.size()));

    EXPECT_EQ(run({QStringLiteral("select"), QStringLiteral("1")}).status, 0);
    EXPECT_EQ(run({QStringLiteral("run"), QStringLiteral("tile-web")}).status, 0);
    expectFailure({QStringLiteral("select"), QString::number(rows.size() + 1)});
    expectFailure({QStringLiteral("run"), QStringLiteral("tile")});
    expectFailure({QStringLiteral("open-site"), QStringLiteral("no such site")});
    expectFailure({QStringLiteral("restore-layout"), QStringLiteral("no such layout")});
    EXPECT_EQ(run({QStringLiteral("select"), QStringLiteral("0")}).status, 0);
    expectFailure({QStringLiteral("run"), QStringLiteral("close")});
    expectFailure({QStringLiteral("report"), QStringLiteral("0")});

    const auto report = run({QStringLiteral("report"), QStringLiteral("1")});
    EXPECT_EQ(report.status, 0);
    EXPECT_NE(
        report.out.find(rows[0].toObject()[QStringLiteral("address")].toString().toStdString()),
        std::string::npos);
    const QString saved = m_copy.folder() + QStringLiteral("/out/report.txt");
    expectFailure(
        {QStringLiteral("report"), QStringLiteral("1"), QStringLiteral("--output"), saved});
    QDir().mkpath(m_copy.folder() + QStringLiteral("/out"));
    EXPECT_EQ(
        run({QStringLiteral("report"), QStringLiteral("1"), QStringLiteral("--output"), saved})
            .status,
        0);
    QFile file(saved);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().toStdString(), report.out);

    // The default site list has the weather forecast.
    EXPECT_EQ(run({QStringLiteral("open-site"), QString::fromUtf8("天気予報")}).status, 0);

    // A second start without a command only brings the window forward.
    EXPECT_EQ(run({}).status, 0);
    EXPECT_TRUE(running());

    EXPECT_EQ(run({QStringLiteral("run"), QStringLiteral("quit")}).status, 0);
    const QDeadlineTimer deadline(30000);
    while (running() && !deadline.hasExpired())
        QThread::msleep(20);
    EXPECT_FALSE(running());
}

} // namespace
} // namespace tabulon
