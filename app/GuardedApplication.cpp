#include "app/GuardedApplication.h"

#include "automation/Guarded.h"

#include <QMetaObject>
#include <cstdio>
#include <exception>

namespace tabulon {

namespace {

// Named without allocating, so that running out of memory can still be said.
void reportEventFailure(const QMetaObject* type, const std::exception* failure) noexcept
{
    char what[160];
    std::snprintf(what, sizeof what, "an event for a %s", type ? type->className() : "nothing");
    automation::reportStopped(what, failure);
}

} // namespace

GuardedApplication::GuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool GuardedApplication::notify(QObject* receiver, QEvent* event)
{
    // Taken before the event is handled: the handler may delete the receiver.
    const QMetaObject* type = receiver ? receiver->metaObject() : nullptr;
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& failure) {
        reportEventFailure(type, &failure);
    } catch (...) {
        reportEventFailure(type, nullptr);
    }
    return false;
}

} // namespace tabulon
