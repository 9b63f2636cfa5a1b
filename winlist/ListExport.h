#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tabulon {

class WebWindowList;

// The kinds of file "一覧を保存..." writes, in the order its Save dialog offers them.
enum class ListFormat
{
    Csv,
    Json,
    Text
};

// The Save dialog's filters, one per ListFormat in that order.
const std::vector<std::string>& listFormatFilters();

// The kind a chosen file is written as: its extension (.csv, .json, .txt, any case)
// decides; a name with another or no extension takes the filter chosen.
ListFormat listFormatFor(std::string_view fileName, int filterIndex);

// One field of a CSV record: quoted when it holds a comma, a quote, CR or LF, with its
// quotes doubled. A text cell that a spreadsheet would run as a formula (one starting
// with = + - @, a tab or CR) gets a leading apostrophe so it is shown as text.
std::string csvField(std::string_view field, bool text = true);

// Bytes that are not UTF-8 become U+FFFD, so every format stays readable.
std::string validUtf8(std::string_view bytes);

// The whole list, every row (filtered out or above the 20th alike), in a file's bytes:
// CSV in UTF-8 with a byte-order mark and CR LF line ends, a header first; JSON an array
// of objects; text one tab-separated line a row.
std::string exportList(const WebWindowList& list, ListFormat format);

} // namespace tabulon
