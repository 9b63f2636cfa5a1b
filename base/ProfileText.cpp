#include "base/ProfileText.h"

#include "base/Cp932.h"

#include <cstddef>
#include <optional>
#include <utility>
#include <vector>

namespace tabulon {

namespace {

// Windows hands a profile value back in a 1024-byte buffer with room for the NUL.
constexpr std::size_t kMaxValueBytes = 1023;

struct Line
{
    std::size_t begin;
    std::size_t contentEnd; // where the line end starts
    std::size_t end;        // past the line end
};

std::vector<Line> splitLines(std::string_view bytes)
{
    std::vector<Line> lines;
    std::size_t begin = 0;
    while (begin < bytes.size()) {
        std::size_t i = bytes.find_first_of("\r\n", begin);
        if (i == std::string_view::npos) {
            lines.push_back({begin, bytes.size(), bytes.size()});
            break;
        }
        std::size_t end = i + 1;
        if (bytes[i] == '\r' && end < bytes.size() && bytes[end] == '\n')
            ++end;
        lines.push_back({begin, i, end});
        begin = end;
    }
    return lines;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// Blanks and tabs are single bytes in CP932 and never a trail byte, so trimming them
// works the same on CP932 bytes and on UTF-8.
std::string_view trim(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Folding ASCII on UTF-8 is safe: no byte of a multibyte sequence is ASCII.
bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    }
    return true;
}

std::string withoutLineBreaks(std::string s)
{
    std::erase_if(s, [](char c) { return c == '\r' || c == '\n'; });
    return s;
}

// A name as given by the caller, in the form it is compared in.
std::string normalizedName(std::string_view utf8)
{
    return std::string(trim(withoutLineBreaks(std::string(utf8))));
}

// The section name when the line is a section header. The name is looked for in the
// decoded text because a trail byte of a CP932 character can be ']'.
std::optional<std::string> sectionName(std::string_view content)
{
    const std::string_view t = trim(content);
    if (t.empty() || t.front() != '[')
        return std::nullopt;
    const std::string text = fromCp932(t.substr(1));
    const std::size_t close = text.find(']');
    return std::string(trim(std::string_view(text).substr(0, close)));
}

struct Location
{
    bool sectionFound = false;
    std::size_t lastNonBlankLine = 0; // in the section, its header included
    std::optional<std::size_t> keyLine;
    std::size_t valueBegin = 0; // byte offset just past the '='
};

Location locate(std::string_view bytes, const std::vector<Line>& lines, std::string_view section,
                std::string_view key)
{
    Location loc;
    for (std::size_t n = 0; n < lines.size(); ++n) {
        const Line& line = lines[n];
        const std::string_view content = bytes.substr(line.begin, line.contentEnd - line.begin);
        const std::optional<std::string> name = sectionName(content);
        if (name) {
            if (loc.sectionFound)
                break; // the first matching section is the one that counts
            if (equalsIgnoringCase(*name, section)) {
                loc.sectionFound = true;
                loc.lastNonBlankLine = n;
            }
            continue;
        }
        if (!loc.sectionFound)
            continue;
        if (!trim(content).empty())
            loc.lastNonBlankLine = n;
        // '=' is never a trail byte, so the first one in the bytes is the first character.
        const std::size_t eq = content.find('=');
        if (eq == std::string_view::npos)
            continue;
        if (equalsIgnoringCase(fromCp932(trim(content.substr(0, eq))), key)) {
            loc.keyLine = n;
            loc.valueBegin = line.begin + eq + 1;
            break;
        }
    }
    return loc;
}

bool isLeadByte(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// The longest prefix of at most limit bytes that ends between two characters.
std::string_view cutBytes(std::string_view bytes, std::size_t limit)
{
    if (bytes.size() <= limit)
        return bytes;
    std::size_t i = 0;
    while (i < limit) {
        std::size_t len = 1;
        if (isLeadByte(static_cast<unsigned char>(bytes[i])) && i + 1 < bytes.size() &&
            isValidCp932(bytes.substr(i, 2)))
            len = 2;
        if (i + len > limit)
            break;
        i += len;
    }
    return bytes.substr(0, i);
}

// CP932 text for one line of the file: line breaks cannot be part of it.
std::string lineText(std::string_view utf8)
{
    return toCp932Line(utf8);
}

} // namespace

std::string profileRead(std::string_view fileBytes, std::string_view section, std::string_view key)
{
    const std::vector<Line> lines = splitLines(fileBytes);
    const Location loc = locate(fileBytes, lines, normalizedName(section), normalizedName(key));
    if (!loc.keyLine)
        return {};
    const Line& line = lines[*loc.keyLine];
    std::string_view value =
        trim(fileBytes.substr(loc.valueBegin, line.contentEnd - loc.valueBegin));
    // Quotes and blanks are single bytes below every trail byte, so checking the raw
    // ends is exact.
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return fromCp932(cutBytes(value, kMaxValueBytes));
}

std::string profileWrite(std::string_view fileBytes, std::string_view section, std::string_view key,
                         std::string_view value)
{
    const std::string sectionName = normalizedName(section);
    const std::string keyName = normalizedName(key);
    const std::vector<Line> lines = splitLines(fileBytes);
    const Location loc = locate(fileBytes, lines, sectionName, keyName);
    const std::string keyLine = lineText(keyName) + '=' + lineText(value) + "\r\n";

    std::string out;
    out.reserve(fileBytes.size() + keyLine.size() + sectionName.size() + 6);
    if (loc.keyLine) {
        const Line& line = lines[*loc.keyLine];
        out.append(fileBytes.substr(0, line.begin));
        out.append(keyLine);
        out.append(fileBytes.substr(line.end));
    } else if (loc.sectionFound) {
        const Line& after = lines[loc.lastNonBlankLine];
        out.append(fileBytes.substr(0, after.end));
        if (after.end == after.contentEnd)
            out.append("\r\n"); // that line was the last and had no line end
        out.append(keyLine);
        out.append(fileBytes.substr(after.end));
    } else {
        out.append(fileBytes);
        if (!lines.empty() && lines.back().end == lines.back().contentEnd)
            out.append("\r\n");
        out.append("[" + lineText(sectionName) + "]\r\n");
        out.append(keyLine);
    }
    return out;
}

} // namespace tabulon
