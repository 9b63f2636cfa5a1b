#include "app/CommandLine.h"

#include "app/BridgeSetup.h"
#include "app/BusCall.h"
#include "app/BusNames.h"
#include "app/BusRow.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSaveFile>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <ostream>
#include <sys/types.h>

namespace tabulon {

namespace {

// How long a started instance may take to appear on the bus.
constexpr int kStartDeadlineMs = 30000;
// How long a plain question may take; a command may show a dialog and wait for the user.
constexpr int kQueryTimeoutMs = 25000;
constexpr int kCommandTimeoutMs = INT_MAX;

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

std::string utf8(const QString& text)
{
    return text.toStdString();
}

struct Usage
{
    QString error;
};

// The row argument: a whole number, 0 or more.
int rowArgument(const QString& text)
{
    bool ok = false;
    const int row = text.toInt(&ok);
    if (!ok || row < 0)
        throw Usage{QStringLiteral("ROW must be a row number, not \"%1\"").arg(text)};
    return row;
}

// The running instance over the session bus, started first when none runs.
class Remote
{
public:
    explicit Remote(std::ostream& err) : m_err(err) {}

    bool connect()
    {
        if (!m_bus.isConnected()) {
            m_err << "tabulon: no session bus to reach Tabulon through ("
                  << utf8(m_bus.lastError().message()) << ")\n";
            return false;
        }
        if (m_bus.interface()->isServiceRegistered(QString::fromLatin1(kBusName)))
            return true;
        // The instance outlives this command: it must not hold on to the command's
        // output, or a script reading it would wait for the instance to end.
        QProcess instance;
        instance.setProgram(QCoreApplication::applicationFilePath());
        instance.setStandardInputFile(QProcess::nullDevice());
        instance.setStandardOutputFile(QProcess::nullDevice());
        instance.setStandardErrorFile(QProcess::nullDevice());
        qint64 pid = 0;
        if (!instance.startDetached(&pid)) {
            m_err << "tabulon: Tabulon is not running and could not be started\n";
            return false;
        }
        m_started = static_cast<pid_t>(pid);
        return true;
    }

    // Calls method; the answer, or nothing after the failure was said on err.
    std::optional<QDBusMessage> call(const QString& method, const QVariantList& arguments,
                                     int timeoutMs)
    {
        // The instance started here may end at once because another command started one
        // at the same moment: waiting goes on while either is there.
        const auto alive = [this] {
            return m_started == 0 || ::kill(m_started, 0) == 0 || errno != ESRCH || !gone();
        };
        const QDBusMessage reply = callRunning(m_bus, method, arguments, timeoutMs,
                                               QDeadlineTimer(kStartDeadlineMs), alive);
        if (reply.type() == QDBusMessage::ReplyMessage)
            return reply;
        m_err << "tabulon: " << utf8(message(reply)) << '\n';
        return std::nullopt;
    }

