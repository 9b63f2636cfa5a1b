#pragma once

#include "automation/Browser.h"
#include "automation/chromium/BrowserConnection.h"
#include "automation/chromium/ProtocolEvents.h"

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace automation::chromium {

// What a part that keeps something for each tab is told.
class TargetListener
{
public:
    virtual ~TargetListener() = default;
    // The tab's document was replaced or its session ended: the program's script
    // world in it is gone.
    virtual void documentGone(const std::string& targetId) = 0;
    // The tab (or frame) is gone.
    virtual void targetGone(const std::string& targetId) = 0;
};

// The browser's tabs and the cross-site frames below them, as its events and its list
// of targets tell of them: in the order they were first seen (the browser lists them
// in none), each with the session attached to it. Tabs the program closed are not
// listed while the browser still reports them.
class TargetRegistry
{
public:
    struct Target
    {
        TargetKind kind = TargetKind::Other;
        std::string url;
        std::string title;
        std::string parentId;
        std::uint64_t order = 0;
        std::string sessionId;
        // Values the program wrote to the tab's properties.
        std::map<BrowserProperty, bool> properties;
        // The browser told of a change in it (or of it) since the program last began
        // reading its page.
        bool changed = true;
    };

    explicit TargetRegistry(BrowserConnection& connection);
    TargetRegistry(const TargetRegistry&) = delete;
    TargetRegistry& operator=(const TargetRegistry&) = delete;

    // Told of documents and targets that go; it must outlive the registry.
    void addListener(TargetListener& listener);

    // Takes in an event of the browser.
    void apply(const BrowserEvent& event);
    // Forgets everything (the browser is gone); listeners are not told.
    void clear();

    // The tabs in order of discovery, from one target list; empty without a browser.
    std::vector<std::string> pageTargets();
    // A point in what the registry has been told: a target list asked for now answers
    // for everything before it, and nothing after.
    std::uint64_t mark() const { return m_sequence; }
    // The same as pageTargets from a target list the caller asked for at askedAt. The
    // answer may be read after later events and calls: a target first seen since then
    // is kept though the list lacks it, and one gone since then stays gone.
    std::vector<std::string> takeTargetList(const nlohmann::json& result, std::uint64_t askedAt);
    // The tabs in order of discovery, as the events told of them, without asking.
    std::vector<std::string> knownPages() const;
    bool knows(const std::string& targetId) const { return m_targets.count(targetId) > 0; }
    // The tab; raises Error(member) when it is closed.
    const Target& known(const std::string& member, const std::string& targetId) const;
    // "" for a tab not known.
    std::string url(const std::string& targetId) const;
    std::string title(const std::string& targetId) const;
    // The cross-site frames below a tab (perhaps below other such frames), in order of
    // discovery, at most kMaxFrames.
    std::vector<std::string> framesBelow(const std::string& pageId) const;

    // The session attached to the tab, attaching one when there is none.
    std::string sessionFor(const std::string& member, const std::string& targetId);
    // A new window showing about:blank; its tab.
    std::string createWindow(const std::string& member);
    void closeTarget(const std::string& member, const std::string& targetId);
    // Raises, focuses and restores the tab's window and selects the tab.
    void activateTarget(const std::string& member, const std::string& targetId);

    // Whether the browser told of a change in the tab since readingPage was last called
    // for it (a tab never read has changed).
    bool changed(const std::string& targetId) const;
    // The program begins reading the tab's page: changes told of from now on count.
    void readingPage(const std::string& targetId);
    // The reading of the tab's page was given up before it was asked: read it again.
    void readingDropped(const std::string& targetId);

    std::optional<bool> storedProperty(const std::string& targetId, BrowserProperty property) const;
    void storeProperty(const std::string& targetId, BrowserProperty property, bool value);

    // Tabs and frames kept track of at most: more are not followed.
    static constexpr std::size_t kMaxTargets = 10000;

private:
    // Takes in what the browser says of a tab or frame (nothing: only that it exists);
    // nullptr when it cannot be kept (too many already).
    Target* record(const std::string& targetId, const TargetInfo* info);
    void forget(const std::string& targetId);
    void forgetFramesOfClosedPages();
    // Where a frame's chain of parent frames ends: its tab's id, or an id no longer
    // known (the tab went); nothing when the chain is deeper than any page.
    std::optional<std::string> topOf(const Target& frame) const;
    void followed(const TargetInfo& info);
    void attached(const AttachedToTarget& event);
    void detached(const DetachedFromTarget& event);
    void pageChanged(const std::string& sessionId);

    BrowserConnection& m_connection;
    std::vector<TargetListener*> m_listeners;
    std::map<std::string, Target> m_targets;
    // Counts what the registry was told: a target's order is its count when first
    // seen, and a forgotten one's is kept below.
    std::uint64_t m_sequence = 0;
    std::map<std::string, std::uint64_t> m_forgotten;
    // Tabs the program closed that the browser may list a moment longer.
    std::set<std::string> m_closing;
};

} // namespace automation::chromium
