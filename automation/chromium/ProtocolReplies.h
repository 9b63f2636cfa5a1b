#pragma once

#include <cstdint>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

// The protocol's answers as the program reads them. Each reader takes the result
// object of one method, whatever its shape, through the checked readers: what it gives
// is in range and of its type, or left out, or the stated default.
namespace automation::chromium {

// What kind of target the browser tells of.
enum class TargetKind
{
    // A tab.
    Page,
    // A cross-site frame, reached as a target of its own.
    Frame,
    // Anything else (workers, the browser's own pages): none of the program's business.
    Other
};

// What the browser says of a tab, a frame or another target.
struct TargetInfo
{
    // "" when the browser gave none the program can keep.
    std::string targetId;
    TargetKind kind = TargetKind::Other;
    std::string url;
    std::string title;
    // The target a frame is below.
    std::string parentId;

    // A tab of the list: a page, but not one of the browser's own tools.
    bool listed() const;
};

// Reads a targetInfo object.
TargetInfo readTargetInfo(const nlohmann::json& info);

// Target.getTargets: every target that has an id.
std::vector<TargetInfo> readTargetInfos(const nlohmann::json& result);
// Target.attachToTarget's session, Target.createTarget's target: "" when none.
std::string readSessionId(const nlohmann::json& result);
std::string readTargetId(const nlohmann::json& result);

enum class WindowState
{
    Normal,
    Minimized,
    Maximized,
    Fullscreen
};

// The protocol's name of the state.
const char* protocolName(WindowState state);

// A browser window as the protocol reports it.
struct WindowBounds
{
    std::int64_t windowId = 0;
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    WindowState state = WindowState::Normal;
};

// What a bounds object says: each place and size only when some screen has it; a
// state the program does not know reads as normal.
struct BoundsReading
{
    std::optional<int> left;
    std::optional<int> top;
    std::optional<int> width;
    std::optional<int> height;
    WindowState state = WindowState::Normal;

    // Takes what was read into the bounds; what was not read stays as it was.
    void applyTo(WindowBounds& bounds) const;
};

BoundsReading readBounds(const nlohmann::json& bounds);

// Browser.getWindowForTarget: the window, when its id is one a handle can hold.
struct WindowOfTarget
{
    std::optional<std::int64_t> windowId;
    BoundsReading bounds;
};

WindowOfTarget readWindowOfTarget(const nlohmann::json& result);
// Browser.getWindowBounds.
BoundsReading readWindowBounds(const nlohmann::json& result);

// Page.createIsolatedWorld: the world's context id, when it is one.
std::optional<std::int64_t> readExecutionContextId(const nlohmann::json& result);

// Runtime.evaluate and Runtime.callFunctionOn: the value, or the exception raised.
struct Evaluation
{
    bool raised = false;
    // Why, when the exception says something readable.
    std::string reason;
    // Null for a value JSON cannot hold (NaN, Infinity, a BigInt).
    nlohmann::json value;
    // The remote object, for a call that did not return by value.
    std::string objectId;
};

Evaluation readEvaluation(const nlohmann::json& result);

// What the list reads from a page, fetched in one evaluation.
struct PageSnapshot
{
    bool busy = false;
    // Nothing when the page's count is not one the program reads (above the limit).
    std::optional<int> frames = 0;
    bool visible = false;
    std::string title;
};

// The snapshot script's value; nothing when it is not an object.
std::optional<PageSnapshot> readSnapshot(const nlohmann::json& value);

// A frame of a page: its id, address and name.
struct FrameAddress
{
    std::string frameId;
    std::string url;
    std::string name;
};

// Page.getFrameTree: the frames below the top, in the tree's order, each once, at
// most kMaxFrames of them and no deeper than kMaxFrameDepth.
std::vector<FrameAddress> readFrameTree(const nlohmann::json& result);

// Runtime.getProperties of an array: its elements' remote objects in index order,
// those below limit only; other properties ("length", "__proto__") are passed over.
struct ArrayElements
{
    std::vector<std::string> objectIds;
    // More elements than the limit were listed.
    bool tooMany = false;
};

ArrayElements readArrayElements(const nlohmann::json& result, int limit);

// DOM.describeNode: the frame the node holds, "" when none.
std::string readNodeFrameId(const nlohmann::json& result);

// Page.getResourceTree: address to byte size, the first of each address; sizes that
// are no whole number of bytes are left out.
std::map<std::string, long long> readResourceSizes(const nlohmann::json& result);

// What kReportItems gives: the collection's Length (raising Error(member) when that is
// no count) and at most maxItems items of `properties` values each, every value page
// text or nothing when it is no string. An item of another shape has no values.
struct PageItems
{
    int length = 0;
    std::vector<std::vector<std::optional<std::string>>> items;
};

PageItems readPageItems(const std::string& member, const nlohmann::json& value,
                        std::size_t properties, int maxItems);

} // namespace automation::chromium
