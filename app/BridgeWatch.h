#pragma once

#include <QSocketNotifier>
#include <map>
#include <memory>

namespace automation::bridged {
class BridgeHub;
}

namespace tabulon {

// Reads the bridged browsers on the event loop: whenever the bridge's socket or a
// browser's connection has something, the hub takes it in, so that the list's reads
// find the browsers' windows current without waiting.
class BridgeWatch
{
public:
    explicit BridgeWatch(automation::bridged::BridgeHub& hub);
    ~BridgeWatch();
    BridgeWatch(const BridgeWatch&) = delete;
    BridgeWatch& operator=(const BridgeWatch&) = delete;

private:
    automation::bridged::BridgeHub& m_hub;
    std::map<int, std::unique_ptr<QSocketNotifier, void (*)(QSocketNotifier*)>> m_notifiers;
};

} // namespace tabulon
