#pragma once

#include <string>
#include <string_view>

namespace tabulon {

// The lists, the settings file and the saved report are CP932 (Windows Shift-JIS) on
// disk and UTF-8 inside the program; these convert at the file boundary.

// Decodes CP932 bytes to UTF-8 without losing any: a byte that is not part of a valid
// CP932 character becomes the private-use character U+10FF00 + byte, which toCp932
// turns back into that same byte. NUL bytes stay NUL characters.
std::string fromCp932(std::string_view bytes);

// Encodes UTF-8 text as CP932. U+10FF00..U+10FFFF become the single byte they stand
// for; a character CP932 lacks, or a byte that is not valid UTF-8, becomes '?'.
std::string toCp932(std::string_view utf8);

// Whether every byte belongs to a valid CP932 character.
bool isValidCp932(std::string_view bytes);

} // namespace tabulon
