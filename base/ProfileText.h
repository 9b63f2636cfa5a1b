#pragma once

#include <string>
#include <string_view>

namespace tabulon {

// The profile functions of the settings file, done our own way on its bytes:
// sections and keys are compared without regard to (ASCII) case and with surrounding
// blanks ignored; the first matching section and, in it, the first matching key count;
// a write keeps every other line of the file byte for byte, replaces the key's line or
// adds it at the end of its section, and creates the section (at the end of the file)
// and the file when they are missing. New lines end in CR LF.

// The value of key in section of a profile file's CP932 bytes, as UTF-8; blanks
// around it and one pair of enclosing quotes (" or ') removed; cut to its first 1023
// bytes of CP932 text (never in the middle of a character); "" when missing.
std::string profileRead(std::string_view fileBytes, std::string_view section, std::string_view key);

// The file's bytes after writing key=value into section (UTF-8 arguments, written as
// CP932). CR and LF in the value are dropped, so one value stays one line.
std::string profileWrite(std::string_view fileBytes, std::string_view section, std::string_view key,
                         std::string_view value);

} // namespace tabulon
