#pragma once

#include <string>
#include <string_view>

namespace tabulon {

// The lists, the settings file and the saved report are CP932 (Windows Shift-JIS) on
// disk and UTF-8 inside the program; these convert at the file boundary.

// Decodes CP932 bytes to UTF-8 without losing any: a byte that is not part of a valid
// CP932 character becomes the private-use character U+10FF00 + byte, which toCp932
// turns back into that same byte. NUL bytes stay NUL characters.
//
// What a round trip keeps: fromCp932(toCp932(fromCp932(bytes))) == fromCp932(bytes)
// for any bytes, so a damaged file written back reads back as the same text. The bytes
// themselves come back unchanged too, except for the about 400 codes of characters
// that CP932 has two codes for (NEC's row 13 duplicates such as 0x8790, the
// NEC-selected IBM extensions 0xED40..0xEEFC, a few IBM extensions such as 0xFA4A):
// those are written in the code Windows writes for them. Being the same characters,
// they cannot be told apart once decoded.
std::string fromCp932(std::string_view bytes);

// Encodes UTF-8 text as CP932. U+10FF00..U+10FFFF become the single byte they stand
// for; a character CP932 lacks, or a byte that is not valid UTF-8, becomes '?'.
// An escaped byte never joins what follows into another character: where the next
// character's usual code would complete it, the character's other code is written if
// it has one that does not; failing that, the escaped byte is written as '?', so that
// edited text keeps every character it shows.
std::string toCp932(std::string_view utf8);

// As toCp932, for text that has to stay one line of a file: line breaks (CR, LF and the
// escapes that stand for those bytes) are left out, before encoding, so that taking
// them out cannot bring an escaped byte next to another one.
std::string toCp932Line(std::string_view utf8);

// Whether every byte belongs to a valid CP932 character.
bool isValidCp932(std::string_view bytes);

} // namespace tabulon
