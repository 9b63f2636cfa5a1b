#include "automation/bridged/BridgeHub.h"

#include "automation/Error.h"
#include "automation/bridge/BridgeSocket.h"
#include "automation/bridged/BridgePeer.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace automation::bridged {

BridgeHub::BridgeHub(WaitClock& clock) : m_clock(clock) {}

BridgeHub::~BridgeHub()
{
    for (const auto& peer : m_peers) {
        if (onClosed && peer->fd() >= 0)
            onClosed(peer->fd());
        peer->closeDescriptor();
    }
    if (m_listener >= 0) {
        if (onClosed)
            onClosed(m_listener);
        ::close(m_listener);
        // The socket's name goes with us, unless another program has taken it since.
        ::unlink(m_socketPath.c_str());
    }
}

std::optional<std::string> BridgeHub::listen(const std::string& folder)
{
    if (auto error = bridge::preparePrivateFolder(folder))
        return error;
    const std::string path = bridge::bridgeSocketPath(folder);
    if (const int other = bridge::connectBridge(path); other >= 0) {
        ::close(other);
        return "another program already listens at " + path;
    }
    m_listener = bridge::listenBridge(path);
    if (m_listener < 0)
        return "cannot listen at " + path + ": " + std::strerror(errno);
    m_socketPath = path;
    if (onOpened)
        onOpened(m_listener);
    return std::nullopt;
}

void BridgeHub::watch(BridgePeer& peer)
{
    const std::uint64_t serial = peer.serial();
    peer.onFocus([this, serial] {
        for (const auto& candidate : m_peers) {
            if (candidate->serial() == serial)
                m_lastFocused = candidate;
        }
    });
    if (onOpened)
        onOpened(peer.fd());
}

void BridgeHub::accept()
{
    if (m_listener < 0)
        return;
    // A bounded number per call: hosts that keep connecting cannot hold the program.
    for (int i = 0; i < 16; ++i) {
        const int fd = bridge::acceptBridge(m_listener);
        if (fd < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                return;
            continue;
        }
        m_peers.push_back(std::make_shared<BridgePeer>(fd, m_nextSerial++, m_clock));
        watch(*m_peers.back());
    }
}

void BridgeHub::pump()
{
    accept();
    for (const auto& peer : m_peers)
        peer->readAvailable();
    std::erase_if(m_peers, [this](const std::shared_ptr<BridgePeer>& peer) {
        if (peer->alive())
            return false;
        if (onClosed && peer->fd() >= 0)
            onClosed(peer->fd());
        peer->closeDescriptor();
        return true;
    });
    std::erase_if(m_windows, [](const auto& entry) { return entry.second.first.expired(); });
}

std::vector<std::shared_ptr<BridgePeer>> BridgeHub::peers() const
{
    std::vector<std::shared_ptr<BridgePeer>> result;
    for (const auto& peer : m_peers) {
        if (peer->alive())
            result.push_back(peer);
    }
    return result;
}

std::shared_ptr<BridgePeer> BridgeHub::lastFocused() const
{
    auto peer = m_lastFocused.lock();
    return peer && peer->alive() ? peer : nullptr;
}

Hwnd BridgeHub::handleOf(const BridgePeer& peer, std::int64_t windowId)
{
    const auto key = std::make_pair(peer.serial(), windowId);
    if (const auto at = m_handles.find(key); at != m_handles.end())
        return at->second;
    if (m_nextHandle >= kBridgeHandleEnd)
        return 0;
    const Hwnd handle = m_nextHandle++;
    m_handles[key] = handle;
    for (const auto& candidate : m_peers) {
        if (candidate.get() == &peer)
            m_windows[handle] = {candidate, windowId};
    }
    return handle;
}

std::optional<BridgeHub::WindowRef> BridgeHub::window(Hwnd hwnd) const
{
    const auto at = m_windows.find(hwnd);
    if (at == m_windows.end())
        return std::nullopt;
    auto peer = at->second.first.lock();
    if (!peer || !peer->alive())
        return std::nullopt;
    return WindowRef{peer, at->second.second};
}

void BridgeHub::noteTitleRead(const BridgePeer& peer, std::int64_t tabId, const std::string& title)
{
    m_titlePeer.reset();
    for (const auto& candidate : m_peers) {
        if (candidate.get() == &peer)
            m_titlePeer = candidate;
    }
    m_titleTab = tabId;
    m_title = title;
}

bool BridgeHub::titleReadLast(const std::string& title) const
{
    return !m_titlePeer.expired() && m_title == title;
}

std::optional<BridgeHub::TabRef> BridgeHub::findTabByTitle(const std::string& title) const
{
    if (auto peer = m_titlePeer.lock(); peer && peer->alive() && m_title == title) {
        if (peer->model().tab(m_titleTab))
            return TabRef{peer, m_titleTab};
    }
    for (const auto& peer : peers()) {
        for (const BridgeTab* tab : peer->model().tabs()) {
            if (tab->title == title)
                return TabRef{peer, tab->id};
        }
    }
    return std::nullopt;
}

namespace {

// Reading a browser's windows back after an arrangement: short, since the list
// goes on without it.
constexpr std::chrono::milliseconds kReadBackTimeout{1000};

} // namespace

void BridgeHub::windowsArranged()
{
    if (m_batchDepth > 0)
        m_readBackPending = true;
    else
        readBackWindows();
}

void BridgeHub::batchOpened()
{
    ++m_batchDepth;
    for (const auto& peer : m_peers)
        peer->openWindowBatch();
}

void BridgeHub::batchCommitted()
{
    for (const auto& peer : m_peers)
        peer->commitWindowBatch();
    if (m_batchDepth > 0 && --m_batchDepth == 0 && m_readBackPending) {
        m_readBackPending = false;
        readBackWindows();
    }
}

void BridgeHub::readBackWindows()
{
    for (const auto& peer : peers()) {
        skipOnFailure([&] {
            peer->model().applySnapshot(peer->request("MinimizeAll", "snapshot",
                                                      nlohmann::json::object(), kReadBackTimeout));
        });
    }
}

} // namespace automation::bridged
