#pragma once

#include "automation/Types.h"
#include "automation/local/WaitClock.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace automation::bridged {

class BridgePeer;

// Handles of bridged browser windows: above the X11 ids (below 2^30) and above the
// handles of the program's own Chromium (below 2^32 + 2^30).
inline constexpr Hwnd kBridgeHandleBase = Hwnd{1} << 33;
inline constexpr Hwnd kBridgeHandleEnd = Hwnd{1} << 34;

// The browsers bridged to the program: listens on the bridge socket, keeps the
// connections in the order they came, and gives their windows handles that stay the
// same while the window lives. Reads never wait; the descriptors are watched by the
// program's event loop through onOpened and onClosed.
class BridgeHub
{
public:
    explicit BridgeHub(WaitClock& clock = WaitClock::steady());
    ~BridgeHub();
    BridgeHub(const BridgeHub&) = delete;
    BridgeHub& operator=(const BridgeHub&) = delete;

    // Listens at the socket in folder (made private when missing); why not, when it
    // cannot. Another running program listening there is left alone.
    std::optional<std::string> listen(const std::string& folder);
    int listenerFd() const { return m_listener; }

    // Descriptors to watch for reading, and to stop watching before they close.
    std::function<void(int)> onOpened;
    std::function<void(int)> onClosed;

    // Accepts the hosts waiting, reads what every browser has sent and lets the gone
    // ones go; never waits.
    void pump();

    // The live browsers, in the order they connected.
    std::vector<std::shared_ptr<BridgePeer>> peers() const;
    // The browser whose window had the focus last, when it is still connected.
    std::shared_ptr<BridgePeer> lastFocused() const;

    static bool owns(Hwnd hwnd) { return hwnd >= kBridgeHandleBase && hwnd < kBridgeHandleEnd; }
    Hwnd handleOf(const BridgePeer& peer, std::int64_t windowId);
    struct WindowRef
    {
        std::shared_ptr<BridgePeer> peer;
        std::int64_t windowId = 0;
    };
    // The window behind a handle; nothing when its browser has gone.
    std::optional<WindowRef> window(Hwnd hwnd) const;

    // The program read this title from a bridged tab's document.
    void noteTitleRead(const BridgePeer& peer, std::int64_t tabId, const std::string& title);
    struct TabRef
    {
        std::shared_ptr<BridgePeer> peer;
        std::int64_t tabId = 0;
    };
    // The tab showing this title: the one whose title was read last when it still
    // shows it, else the first in the list's order.
    std::optional<TabRef> findTabByTitle(const std::string& title) const;
    // Whether the title read last was this one, of a bridged tab.
    bool titleReadLast(const std::string& title) const;

    WaitClock& clock() { return m_clock; }

    // The windows underneath were arranged: every browser is asked where its windows
    // went (not every browser says when a window is moved by someone else). Inside a
    // window batch the arrangement is carried out only at its commit, so the browsers
    // are asked then.
    void windowsArranged();
    // Inside a batch the browsers' window changes are sent without waiting; they are
    // awaited at its commit.
    void batchOpened();
    void batchCommitted();

private:
    void readBackWindows();

    void accept();
    void watch(BridgePeer& peer);

    WaitClock& m_clock;
    int m_listener = -1;
    std::string m_socketPath;
    std::vector<std::shared_ptr<BridgePeer>> m_peers;
    std::uint64_t m_nextSerial = 1;
    std::uint64_t m_focusSerial = 0;
    std::weak_ptr<BridgePeer> m_lastFocused;
    std::map<std::pair<std::uint64_t, std::int64_t>, Hwnd> m_handles;
    std::map<Hwnd, std::pair<std::weak_ptr<BridgePeer>, std::int64_t>> m_windows;
    Hwnd m_nextHandle = kBridgeHandleBase + 1;
    std::weak_ptr<BridgePeer> m_titlePeer;
    std::int64_t m_titleTab = 0;
    std::string m_title;
    int m_batchDepth = 0;
    bool m_readBackPending = false;
};

} // namespace automation::bridged