    // Whether the instance has let go of its name.
    bool gone() { return !m_bus.interface()->isServiceRegistered(QString::fromLatin1(kBusName)); }

private:
    QString message(const QDBusMessage& reply) const
    {
        const QDBusError::ErrorType type = QDBusError(reply).type();
        if (m_started != 0 &&
            (type == QDBusError::ServiceUnknown || type == QDBusError::UnknownObject ||
             reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner")))
            return QStringLiteral("the Tabulon started for this command did not come up");
        QString text = reply.errorMessage().simplified();
        return text.isEmpty() ? reply.errorName() : text;
    }

    QDBusConnection m_bus = QDBusConnection::sessionBus();
    std::ostream& m_err;
    pid_t m_started = 0;
};

int listRows(Remote& remote, bool json, std::ostream& out)
{
    const auto reply = remote.call(QStringLiteral("List"), {}, kQueryTimeoutMs);
    if (!reply)
        return kFailed;
    const auto rows = qdbus_cast<QList<BusRow>>(reply->arguments().value(0));
    if (json) {
        QJsonArray array;
        for (const BusRow& row : rows) {
            array.append(QJsonObject{{QStringLiteral("row"), row.row},
                                     {QStringLiteral("name"), row.name},
                                     {QStringLiteral("state"), row.state},
                                     {QStringLiteral("height"), row.height},
                                     {QStringLiteral("width"), row.width},
                                     {QStringLiteral("frames"), row.frames},
                                     {QStringLiteral("address"), row.address}});
        }
        out << QJsonDocument(array).toJson(QJsonDocument::Indented).toStdString();
        return kDone;
    }
    for (const BusRow& row : rows) {
        // A tab or a line break inside a name would split its line.
        const auto cell = [](QString text) {
            return utf8(text.replace(QLatin1Char('\t'), QLatin1Char(' '))
                            .replace(QLatin1Char('\n'), QLatin1Char(' '))
                            .replace(QLatin1Char('\r'), QLatin1Char(' ')));
        };
        out << row.row << '\t' << cell(row.name) << '\t' << cell(row.state) << '\t'
            << cell(row.height) << '\t' << cell(row.width) << '\t' << cell(row.frames) << '\t'
            << cell(row.address) << '\n';
    }
    return kDone;
}

int report(Remote& remote, int row, const QString& output, std::ostream& out, std::ostream& err)
{
    const auto reply = remote.call(QStringLiteral("Report"), {row}, kQueryTimeoutMs);
    if (!reply)
        return kFailed;
    const QByteArray text = reply->arguments().value(0).toString().toUtf8();
    if (output.isEmpty()) {
        out << text.toStdString();
        return kDone;
    }
    // Written whole or not at all: a failed write leaves an existing file as it was.
    QSaveFile file(output);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        err << "tabulon: cannot write the report to " << utf8(output) << ": "
            << utf8(file.errorString()) << '\n';
        return kFailed;
    }
    return kDone;
}

int runCommand(Remote& remote, const QString& name)
{
    const auto reply = remote.call(QStringLiteral("Command"), {name}, kCommandTimeoutMs);
    if (reply)
        return kDone;
    return kFailed;
}

} // namespace

bool wantsCommandLine(int argc, char** argv)
{
    return argc > 1 && std::strcmp(argv[1], "-session") != 0;
}

int runCommandLine(const QStringList& arguments, std::ostream& out, std::ostream& err)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Lists the open web-browser windows and arranges them.\n"
        "Without a command, starts Tabulon or brings the running one forward.\n"
        "The commands drive the running Tabulon, starting it first when none runs."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("list: print JSON."));
    const QCommandLineOption output(QStringLiteral("output"),
                                    QStringLiteral("report: write the report to <file>."),
                                    QStringLiteral("file"));
    const QCommandLineOption installBridge(
        QStringLiteral("install-browser-bridge"),
        QStringLiteral("Set up the bridge to the user's own Chromium and Firefox."));
    const QCommandLineOption uninstallBridge(QStringLiteral("uninstall-browser-bridge"),
                                             QStringLiteral("Remove the browser bridge's set-up."));
    const QCommandLineOption system(
        QStringLiteral("system"),
        QStringLiteral("With the bridge's options: for every user of the machine (as root)."));
    parser.addOptions({json, output, installBridge, uninstallBridge, system});
    parser.addPositionalArgument(
        QStringLiteral("command"),
        QStringLiteral("list [--json] | select ROW | run COMMAND | report ROW [--output FILE] | "
                       "open-site NAME | restore-layout NAME"),
        QStringLiteral("[command]"));

    const auto usage = [&](const QString& error) {
        err << "tabulon: " << utf8(error) << '\n'
            << "usage: tabulon [list [--json] | select ROW | run COMMAND | "
               "report ROW [--output FILE] | open-site NAME | restore-layout NAME]; "
               "tabulon --help says more\n";
        return kUsage;
    };

