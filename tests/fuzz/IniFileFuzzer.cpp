// The settings file: any bytes read as settings, and a key written into them.
//
// Input: one byte choosing the section, one the key (a name the program uses, or one
// taken from the input), then the NUL-ended names taken from the input, the NUL-ended
// value, and the rest is the file.

#include "FuzzCheck.h"
#include "base/Cp932.h"
#include "base/ProfileText.h"
#include "core/IniFile.h"
#include "core/Module1.h"
#include "page/ColorSettings.h"

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

using namespace tabulon;

namespace {

// The names the program reads and writes, as it writes them and as a hand-edited
// file may give them.
const char* const kSections[] = {"Wposition", "HTMColor", "wPOSITION", " HTMColor\t"};
const char* const kKeys[] = {"x1", "y1", "x2", "y2", "FG", "LG", "AL", "VL", "BG", "GR", " X1 "};

std::string_view takeUntilNul(std::string_view& in)
{
    const std::size_t end = in.find('\0');
    const std::string_view part = in.substr(0, end);
    in.remove_prefix(end == std::string_view::npos ? in.size() : end + 1);
    return part;
}

template <std::size_t N>
std::string chooseName(std::uint8_t choice, const char* const (&known)[N], std::string_view& in)
{
    if (choice % (N + 1) < N)
        return known[choice % (N + 1)];
    return std::string(takeUntilNul(in));
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// A name as the file compares it: line breaks dropped, blanks around it ignored.
std::string normalized(std::string_view name)
{
    std::string s;
    for (char c : name) {
        if (c != '\r' && c != '\n')
            s += c;
    }
    while (!s.empty() && isBlank(s.front()))
        s.erase(s.begin());
    while (!s.empty() && isBlank(s.back()))
        s.pop_back();
    return s;
}

bool sameName(std::string_view a, std::string_view b)
{
    const std::string x = normalized(a);
    const std::string y = normalized(b);
    if (x.size() != y.size())
        return false;
    for (std::size_t i = 0; i < x.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(x[i]) != lower(y[i]))
            return false;
    }
    return true;
}

// Whether a line written with this name is found again by it: the name survives the
// trip through CP932 in its line and holds nothing the line's syntax gives a meaning.
bool findable(std::string_view name, bool isKey)
{
    const std::string n = normalized(name);
    if (!isUtf8(n))
        return false;
    if (isKey)
        return n.find('=') == std::string::npos && (n.empty() || n.front() != '[') &&
               fromCp932(toCp932(n) + "=") == n + "=";
    return n.find(']') == std::string::npos && fromCp932("[" + toCp932(n) + "]") == "[" + n + "]";
}

// A value that reads back exactly as written.
bool plainValue(std::string_view value)
{
    if (value.find_first_of("\r\n") != std::string_view::npos || !isUtf8(value))
        return false;
    const std::string bytes = toCp932(value);
    if (fromCp932(bytes) != value || bytes.size() > 1023)
        return false;
    if (!value.empty() && (isBlank(value.front()) || isBlank(value.back())))
        return false;
    return !(value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
             value.back() == value.front());
}

struct RawLine
{
    std::string_view content;
    std::string_view end;
};

std::vector<RawLine> rawLines(std::string_view bytes)
{
    std::vector<RawLine> lines;
    std::size_t i = 0;
    while (i < bytes.size()) {
        const std::size_t j = bytes.find_first_of("\r\n", i);
        if (j == std::string_view::npos) {
            lines.push_back({bytes.substr(i), {}});
            break;
        }
        const std::size_t endSize =
            bytes[j] == '\r' && j + 1 < bytes.size() && bytes[j + 1] == '\n' ? 2 : 1;
        lines.push_back({bytes.substr(i, j - i), bytes.substr(j, endSize)});
        i = j + endSize;
    }
    return lines;
}

// Every line of the file is in the written file byte for byte, except one replaced
// by the key's line; at most two lines (the section and the key) are new, and a last
// line without a line end may have got one.
bool keepsOtherLines(std::string_view before, std::string_view after)
{
    const std::vector<RawLine> l = rawLines(before);
    const std::vector<RawLine> m = rawLines(after);
    const auto same = [&](std::size_t i, std::size_t j) {
        if (l[i].content != m[j].content)
            return false;
        return l[i].end == m[j].end ||
               (i + 1 == l.size() && l[i].end.empty() && m[j].end == "\r\n");
    };
    std::size_t prefix = 0;
    while (prefix < l.size() && prefix < m.size() && same(prefix, prefix))
        ++prefix;
    std::size_t suffix = 0;
    while (prefix + suffix < l.size() && prefix + suffix < m.size() &&
           same(l.size() - 1 - suffix, m.size() - 1 - suffix))
        ++suffix;
    const std::size_t removed = l.size() - prefix - suffix;
    const std::size_t added = m.size() - prefix - suffix;
    // A key written with the value it had leaves the file as it was.
    return removed <= 1 && added <= 2 && (removed == 0 || added == 1);
}

// What the program does with a value it reads: none of it may misbehave on any text.
void useValue(const std::string& value)
{
    fuzzCheck(isUtf8(value), "a value reads as UTF-8");
    fuzzCheck(toCp932(value).size() <= 1023, "a value is at most 1023 bytes of CP932");
    (void)toLong(leadingNumber(value));
    (void)readStoredCheck(value);
    if (const auto color = readStoredColor(value))
        (void)ToHtmlColor(*color);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view in(reinterpret_cast<const char*>(data), size);
    if (in.size() < 2)
        return 0;
    const auto sectionChoice = static_cast<std::uint8_t>(in[0]);
    const auto keyChoice = static_cast<std::uint8_t>(in[1]);
    in.remove_prefix(2);
    const std::string section = chooseName(sectionChoice, kSections, in);
    const std::string key = chooseName(keyChoice, kKeys, in);
    const std::string value(takeUntilNul(in));
    const std::string file(in);

    for (const char* s : kSections) {
        for (const char* k : kKeys)
            useValue(profileRead(file, s, k));
    }
    useValue(profileRead(file, section, key));

    const std::string written = profileWrite(file, section, key, value);
    fuzzCheck(keepsOtherLines(file, written), "a write keeps every other line byte for byte");
    if (!findable(section, false) || !findable(key, true))
        return 0;

    const std::string readBack = profileRead(written, section, key);
    useValue(readBack);
    fuzzCheck(readBack == profileRead(profileWrite({}, section, key, value), section, key),
              "a written key reads back as it would from a file of its own");
    if (plainValue(value))
        fuzzCheck(readBack == value, "a plain value reads back unchanged");
    fuzzCheck(profileWrite(written, section, key, value) == written,
              "writing the same value again changes nothing");
    for (const char* s : kSections) {
        for (const char* k : kKeys) {
            if (!(sameName(s, section) && sameName(k, key)))
                fuzzCheck(profileRead(written, s, k) == profileRead(file, s, k),
                          "a write leaves the other keys as they were");
        }
    }
    return 0;
}
