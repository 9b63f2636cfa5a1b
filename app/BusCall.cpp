#include "app/BusCall.h"

#include "app/BusNames.h"

#include <QDBusError>
#include <QThread>

namespace tabulon {

namespace {

// The errors of an instance that is not there yet or has not exported its object yet.
bool stillStarting(const QDBusMessage& reply)
{
    if (reply.type() != QDBusMessage::ErrorMessage)
        return false;
    const QDBusError::ErrorType type = QDBusError(reply).type();
    return reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner") ||
           type == QDBusError::ServiceUnknown || type == QDBusError::UnknownObject ||
           type == QDBusError::UnknownInterface || type == QDBusError::UnknownMethod;
}

} // namespace

QDBusMessage callRunning(const QDBusConnection& bus, const QString& method,
                         const QVariantList& arguments, int callTimeoutMs, QDeadlineTimer deadline,
                         const std::function<bool()>& alive)
{
    QDBusMessage call =
        QDBusMessage::createMethodCall(QString::fromLatin1(kBusName), QString::fromLatin1(kBusPath),
                                       QString::fromLatin1(kBusName), method);
    call.setArguments(arguments);
    call.setAutoStartService(false);
    for (;;) {
        QDBusMessage reply = bus.call(call, QDBus::Block, callTimeoutMs);
        if (!stillStarting(reply) || deadline.hasExpired() || (alive && !alive()))
            return reply;
        QThread::msleep(50);
    }
}

} // namespace tabulon
