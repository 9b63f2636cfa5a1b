// The code-page conversion at the file boundary: any bytes decoded, and any text
// (well-formed UTF-8 or not) encoded.

#include "FuzzCheck.h"
#include "base/Cp932.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using namespace tabulon;

namespace {

constexpr char32_t kEscapeBase = 0x10FF00;

// One unit of text as the encoder takes it: a well-formed UTF-8 character, or a
// single byte that does not start one.
struct Unit
{
    std::string_view bytes;
    char32_t character; // 0xFFFFFFFF for a stray byte
};

Unit unitAt(std::string_view s, std::size_t i)
{
    for (std::size_t len = 1; len <= 4 && i + len <= s.size(); ++len) {
        const std::string_view candidate = s.substr(i, len);
        if (isUtf8(candidate)) {
            char32_t c = static_cast<unsigned char>(candidate[0]);
            if (len > 1) {
                c &= 0x3F >> (len - 1);
                for (std::size_t k = 1; k < len; ++k)
                    c = (c << 6) | (static_cast<unsigned char>(candidate[k]) & 0x3F);
            }
            return {candidate, c};
        }
    }
    return {s.substr(i, 1), 0xFFFFFFFF};
}

bool hasEscape(std::string_view utf8)
{
    for (std::size_t i = 0; i < utf8.size();) {
        const Unit u = unitAt(utf8, i);
        if (u.character != 0xFFFFFFFF && u.character >= kEscapeBase)
            return true;
        i += u.bytes.size();
    }
    return false;
}

bool isLineBreak(char32_t c)
{
    return c == '\r' || c == '\n' || c == kEscapeBase + '\r' || c == kEscapeBase + '\n';
}

// The length of the CP932 character at bytes[i]: 2 for a valid double-byte character,
// else 1.
std::size_t charAt(std::string_view bytes, std::size_t i)
{
    return i + 1 < bytes.size() && isValidCp932(bytes.substr(i, 2)) &&
                   !isValidCp932(bytes.substr(i, 1))
               ? 2
               : 1;
}

std::vector<std::string_view> characters(std::string_view bytes)
{
    std::vector<std::string_view> result;
    for (std::size_t i = 0; i < bytes.size();) {
        result.push_back(bytes.substr(i, charAt(bytes, i)));
        i += result.back().size();
    }
    return result;
}

// Whether written holds the characters of read byte for byte, but for characters
// CP932 has two codes for, written in the other code.
bool sameBytesOrTwinCodes(std::string_view read, std::string_view written)
{
    const std::vector<std::string_view> a = characters(read);
    const std::vector<std::string_view> b = characters(written);
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i] &&
            (a[i].size() != 2 || b[i].size() != 2 || fromCp932(a[i]) != fromCp932(b[i])))
            return false;
    }
    return true;
}

bool isEscape(const Unit& u)
{
    return u.character != 0xFFFFFFFF && u.character >= kEscapeBase;
}

// Text encodes character by character: each character as it encodes alone, or in its
// other code, or (an escaped byte) as '?'; and no escaped byte joins its neighbour
// into another character, so the bytes read back as the pieces did alone. Without
// escapes each character takes its usual code. A line break comes only from a line
// break or the escape of one, and none at all from a text meant for one line.
void checkEncoding(std::string_view text)
{
    const std::string encoded = toCp932(text);
    std::string oneByOne;
    std::string readAlone;
    std::string withoutBreaks;
    std::size_t lineBreaks = 0;
    bool escapes = false;
    std::size_t at = 0;
    bool inPieces = true;
    for (std::size_t i = 0; i < text.size();) {
        const Unit u = unitAt(text, i);
        i += u.bytes.size();
        const std::string alone = toCp932(u.bytes);
        oneByOne += alone;
        if (isLineBreak(u.character))
            ++lineBreaks;
        else
            withoutBreaks += u.bytes;
        fuzzCheck(isLineBreak(u.character) || alone.find_first_of("\r\n") == std::string::npos,
                  "only a line break encodes as one");
        escapes = escapes || isEscape(u);
        if (!isEscape(u))
            fuzzCheck(isValidCp932(alone), "a character encodes as CP932 or '?'");
        if (!inPieces)
            continue;
        const std::string_view piece = std::string_view(encoded).substr(at, alone.size());
        if (piece == alone || (isEscape(u) && piece == "?") ||
            (alone.size() == 2 && isValidCp932(piece) && fromCp932(piece) == fromCp932(alone))) {
            readAlone += fromCp932(piece);
            at += piece.size();
        } else {
            inPieces = false;
        }
    }
    fuzzCheck(inPieces && at == encoded.size(), "text encodes character by character");
    fuzzCheck(fromCp932(encoded) == readAlone, "an escaped byte joins no neighbour");
    if (!escapes)
        fuzzCheck(encoded == oneByOne, "without escapes each character takes its usual code");
    std::size_t encodedBreaks = 0;
    for (char c : encoded)
        encodedBreaks += c == '\r' || c == '\n';
    fuzzCheck(encodedBreaks <= lineBreaks, "no line break is made up");
    const std::string line = toCp932Line(text);
    fuzzCheck(line.find_first_of("\r\n") == std::string::npos, "a line stays one line");
    fuzzCheck(line == toCp932(withoutBreaks), "a line is the text without its line breaks");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    // Decoding: any bytes give well-formed text that encodes back to the same bytes
    // (a character with two codes may come back in its other one) and reads back as
    // the same text; only bytes that are not CP932 become escapes.
    const std::string text = fromCp932(bytes);
    fuzzCheck(isUtf8(text), "decoded text is UTF-8");
    const std::string written = toCp932(text);
    fuzzCheck(sameBytesOrTwinCodes(bytes, written), "decoded text encodes back to its bytes");
    fuzzCheck(fromCp932(written) == text, "decoded text survives a save");
    if (isValidCp932(bytes))
        fuzzCheck(!hasEscape(text), "valid CP932 decodes without escapes");

    // A line break ends whatever came before it: lines decode alone as in the file.
    if (!bytes.empty()) {
        const std::size_t cut = data[0] % bytes.size();
        const std::string_view head = bytes.substr(0, cut);
        const std::string_view tail = bytes.substr(cut);
        for (const char* br : {"\r\n", "\n", "\r"}) {
            const std::string joined = std::string(head) + br + std::string(tail);
            fuzzCheck(fromCp932(joined) == fromCp932(head) + br + fromCp932(tail),
                      "a line break ends the character before it");
        }
    }

    // Encoding: the input taken as text, and decoded text put together from two
    // pieces, as an edit does.
    checkEncoding(bytes);
    if (!bytes.empty()) {
        const std::size_t cut = data[0] % bytes.size();
        checkEncoding(fromCp932(bytes.substr(cut)) + fromCp932(bytes.substr(0, cut)));
    }
    return 0;
}
