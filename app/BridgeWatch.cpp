#include "app/BridgeWatch.h"

#include "automation/bridged/BridgeHub.h"

namespace tabulon {

namespace {

// A notifier may be let go from inside its own signal: it goes once that returns.
void later(QSocketNotifier* notifier)
{
    notifier->setEnabled(false);
    notifier->deleteLater();
}

} // namespace

BridgeWatch::BridgeWatch(automation::bridged::BridgeHub& hub) : m_hub(hub)
{
    m_hub.onOpened = [this](int fd) {
        auto notifier = std::unique_ptr<QSocketNotifier, void (*)(QSocketNotifier*)>(
            new QSocketNotifier(fd, QSocketNotifier::Read), &later);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, [this] { m_hub.pump(); });
        m_notifiers.insert_or_assign(fd, std::move(notifier));
    };
    m_hub.onClosed = [this](int fd) { m_notifiers.erase(fd); };
    // Whatever the hub opened before it was watched.
    if (m_hub.listenerFd() >= 0)
        m_hub.onOpened(m_hub.listenerFd());
}

BridgeWatch::~BridgeWatch()
{
    m_hub.onOpened = nullptr;
    m_hub.onClosed = nullptr;
}

} // namespace tabulon
