#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QVariantList>
#include <functional>

namespace tabulon {

// Calls a method of the running instance's object and waits up to callTimeoutMs for the
// answer. While the instance is still starting (its name has no owner yet, or its object
// is not there yet) the call is tried again until deadline, or until alive() says the
// instance being waited for has gone. The answer, or the last error.
QDBusMessage callRunning(const QDBusConnection& bus, const QString& method,
                         const QVariantList& arguments, int callTimeoutMs, QDeadlineTimer deadline,
                         const std::function<bool()>& alive = {});

} // namespace tabulon
