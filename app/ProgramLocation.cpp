#include "app/ProgramLocation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <unistd.h>

namespace tabulon {

ProgramFiles locateProgramFiles(const QString& exePath)
{
    const QFileInfo exe(exePath);
    ProgramFiles files;
    files.exeName = exe.completeBaseName().toStdString();
    const QString exeFolder = exe.absolutePath();
    const QString installed = QDir::cleanPath(exeFolder + QStringLiteral("/../share/tabulon"));
    const bool isInstalled = QFileInfo(installed).isDir();
    // access() rather than the folder's mode: it answers for this user, ACLs included.
    // It says yes to root everywhere, which is why an installed copy is told apart by
    // its share folder and not by whether bin/ can be written.
    if (!isInstalled && ::access(QFile::encodeName(exeFolder).constData(), W_OK) == 0) {
        files.folder = exeFolder.toStdString();
        return files;
    }
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                           QStringLiteral("/tabulon");
    QDir().mkpath(config);
    files.folder = config.toStdString();
    if (isInstalled)
        files.helpFolder = installed.toStdString();
    return files;
}

} // namespace tabulon
