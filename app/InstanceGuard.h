#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <memory>
#include <string>

class QLocalServer;
class QLockFile;

namespace tabulon {

// Keeps the program to one instance per session. With a session bus, the first instance
// is the one that owns the bus name; without one, the one that holds the lock file in
// the program folder, which also listens on a local socket for the others' requests to
// raise its window. A lock left by a process that has died is taken over.
class InstanceGuard : public QObject
{
    Q_OBJECT

public:
    enum class Claim
    {
        First, // this is the instance that runs
        Other  // another instance runs already
    };

    // bus may be unconnected; folder is the program folder, where the lock file lives.
    InstanceGuard(QDBusConnection bus, QString folder, QObject* parent = nullptr);
    ~InstanceGuard() override;

    Claim claim();
    // Whether the claim went through the bus (otherwise the lock file).
    bool onBus() const { return m_onBus; }
    // Asks the running instance to bring its window forward, waiting up to deadlineMs
    // for it to answer (it may still be starting). False, with the reason, when it did not.
    bool raiseRunning(int deadlineMs, std::string& error);

    // The lock file and socket of a program folder.
    static QString lockPath(const QString& folder);
    static QString socketPath(const QString& folder);

signals:
    // Another instance asked this one to bring its window forward (lock-file mode; on
    // the bus the request arrives as a method call).
    void raiseRequested();

private:
    void listen();
    void answer();

    QDBusConnection m_bus;
    QString m_folder;
    bool m_onBus = false;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
};

} // namespace tabulon
