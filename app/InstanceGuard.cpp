#include "app/InstanceGuard.h"

#include "app/BusCall.h"
#include "app/BusNames.h"

#include <QCryptographicHash>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusReply>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>
#include <algorithm>
#include <unistd.h>

namespace tabulon {

namespace {

const QByteArray kRaise = "raise\n";
const QByteArray kRaised = "raised\n";

} // namespace

InstanceGuard::InstanceGuard(QDBusConnection bus, QString folder, QObject* parent)
    : QObject(parent), m_bus(std::move(bus)), m_folder(std::move(folder))
{}

InstanceGuard::~InstanceGuard() = default;

QString InstanceGuard::lockPath(const QString& folder)
{
    return QDir(folder).filePath(QStringLiteral("tabulon.lock"));
}

// The socket goes into the user's runtime folder when there is one: a program folder
// can be too deep for a socket's path, and /tmp is shared with other users.
QString InstanceGuard::socketPath(const QString& folder)
{
    const QByteArray hash =
        QCryptographicHash::hash(QDir(folder).absolutePath().toUtf8(), QCryptographicHash::Sha256)
            .toHex()
            .left(16);
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists())
        return QStringLiteral("%1/tabulon-%2").arg(runtime, QString::fromLatin1(hash));
    return QStringLiteral("%1/tabulon-%2-%3")
        .arg(QDir::tempPath())
        .arg(::getuid())
        .arg(QString::fromLatin1(hash));
}

InstanceGuard::Claim InstanceGuard::claim()
{
    if (m_bus.isConnected()) {
        const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
            m_bus.interface()->registerService(QString::fromLatin1(kBusName),
                                               QDBusConnectionInterface::DontQueueService,
                                               QDBusConnectionInterface::DontAllowReplacement);
        if (reply.isValid()) {
            m_onBus = true;
            return reply.value() == QDBusConnectionInterface::ServiceRegistered ? Claim::First
                                                                                : Claim::Other;
        }
        // A bus that refuses the name outright leaves the lock file to decide.
    }
    m_lock = std::make_unique<QLockFile>(lockPath(m_folder));
    // Only a lock whose process has died is stale, however old it is.
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(0))
        return Claim::Other;
    listen();
    return Claim::First;
}

void InstanceGuard::listen()
{
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    const QString path = socketPath(m_folder);
    // The lock is ours, so a socket left at the path belongs to an instance that died.
    QLocalServer::removeServer(path);
    connect(m_server, &QLocalServer::newConnection, this, &InstanceGuard::answer);
    m_server->listen(path);
}

void InstanceGuard::answer()
{
    while (QLocalSocket* peer = m_server->nextPendingConnection()) {
        connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
        connect(peer, &QLocalSocket::readyRead, this, [this, peer] {
            // A request is one short line; anything else is dropped unanswered.
            if (peer->bytesAvailable() > 64) {
                peer->abort();
                return;
            }
            if (!peer->canReadLine())
                return;
            if (peer->readLine() == kRaise) {
                emit raiseRequested();
                peer->write(kRaised);
            }
            peer->disconnectFromServer();
        });
    }
}

bool InstanceGuard::raiseRunning(int deadlineMs, std::string& error)
{
    const QDeadlineTimer deadline(deadlineMs);
    if (m_onBus) {
        const QDBusMessage reply =
            callRunning(m_bus, QStringLiteral("Raise"), {}, deadlineMs, deadline);
        if (reply.type() == QDBusMessage::ReplyMessage)
            return true;
        error = reply.errorMessage().toStdString();
        return false;
    }
    // The running instance may hold the lock but not listen yet.
    for (;;) {
        QLocalSocket socket;
        socket.connectToServer(socketPath(m_folder));
        const int left = static_cast<int>(std::max<qint64>(1, deadline.remainingTime()));
        if (socket.waitForConnected(left)) {
            socket.write(kRaise);
            while (!socket.canReadLine() && !deadline.hasExpired() &&
                   socket.state() == QLocalSocket::ConnectedState)
                socket.waitForReadyRead(
                    static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
            if (socket.canReadLine() && socket.readLine() == kRaised)
                return true;
            error = "the running Tabulon did not answer";
            return false;
        }
        if (deadline.hasExpired()) {
            error = "the running Tabulon does not listen: " + socket.errorString().toStdString();
            return false;
        }
        QThread::msleep(50);
    }
}

} // namespace tabulon
