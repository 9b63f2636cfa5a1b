#pragma once

#include <string>
#include <string_view>

namespace automation {
class FileSystem;
}

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

// The settings file itself, read and written key by key through the file system.
// A file that is there but cannot be read (too large, not readable, failing) reads as
// one without keys, so the program runs on its defaults, and is never written: the one
// key would replace everything else the user kept in it. Something other than an
// ordinary file in its place (a FIFO, a device, a folder) is neither read nor replaced.
class IniFile
{
public:
    IniFile(automation::FileSystem& files, std::string path);

    // "" when the file, the section or the key is missing, or the file cannot be read.
    std::string read(std::string_view section, std::string_view key) const;
    // Replaces the file atomically; false when it could not be written or read.
    bool write(std::string_view section, std::string_view key, std::string_view value);

    const std::string& path() const { return m_path; }

private:
    automation::FileSystem& m_files;
    std::string m_path;
};

} // namespace tabulon
