#pragma once

#include "automation/Limits.h"

#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

// Reads of what the browser, a page or a DevTools peer sends. Every value from outside
// goes through these: whatever its shape, a read gives the value asked for, the stated
// default, or automation::Error naming the member. Never another exception (the
// library's own type_error and out_of_range stay out of reach), never a number cast
// out of its range.
namespace automation::chromium::checked {

// The member, or null when the value is not an object or lacks it.
const nlohmann::json& at(const nlohmann::json& object, const char* key);
// The member when it is an object (an array); an empty one otherwise.
const nlohmann::json& objectAt(const nlohmann::json& object, const char* key);
const nlohmann::json& arrayAt(const nlohmann::json& object, const char* key);

// Text a page chose, made safe to keep: the characters the list files' codec would
// write back as raw bytes (U+10FF00..U+10FFFF) become U+FFFD, and it is cut to at
// most maxBytes without splitting a character.
std::string pageText(std::string text, std::size_t maxBytes = limits::kMaxPageText);
// The same for a value shown on one line (a title, an address): control characters,
// line breaks among them, become blanks.
std::string lineText(std::string text, std::size_t maxBytes);
// Cuts UTF-8 text to at most maxBytes on a character boundary.
void cutText(std::string& text, std::size_t maxBytes);

// A string member as page text; "" when missing or not a string.
std::string textAt(const nlohmann::json& object, const char* key,
                   std::size_t maxBytes = limits::kMaxPageText);
// A string member as a one-line value; "" when missing or not a string.
std::string lineAt(const nlohmann::json& object, const char* key, std::size_t maxBytes);
// An id (of a tab, window, frame, session): 1 to kMaxId printable ASCII characters;
// "" for anything else.
std::string idAt(const nlohmann::json& object, const char* key);

// A whole number in [min, max]: a JSON integer, or a number without a fraction;
// nothing for any other value (NaN cannot be written in JSON, and 1e300 is out of range).
std::optional<std::int64_t> integer(const nlohmann::json& value, std::int64_t min,
                                    std::int64_t max);
std::optional<std::int64_t> integerAt(const nlohmann::json& object, const char* key,
                                      std::int64_t min, std::int64_t max);
// The same, raising automation::Error(member, "the page gave no <what>") otherwise.
std::int64_t requireInteger(const std::string& member, const nlohmann::json& value,
                            std::int64_t min, std::int64_t max, const char* what);
// A boolean member; fallback when missing or of another kind.
bool booleanAt(const nlohmann::json& object, const char* key, bool fallback);

// Why an evaluation failed, from its exceptionDetails, whatever their shape; "" when
// they say nothing readable.
std::string exceptionReason(const nlohmann::json& details);

// Protocol text that failed to parse, mended where a browser legitimately sends what
// the JSON reader refuses: an escaped lone surrogate (a page's string cut inside a
// character) and bytes that are not UTF-8 become U+FFFD. Anything else is kept as it
// is, so that text broken in other ways still fails.
std::string repairJsonText(std::string_view text);

// Whether JSON text nests no deeper than maxDepth (strings are passed over).
bool nestsWithin(std::string_view text, int maxDepth);

} // namespace automation::chromium::checked
