#include "winlist/ListExport.h"

#include "base/AsciiText.h"
#include "base/Utf8.h"
#include "winlist/WebWindowList.h"

#include <array>
#include <charconv>
#include <nlohmann/json.hpp>

namespace tabulon {

namespace {

constexpr std::array<const char*, 7> kFields = {"name",   "state",   "height", "width",
                                                "frames", "address", "browser"};
// The fields that hold numbers; the others are text a page or a browser chose.
constexpr std::array<bool, 7> kNumeric = {false, false, true, true, true, false, false};

std::array<std::string, 7> cells(const ListRow& row)
{
    return {validUtf8(row.text),   validUtf8(row.sub[0]), validUtf8(row.sub[1]),
            validUtf8(row.sub[2]), validUtf8(row.sub[3]), validUtf8(row.sub[4]),
            validUtf8(row.browser)};
}

std::string csvRecord(const std::array<std::string, 7>& fields, bool header)
{
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            line += ',';
        line += csvField(fields[i], header || !kNumeric[i]);
    }
    return line + "\r\n";
}

// A cell in a text line: its tabs and line ends would split the row.
std::string textCell(std::string cell)
{
    for (char& c : cell) {
        if (c == '\t' || c == '\r' || c == '\n')
            c = ' ';
    }
    return cell;
}

nlohmann::ordered_json jsonNumber(const std::string& cell)
{
    long long value = 0;
    const auto [end, error] = std::from_chars(cell.data(), cell.data() + cell.size(), value);
    if (cell.empty() || error != std::errc() || end != cell.data() + cell.size())
        return nullptr;
    return value;
}

} // namespace

const std::vector<std::string>& listFormatFilters()
{
    static const std::vector<std::string> filters = {"CSV (*.csv)", "JSON (*.json)",
                                                     "テキスト (*.txt)"};
    return filters;
}

ListFormat listFormatFor(std::string_view fileName, int filterIndex)
{
    const std::size_t slash = fileName.find_last_of('/');
    const std::string_view base =
        slash == std::string_view::npos ? fileName : fileName.substr(slash + 1);
    const std::size_t dot = base.find_last_of('.');
    const std::string extension =
        dot == std::string_view::npos ? std::string() : asciiLower(base.substr(dot));
    if (extension == ".csv")
        return ListFormat::Csv;
    if (extension == ".json")
        return ListFormat::Json;
    if (extension == ".txt")
        return ListFormat::Text;
    switch (filterIndex) {
    case 1:
        return ListFormat::Json;
    case 2:
        return ListFormat::Text;
    default:
        return ListFormat::Csv;
    }
}

std::string csvField(std::string_view field, bool text)
{
    std::string value(field);
    if (text && !value.empty() &&
        (value[0] == '=' || value[0] == '+' || value[0] == '-' || value[0] == '@' ||
         value[0] == '\t' || value[0] == '\r'))
        value.insert(0, 1, '\'');
    if (value.find_first_of(",\"\r\n") == std::string::npos)
        return value;
    std::string quoted = "\"";
    for (const char c : value) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

std::string validUtf8(std::string_view bytes)
{
    std::string result;
    result.reserve(bytes.size());
    while (!bytes.empty()) {
        const std::size_t length = utf8SequenceLength(bytes, 0);
        if (length == 0) {
            result += "\xEF\xBF\xBD";
            bytes.remove_prefix(1);
        } else {
            result.append(bytes.substr(0, length));
            bytes.remove_prefix(length);
        }
    }
    return result;
}

std::string exportList(const WebWindowList& list, ListFormat format)
{
    std::string out;
    switch (format) {
    case ListFormat::Csv: {
        out = "\xEF\xBB\xBF";
        std::array<std::string, 7> header;
        for (std::size_t i = 0; i < kFields.size(); ++i)
            header[i] = kFields[i];
        out += csvRecord(header, true);
        for (const ListRow& row : list.rows())
            out += csvRecord(cells(row), false);
        break;
    }
    case ListFormat::Json: {
        nlohmann::ordered_json rows = nlohmann::ordered_json::array();
        for (const ListRow& row : list.rows()) {
            const auto values = cells(row);
            nlohmann::ordered_json object = nlohmann::ordered_json::object();
            for (std::size_t i = 0; i < kFields.size(); ++i)
                object[kFields[i]] =
                    kNumeric[i] ? jsonNumber(values[i]) : nlohmann::ordered_json(values[i]);
            rows.push_back(std::move(object));
        }
        out = rows.dump(2) + "\n";
        break;
    }
    case ListFormat::Text:
        for (const ListRow& row : list.rows()) {
            const auto values = cells(row);
            for (std::size_t i = 0; i < values.size(); ++i)
                out += (i > 0 ? "\t" : "") + textCell(values[i]);
            out += '\n';
        }
        break;
    }
    return out;
}

} // namespace tabulon
