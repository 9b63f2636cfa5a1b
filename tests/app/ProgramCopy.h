#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <map>
#include <string>

namespace tabulon::testing {

// The built program copied into a temporary folder, which is then its program folder:
// its settings and lists go there and nowhere else. It runs on the simulated desktop,
// offscreen, with its own runtime and configuration folders.
class ProgramCopy
{
public:
    ProgramCopy()
    {
        exe = QDir(m_dir.path()).filePath(QStringLiteral("tabulon"));
        QFile::copy(QStringLiteral(TABULON_EXE), exe);
        QDir(m_dir.path()).mkpath(QStringLiteral("runtime"));
        QFile::setPermissions(folder() + QStringLiteral("/runtime"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("TABULON_BACKEND"), QStringLiteral("sim"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), folder() + QStringLiteral("/runtime"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), folder() + QStringLiteral("/config"));
        env.insert(QStringLiteral("XDG_DATA_HOME"), folder() + QStringLiteral("/data"));
        // No bus unless a test gives one.
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                   QStringLiteral("unix:path=") + folder() + QStringLiteral("/no-bus"));
    }

    QString folder() const { return m_dir.path(); }
    bool ready() const { return QFile::exists(exe); }

    struct Run
    {
        int status = -1;
        std::string out;
        std::string err;
    };

    // Runs the program with these arguments to its end (a hang guard of a minute).
    // piped: its output goes through a pipe, and the run ends only when every process
    // that holds the pipe has let go of it.
    Run run(const QStringList& arguments, bool piped = false) const
    {
        QProcess process;
        process.setProcessEnvironment(env);
        if (piped)
            process.start(QStringLiteral("bash"),
                          QStringList{QStringLiteral("-c"),
                                      QStringLiteral("set -o pipefail; \"$0\" \"$@\" | cat"), exe} +
                              arguments);
        else
            process.start(exe, arguments);
        Run result;
        if (!process.waitForFinished(60000)) {
            process.kill();
            process.waitForFinished();
            return result;
        }
        result.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        result.out = process.readAllStandardOutput().toStdString();
        result.err = process.readAllStandardError().toStdString();
        return result;
    }

    // The program folder's files and their contents, the copy itself left out.
    std::map<std::string, QByteArray> files() const
    {
        std::map<std::string, QByteArray> result;
        const QDir dir(folder());
        for (const QString& name : dir.entryList(QDir::Files)) {
            if (name == QStringLiteral("tabulon"))
                continue;
            QFile file(dir.filePath(name));
            if (file.open(QIODevice::ReadOnly))
                result[name.toStdString()] = file.readAll();
        }
        return result;
    }

    QString exe;
    QProcessEnvironment env;

private:
    QTemporaryDir m_dir;
};

} // namespace tabulon::testing
