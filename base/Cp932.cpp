#include "base/Cp932.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <iconv.h>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tabulon {

namespace {

// Stands in for a byte that no CP932 character accounts for.
constexpr char32_t kByteEscapeBase = 0x10FF00;

// One conversion descriptor per direction and thread: opening one is far dearer than
// a conversion, and a descriptor must not be shared between threads.
class Converter
{
public:
    Converter(const char* to, const char* from) : m_cd(iconv_open(to, from)), m_buffer(16384) {}
    ~Converter()
    {
        if (ok())
            iconv_close(m_cd);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // (iconv_t)-1 is iconv_open's documented failure value, not an address.
    bool ok() const
    {
        return m_cd != reinterpret_cast<iconv_t>(-1); // NOLINT(performance-no-int-to-ptr)
    }

    // Converts as much of in as it can, appending to out. Returns the number of bytes
    // consumed and the errno that stopped it (0 when everything was converted).
    std::pair<std::size_t, int> convert(std::string_view in, std::string& out)
    {
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        char* src = const_cast<char*>(in.data());
        std::size_t srcLeft = in.size();
        while (true) {
            char* dst = m_buffer.data();
            std::size_t dstLeft = m_buffer.size();
            const std::size_t r = iconv(m_cd, &src, &srcLeft, &dst, &dstLeft);
            const int err = r == static_cast<std::size_t>(-1) ? errno : 0;
            out.append(m_buffer.data(), static_cast<std::size_t>(dst - m_buffer.data()));
            if (err == E2BIG)
                continue;
            return {in.size() - srcLeft, err};
        }
    }

private:
    iconv_t m_cd;
    std::vector<char> m_buffer;
};

Converter& decoder()
{
    thread_local Converter c("UTF-8", "CP932");
    return c;
}

// From wide characters rather than UTF-8: glibc converts UTF-8 to CP932 in two steps,
// and a character the second step refuses makes it redo the first step over the whole
// rest of its buffer, which turns a line full of such characters quadratic.
Converter& encoder()
{
    thread_local Converter c("CP932", "WCHAR_T");
    return c;
}

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

void appendEscape(std::string& out, unsigned char b)
{
    appendUtf8(out, kByteEscapeBase + b);
}

// The length of the well-formed UTF-8 sequence at s[i] and the character it encodes,
// or length 0 when the byte there does not start one (overlong forms, surrogates and
// values past U+10FFFF included).
std::pair<std::size_t, char32_t> utf8At(std::string_view s, std::size_t i)
{
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80)
        return {1, b0};
    std::size_t len;
    char32_t c;
    char32_t min;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2;
        c = b0 & 0x1F;
        min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3;
        c = b0 & 0x0F;
        min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4;
        c = b0 & 0x07;
        min = 0x10000;
    } else {
        return {0, 0};
    }
    if (s.size() - i < len)
        return {0, 0};
    for (std::size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80)
            return {0, 0};
        c = (c << 6) | (b & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return {0, 0};
    return {len, c};
}

bool isLeadByte(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

bool isTrailByte(unsigned char b)
{
    return b >= 0x40 && b <= 0xFC && b != 0x7F;
}

// Whether lead followed by next reads back as one double-byte character.
bool joins(char lead, char next)
{
    if (!isLeadByte(static_cast<unsigned char>(lead)) ||
        !isTrailByte(static_cast<unsigned char>(next)))
        return false;
    Converter& conv = decoder();
    if (!conv.ok())
        return false;
    const char pair[2] = {lead, next};
    std::string scratch;
    return conv.convert(std::string_view(pair, 2), scratch).second == 0;
}

// The characters CP932 has more than one code for, each with the codes that toCp932
// does not write for it (NEC's row 13 duplicates, the NEC-selected IBM extensions and a
// few IBM extensions: about 400 codes). Built from the converter itself, once.
const std::unordered_map<char32_t, std::vector<std::string>>& otherCodes()
{
    static const auto table = [] {
        std::unordered_map<char32_t, std::vector<std::string>> codes;
        Converter toWide("WCHAR_T", "CP932");
        Converter fromWide("CP932", "WCHAR_T");
        if (!toWide.ok() || !fromWide.ok())
            return codes;
        for (int lead = 0x81; lead <= 0xFC; ++lead) {
            if (!isLeadByte(static_cast<unsigned char>(lead)))
                continue;
            for (int trail = 0x40; trail <= 0xFC; ++trail) {
                if (!isTrailByte(static_cast<unsigned char>(trail)))
                    continue;
                const std::string code{static_cast<char>(lead), static_cast<char>(trail)};
                std::string wide;
                if (toWide.convert(code, wide).second != 0 || wide.size() != sizeof(wchar_t))
                    continue;
                std::string usual;
                if (fromWide.convert(wide, usual).second == 0 && usual != code) {
                    wchar_t c;
                    std::memcpy(&c, wide.data(), sizeof c);
                    codes[static_cast<char32_t>(c)].push_back(code);
                }
            }
        }
        return codes;
    }();
    return table;
}

// The CP932 bytes of one character; "?" when CP932 lacks it.
std::string encodeAlone(char32_t c)
{
    Converter& conv = encoder();
    if (!conv.ok())
        return c < 0x80 ? std::string(1, static_cast<char>(c)) : std::string("?");
    const auto wide = static_cast<wchar_t>(c);
    std::string bytes;
    if (conv.convert(std::string_view(reinterpret_cast<const char*>(&wide), sizeof wide), bytes)
            .second != 0)
        return "?";
    return bytes;
}

// The bytes to write after the escaped byte at out[at], given the bytes that would
// stand for what comes next (the character c, when it is one). An escaped byte must
// read back as itself, so it may not join with them into a character: the
// character's other code is written where it has one that does not join, and
// otherwise the escaped byte gives way to '?' so that what follows reads back intact.
std::string keepApart(std::string& out, std::size_t at, std::optional<char32_t> c,
                      std::string bytes)
{
    if (bytes.empty() || !joins(out[at], bytes.front()))
        return bytes;
    if (c) {
        const auto& codes = otherCodes();
        if (const auto found = codes.find(*c); found != codes.end()) {
            for (const std::string& code : found->second) {
                if (!joins(out[at], code.front()))
                    return code;
            }
        }
    }
    out[at] = '?';
    return bytes;
}

} // namespace

std::string fromCp932(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    Converter& conv = decoder();
    // Valid text goes to iconv in slices that grow while it converts cleanly and shrink
    // after a bad byte, so text full of bad bytes costs no more per byte than good text
    // (a checked build inspects the whole slice on every call).
    constexpr std::size_t kMinSlice = 256;
    constexpr std::size_t kMaxSlice = std::size_t{1} << 20;
    std::size_t slice = kMinSlice;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        if (conv.ok()) {
            const std::size_t len = std::min(slice, bytes.size() - pos);
            const bool cut = pos + len < bytes.size();
            const auto [used, err] = conv.convert(bytes.substr(pos, len), out);
            pos += used;
            if (err == 0 || (err == EINVAL && cut)) {
                // Done, or the slice ended inside a character that the next one starts.
                slice = std::min(slice * 2, kMaxSlice);
                continue;
            }
            slice = kMinSlice;
        }
        // iconv stops only at a byte that cannot begin a character here (a lead byte
        // with a bad trail, or one cut off at the end). That byte alone is kept as an
        // escape; the next one gets its own chance, as it may well be ordinary text.
        const auto b = static_cast<unsigned char>(bytes[pos]);
        if (!conv.ok() && b < 0x80)
            out += static_cast<char>(b);
        else
            appendEscape(out, b);
        ++pos;
    }
    return out;
}

