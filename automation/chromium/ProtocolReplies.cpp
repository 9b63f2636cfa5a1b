#include "automation/chromium/ProtocolReplies.h"

#include "automation/Limits.h"
#include "automation/chromium/Checked.h"

#include <algorithm>
#include <limits>
#include <set>

namespace automation::chromium {

using nlohmann::json;

namespace {

// Places and sizes no screen has.
constexpr std::int64_t kFar = 1'000'000;

TargetKind kindOf(const json& info)
{
    const std::string type = checked::lineAt(info, "type", 64);
    if (type == "page")
        return TargetKind::Page;
    if (type == "iframe")
        return TargetKind::Frame;
    return TargetKind::Other;
}

void collectFrames(const json& tree, std::vector<FrameAddress>& frames, std::set<std::string>& seen,
                   int depth)
{
    if (depth > limits::kMaxFrameDepth || frames.size() >= limits::kMaxFrames)
        return;
    const json& frame = checked::objectAt(tree, "frame");
    FrameAddress address{checked::idAt(frame, "id"),
                         checked::lineAt(frame, "url", limits::kMaxAddress),
                         checked::lineAt(frame, "name", limits::kMaxPageText)};
    if (const std::string fragment = checked::lineAt(frame, "urlFragment", limits::kMaxAddress);
        !fragment.empty())
        address.url = checked::lineText(address.url + fragment, limits::kMaxAddress);
    if (depth > 0 && !address.frameId.empty() && seen.insert(address.frameId).second)
        frames.push_back(std::move(address));
    for (const json& child : checked::arrayAt(tree, "childFrames"))
        collectFrames(child, frames, seen, depth + 1);
}

// The index an array element's property name stands for, below limit; nothing for
// other properties ("length", "__proto__").
std::optional<int> elementIndex(const std::string& name, int limit)
{
    if (name.empty() || name.size() > 9 ||
        !std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const int index = std::stoi(name);
    return index < limit ? std::optional<int>(index) : std::nullopt;
}

void collectResources(const json& tree, std::map<std::string, long long>& sizes, int depth)
{
    if (depth > limits::kMaxFrameDepth)
        return;
    for (const json& resource : checked::arrayAt(tree, "resources")) {
        // Sizes are whole bytes; another number is no size.
        const auto size = checked::integerAt(resource, "contentSize", 0, std::int64_t{1} << 53);
        if (size)
            sizes.emplace(checked::textAt(resource, "url"), *size);
    }
    for (const json& child : checked::arrayAt(tree, "childFrames"))
        collectResources(child, sizes, depth + 1);
}

} // namespace

bool TargetInfo::listed() const
{
    return kind == TargetKind::Page && url.rfind("devtools://", 0) != 0;
}

TargetInfo readTargetInfo(const json& info)
{
    return {checked::idAt(info, "targetId"), kindOf(info),
            checked::lineAt(info, "url", limits::kMaxAddress),
            checked::lineAt(info, "title", limits::kMaxPageText), checked::idAt(info, "parentId")};
}

std::vector<TargetInfo> readTargetInfos(const json& result)
{
    std::vector<TargetInfo> targets;
    for (const json& info : checked::arrayAt(result, "targetInfos")) {
        TargetInfo target = readTargetInfo(info);
        if (!target.targetId.empty())
            targets.push_back(std::move(target));
    }
    return targets;
}

std::string readSessionId(const json& result)
{
    return checked::idAt(result, "sessionId");
}

std::string readTargetId(const json& result)
{
    return checked::idAt(result, "targetId");
}

const char* protocolName(WindowState state)
{
    switch (state) {
    case WindowState::Normal:
        return "normal";
    case WindowState::Minimized:
        return "minimized";
    case WindowState::Maximized:
        return "maximized";
    case WindowState::Fullscreen:
        return "fullscreen";
    }
    return "normal";
}

void BoundsReading::applyTo(WindowBounds& bounds) const
{
    bounds.left = left.value_or(bounds.left);
    bounds.top = top.value_or(bounds.top);
    bounds.width = width.value_or(bounds.width);
    bounds.height = height.value_or(bounds.height);
    bounds.state = state;
}

BoundsReading readBounds(const json& bounds)
{
    BoundsReading reading;
    const auto read = [&](const char* key, std::int64_t min) -> std::optional<int> {
        if (const auto value = checked::integerAt(bounds, key, min, kFar))
            return static_cast<int>(*value);
        return std::nullopt;
    };
    reading.left = read("left", -kFar);
    reading.top = read("top", -kFar);
    reading.width = read("width", 0);
    reading.height = read("height", 0);
    const std::string state = checked::lineAt(bounds, "windowState", 32);
    if (state == "minimized")
        reading.state = WindowState::Minimized;
    else if (state == "maximized")
        reading.state = WindowState::Maximized;
    else if (state == "fullscreen")
        reading.state = WindowState::Fullscreen;
    return reading;
}

WindowOfTarget readWindowOfTarget(const json& result)
{
    // The handle made of the id must stay among the browser windows' handles.
    return {checked::integerAt(result, "windowId", 1, 0xFFFFFFFF),
            readBounds(checked::objectAt(result, "bounds"))};
}

BoundsReading readWindowBounds(const json& result)
{
    return readBounds(checked::objectAt(result, "bounds"));
}

std::optional<std::int64_t> readExecutionContextId(const json& result)
{
    return checked::integerAt(result, "executionContextId", 1,
                              std::numeric_limits<std::int32_t>::max());
}

Evaluation readEvaluation(const json& result)
{
    Evaluation evaluation;
    const json& details = checked::at(result, "exceptionDetails");
    evaluation.raised = !details.is_null();
    if (evaluation.raised)
        evaluation.reason = checked::exceptionReason(details);
    const json& remote = checked::objectAt(result, "result");
    evaluation.value = checked::at(remote, "value");
    evaluation.objectId = checked::idAt(remote, "objectId");
    return evaluation;
}

std::optional<PageSnapshot> readSnapshot(const json& value)
{
    if (!value.is_object())
        return std::nullopt;
    PageSnapshot snapshot;
    snapshot.busy = checked::lineAt(value, "ready", 64) != "complete";
    snapshot.frames.reset();
    if (const auto frames = checked::integerAt(value, "frames", 0, limits::kMaxFrames))
        snapshot.frames = static_cast<int>(*frames);
    snapshot.visible = checked::booleanAt(value, "visible", false);
    snapshot.title = checked::lineAt(value, "title", limits::kMaxPageText);
    return snapshot;
}

std::vector<FrameAddress> readFrameTree(const json& result)
{
    std::vector<FrameAddress> frames;
    std::set<std::string> seen;
    collectFrames(checked::objectAt(result, "frameTree"), frames, seen, 0);
    return frames;
}

ArrayElements readArrayElements(const json& result, int limit)
{
    std::vector<std::pair<int, std::string>> elements;
    for (const json& property : checked::arrayAt(result, "result")) {
        const auto index = elementIndex(checked::lineAt(property, "name", 16), limit);
        std::string objectId = checked::idAt(checked::objectAt(property, "value"), "objectId");
        if (index && !objectId.empty())
            elements.emplace_back(*index, std::move(objectId));
    }
    ArrayElements read;
    read.tooMany = elements.size() > static_cast<std::size_t>(std::max(limit, 0));
    std::sort(elements.begin(), elements.end());
    for (auto& element : elements)
        read.objectIds.push_back(std::move(element.second));
    return read;
}

std::string readNodeFrameId(const json& result)
{
    return checked::idAt(checked::objectAt(result, "node"), "frameId");
}

std::map<std::string, long long> readResourceSizes(const json& result)
{
    std::map<std::string, long long> sizes;
    collectResources(checked::objectAt(result, "frameTree"), sizes, 0);
    return sizes;
}

PageItems readPageItems(const std::string& member, const json& value, std::size_t properties,
                        int maxItems)
{
    PageItems read;
    read.length = static_cast<int>(checked::requireInteger(member, checked::at(value, "length"), 0,
                                                           std::numeric_limits<std::int32_t>::max(),
                                                           "count"));
    // Never more than asked for, nor than the collection has.
    const auto most = static_cast<std::size_t>(std::max(std::min(maxItems, read.length), 0));
    for (const json& item : checked::arrayAt(value, "items")) {
        if (read.items.size() >= most)
            break;
        std::vector<std::optional<std::string>> values(properties);
        if (item.is_array() && item.size() == properties) {
            for (std::size_t p = 0; p < properties; ++p) {
                if (item[p].is_string())
                    values[p] = checked::pageText(item[p].get<std::string>());
            }
        }
        read.items.push_back(std::move(values));
    }
    return read;
}

} // namespace automation::chromium