    if (!parser.parse(arguments))
        return usage(parser.errorText());
    if (parser.isSet(help)) {
        out << utf8(parser.helpText());
        return kDone;
    }
    if (parser.isSet(version)) {
        out << utf8(QCoreApplication::applicationName()) << ' '
            << utf8(QCoreApplication::applicationVersion()) << '\n';
        return kDone;
    }

    const QStringList words = parser.positionalArguments();
    if (parser.isSet(installBridge) || parser.isSet(uninstallBridge)) {
        if (!words.isEmpty() || (parser.isSet(installBridge) && parser.isSet(uninstallBridge)))
            return usage(QStringLiteral("the bridge's options go alone"));
        // With --system (the package's own scripts, as root) the manifests go in the
        // machine's folders, which every user's browsers read.
        const bool machine = parser.isSet(system);
        const char* home = machine ? "/" : std::getenv("HOME");
        if (!home || *home != '/') {
            err << "tabulon: HOME does not name a folder\n";
            return kFailed;
        }
        const auto scope = machine ? BridgeScope::System : BridgeScope::User;
        if (parser.isSet(installBridge))
            return installBrowserBridge(home, bridgeFilesBesideProgram(), out, err, scope);
        return uninstallBrowserBridge(home, out, err, scope);
    }
    if (parser.isSet(system))
        return usage(QStringLiteral("--system goes with the bridge's options only"));
    if (words.isEmpty())
        return usage(QStringLiteral("options without a command"));

    const QString command = words.first();
    const auto expect = [&](qsizetype count) {
        if (words.size() != count)
            throw Usage{count == 1 ? QStringLiteral("%1 takes no argument").arg(command)
                                   : QStringLiteral("%1 takes one argument").arg(command)};
    };
    const auto only = [&](const QCommandLineOption& option, const char* owner) {
        if (parser.isSet(option) && command != QLatin1String(owner))
            throw Usage{QStringLiteral("--%1 goes with %2 only")
                            .arg(option.names().first(), QLatin1String(owner))};
    };
    try {
        only(json, "list");
        only(output, "report");
        std::function<int(Remote&)> work;
        if (command == QLatin1String("list")) {
            expect(1);
            work = [&](Remote& remote) { return listRows(remote, parser.isSet(json), out); };
        } else if (command == QLatin1String("select")) {
            expect(2);
            const int row = rowArgument(words[1]);
            work = [row](Remote& remote) {
                return remote.call(QStringLiteral("Select"), {row}, kQueryTimeoutMs) ? kDone
                                                                                     : kFailed;
            };
        } else if (command == QLatin1String("run")) {
            expect(2);
            work = [name = words[1]](Remote& remote) {
                const int status = runCommand(remote, name);
                // Quitting can take the instance away before its answer is read.
                if (status != kDone && name == QLatin1String("quit") && remote.gone())
                    return kDone;
                return status;
            };
        } else if (command == QLatin1String("report")) {
            expect(2);
            const int row = rowArgument(words[1]);
            work = [&, row](Remote& remote) {
                return report(remote, row, parser.value(output), out, err);
            };
        } else if (command == QLatin1String("open-site")) {
            expect(2);
            work = [name = words[1]](Remote& remote) {
                return remote.call(QStringLiteral("OpenSite"), {name}, kCommandTimeoutMs) ? kDone
                                                                                          : kFailed;
            };
        } else if (command == QLatin1String("restore-layout")) {
            expect(2);
            work = [name = words[1]](Remote& remote) {
                return remote.call(QStringLiteral("RestoreLayout"), {name}, kCommandTimeoutMs)
                           ? kDone
                           : kFailed;
            };
        } else {
            return usage(QStringLiteral("unknown command \"%1\"").arg(command));
        }
        registerBusTypes();
        Remote remote(err);
        if (!remote.connect())
            return kFailed;
        return work(remote);
    } catch (const Usage& wrong) {
        return usage(wrong.error);
    }
}

} // namespace tabulon