std::string toCp932(std::string_view utf8)
{
    static_assert(sizeof(wchar_t) == sizeof(char32_t));
    std::string out;
    out.reserve(utf8.size());
    Converter& conv = encoder();
    std::vector<wchar_t> pending;
    constexpr std::size_t kBatch = 4096;
    pending.reserve(std::min(utf8.size(), kBatch));

    // Converts the characters gathered so far; one CP932 lacks becomes '?'.
    auto flush = [&] {
        std::size_t done = 0;
        while (done < pending.size()) {
            if (!conv.ok()) {
                const wchar_t c = pending[done++];
                out += c < 0x80 ? static_cast<char>(c) : '?';
                continue;
            }
            const std::string_view in(reinterpret_cast<const char*>(pending.data() + done),
                                      (pending.size() - done) * sizeof(wchar_t));
            const auto [used, err] = conv.convert(in, out);
            done += used / sizeof(wchar_t);
            if (err != 0) {
                out += '?';
                ++done;
            }
        }
        pending.clear();
    };

    // Where out ends in an escaped byte that the next byte written could complete into
    // a character of its own (npos: it does not); the character after an escape is
    // written alone so that this can be settled before it goes out.
    std::size_t escapedAt = std::string::npos;
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto [len, c] = utf8At(utf8, i);
        i += len == 0 ? 1 : len;
        const bool escape = len != 0 && c >= kByteEscapeBase;
        if (len != 0 && !escape && escapedAt == std::string::npos) {
            pending.push_back(static_cast<wchar_t>(c));
            if (pending.size() == kBatch)
                flush();
            continue;
        }
        flush();
        std::string bytes = len == 0 ? std::string(1, '?')
                            : escape ? std::string(1, static_cast<char>(c - kByteEscapeBase))
                                     : encodeAlone(c);
        if (escapedAt != std::string::npos)
            bytes = keepApart(out, escapedAt,
                              escape || len == 0 ? std::nullopt : std::optional<char32_t>(c),
                              std::move(bytes));
        out += bytes;
        escapedAt = escape ? out.size() - 1 : std::string::npos;
    }
    flush();
    return out;
}

std::string toCp932Line(std::string_view utf8)
{
    std::string kept;
    kept.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto [len, c] = utf8At(utf8, i);
        const std::size_t step = len == 0 ? 1 : len;
        const bool lineBreak = len != 0 && (c == '\r' || c == '\n' || c == kByteEscapeBase + '\r' ||
                                            c == kByteEscapeBase + '\n');
        if (!lineBreak)
            kept.append(utf8.substr(i, step));
        i += step;
    }
    return toCp932(kept);
}

bool isValidCp932(std::string_view bytes)
{
    Converter& conv = decoder();
    if (!conv.ok())
        return false;
    // Converted in slices so a long input never needs a long scratch string.
    constexpr std::size_t kSlice = 65536;
    std::string scratch;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t end = std::min(bytes.size(), pos + kSlice);
        scratch.clear();
        const auto [used, err] = conv.convert(bytes.substr(pos, end - pos), scratch);
        if (err == EINVAL && end < bytes.size()) {
            // The slice ended on a lead byte; carry it over into the next slice.
            pos += used;
            if (used == 0)
                return false;
            continue;
        }
        if (err != 0)
            return false;
        pos = end;
    }
    return true;
}

} // namespace tabulon
