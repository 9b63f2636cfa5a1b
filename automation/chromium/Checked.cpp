#include "automation/chromium/Checked.h"

#include "automation/Error.h"
#include "base/Utf8.h"

#include <cmath>

namespace automation::chromium::checked {

using nlohmann::json;

namespace {

const json& nullValue()
{
    static const json value;
    return value;
}

const json& emptyObject()
{
    static const json value = json::object();
    return value;
}

const json& emptyArray()
{
    static const json value = json::array();
    return value;
}

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

bool isContinuation(unsigned char c)
{
    return (c & 0xC0) == 0x80;
}

std::optional<unsigned> hex4(std::string_view text, std::size_t at)
{
    if (at + 4 > text.size())
        return std::nullopt;
    unsigned value = 0;
    for (std::size_t k = at; k < at + 4; ++k) {
        const char c = text[k];
        value <<= 4;
        if (c >= '0' && c <= '9')
            value |= static_cast<unsigned>(c - '0');
        else if (c >= 'a' && c <= 'f')
            value |= static_cast<unsigned>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            value |= static_cast<unsigned>(c - 'A' + 10);
        else
            return std::nullopt;
    }
    return value;
}

} // namespace

const json& at(const json& object, const char* key)
{
    if (!object.is_object())
        return nullValue();
    const auto it = object.find(key);
    return it == object.end() ? nullValue() : *it;
}

const json& objectAt(const json& object, const char* key)
{
    const json& value = at(object, key);
    return value.is_object() ? value : emptyObject();
}

const json& arrayAt(const json& object, const char* key)
{
    const json& value = at(object, key);
    return value.is_array() ? value : emptyArray();
}

void cutText(std::string& text, std::size_t maxBytes)
{
    if (text.size() <= maxBytes)
        return;
    std::size_t end = maxBytes;
    while (end > 0 && isContinuation(static_cast<unsigned char>(text[end])))
        --end;
    text.resize(end);
}

std::string pageText(std::string text, std::size_t maxBytes)
{
    // U+10FF00..U+10FFFF is F4 8F BC..BF xx in UTF-8.
    for (std::size_t at = text.find('\xF4'); at != std::string::npos;
         at = text.find('\xF4', at + 1)) {
        if (at + 3 < text.size() && static_cast<unsigned char>(text[at + 1]) == 0x8F &&
            static_cast<unsigned char>(text[at + 2]) >= 0xBC &&
            static_cast<unsigned char>(text[at + 2]) <= 0xBF &&
            isContinuation(static_cast<unsigned char>(text[at + 3])))
            text.replace(at, 4, kReplacement);
    }
    cutText(text, maxBytes);
    return text;
}

std::string lineText(std::string text, std::size_t maxBytes)
{
    text = pageText(std::move(text), maxBytes);
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    }
    return text;
}

std::string textAt(const json& object, const char* key, std::size_t maxBytes)
{
    const json& value = at(object, key);
    return value.is_string() ? pageText(value.get<std::string>(), maxBytes) : std::string();
}

std::string lineAt(const json& object, const char* key, std::size_t maxBytes)
{
    const json& value = at(object, key);
    return value.is_string() ? lineText(value.get<std::string>(), maxBytes) : std::string();
}

std::string idAt(const json& object, const char* key)
{
    const json& value = at(object, key);
    if (!value.is_string())
        return {};
    const auto& id = value.get_ref<const std::string&>();
    if (id.empty() || id.size() > limits::kMaxId)
        return {};
    for (const char c : id) {
        if (c <= 0x20 || c >= 0x7F)
            return {};
    }
    return id;
}

std::optional<std::int64_t> integer(const json& value, std::int64_t min, std::int64_t max)
{
    if (value.is_number_integer() && !value.is_number_unsigned()) {
        const auto number = value.get<std::int64_t>();
        if (number >= min && number <= max)
            return number;
        return std::nullopt;
    }
    if (value.is_number_unsigned()) {
        const auto number = value.get<std::uint64_t>();
        if (max >= 0 && number <= static_cast<std::uint64_t>(max) &&
            static_cast<std::int64_t>(number) >= min)
            return static_cast<std::int64_t>(number);
        return std::nullopt;
    }
    if (value.is_number_float()) {
        const double number = value.get<double>();
        // Checked against the range in double first: only then is the cast defined.
        // 2^53 bounds every count and size a browser reports.
        constexpr double kExact = 9007199254740992.0;
        if (!std::isfinite(number) || std::trunc(number) != number || number > kExact ||
            number < -kExact)
            return std::nullopt;
        const auto whole = static_cast<std::int64_t>(number);
        if (whole >= min && whole <= max)
            return whole;
    }
    return std::nullopt;
}

std::optional<std::int64_t> integerAt(const json& object, const char* key, std::int64_t min,
                                      std::int64_t max)
{
    return integer(at(object, key), min, max);
}

std::int64_t requireInteger(const std::string& member, const json& value, std::int64_t min,
                            std::int64_t max, const char* what)
{
    const auto number = integer(value, min, max);
    if (!number)
        throw Error(member, std::string("the page gave no ") + what);
    return *number;
}

bool booleanAt(const json& object, const char* key, bool fallback)
{
    const json& value = at(object, key);
    return value.is_boolean() ? value.get<bool>() : fallback;
}

std::string exceptionReason(const json& details)
{
    // The thrown value's description says the most ("Error: no such link"); the
    // summary text ("Uncaught") is the fallback.
    std::string reason = textAt(objectAt(details, "exception"), "description", 1024);
    if (reason.empty())
        reason = textAt(details, "text", 1024);
    return reason;
}

std::string repairJsonText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '\\' && i + 1 < text.size()) {
            if (text[i + 1] != 'u') {
                // Any other escape, "\\" included, is two characters as they stand.
                out.append(text.substr(i, 2));
                i += 2;
                continue;
            }
            const auto unit = hex4(text, i + 2);
            if (!unit) {
                out.append(text.substr(i, 2));
                i += 2;
                continue;
            }
            if (*unit >= 0xD800 && *unit <= 0xDBFF) {
                const auto next = i + 7 < text.size() && text[i + 6] == '\\' && text[i + 7] == 'u'
                                      ? hex4(text, i + 8)
                                      : std::nullopt;
                if (next && *next >= 0xDC00 && *next <= 0xDFFF) {
                    out.append(text.substr(i, 12));
                    i += 12;
                    continue;
                }
                out += "\\ufffd";
            } else if (*unit >= 0xDC00 && *unit <= 0xDFFF) {
                out += "\\ufffd";
            } else {
                out.append(text.substr(i, 6));
            }
            i += 6;
            continue;
        }
        const std::size_t length = tabulon::utf8SequenceLength(text, i);
        if (length == 0) {
            out += kReplacement;
            ++i;
        } else {
            out.append(text.substr(i, length));
            i += length;
        }
    }
    return out;
}

bool nestsWithin(std::string_view text, int maxDepth)
{
    int depth = 0;
    bool inString = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > maxDepth)
                return false;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return true;
}

} // namespace automation::chromium::checked
