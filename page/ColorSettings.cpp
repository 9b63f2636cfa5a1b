#include "page/ColorSettings.h"

#include "automation/Error.h"
#include "automation/HtmlDocument.h"
#include "core/ComDialog.h"

#include <cmath>
#include <limits>

namespace tabulon {

using automation::DocumentColor;
using automation::skipOnFailure;

namespace {

const char* const kSection = "HTMColor";

// The keys of entries 0 to 4, and the order in which they are read and written.
constexpr std::array<const char*, 5> kKeys = {"FG", "LG", "AL", "VL", "BG"};
constexpr std::array<int, 5> kFileOrder = {0, 4, 1, 2, 3};

constexpr std::array<DocumentColor, 5> kPageColors = {
    DocumentColor::fgcolor, DocumentColor::linkcolor, DocumentColor::alinkcolor,
    DocumentColor::vlinkcolor, DocumentColor::bgcolor};

// A stored number plus offset as a 32-bit integer, rounded as the settings are;
// nothing when it does not fit.
std::optional<std::int32_t> storedNumber(const std::string& text, double offset)
{
    const double value = std::nearbyint(leadingNumber(text) + offset);
    if (!std::isfinite(value) || value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

} // namespace

std::int32_t ToHtmlColor(std::int32_t c)
{
    const std::int64_t value = c;
    const std::int64_t r = value % 256;
    const std::int64_t g = (value / 256) % 256;
    const std::int64_t b = (value / 256) / 256;
    return static_cast<std::int32_t>(r * 65536 + g * 256 + b);
}

std::optional<std::int32_t> readStoredColor(const std::string& text)
{
    const auto value = storedNumber(text, -1);
    if (!value || *value < 0)
        return std::nullopt;
    return value;
}

int readStoredCheck(const std::string& text)
{
    // A grey state (a stored 1) or anything stranger counts as off.
    const auto value = storedNumber(text, 1);
    return value && *value == 1 ? 1 : 0;
}

void DefaultColors(Module1& module)
{
    for (std::size_t i = 0; i < kDefaultColors.size(); ++i)
        module.HtmColors[i][kEdited] = kDefaultColors[i];
}

int loadColorSettings(Module1& module)
{
    std::array<std::optional<std::int32_t>, 5> stored;
    for (const int entry : kFileOrder)
        stored[static_cast<std::size_t>(entry)] =
            readStoredColor(module.ReadIni(kSection, kKeys[static_cast<std::size_t>(entry)]));
    const int check = readStoredCheck(module.ReadIni(kSection, "GR"));

    for (std::size_t i = 0; i < stored.size(); ++i) {
        // Without a text colour nothing stored counts.
        const auto& value = stored[0] ? stored[i] : std::nullopt;
        module.HtmColors[i][kEdited] = value.value_or(kDefaultColors[i]);
    }
    for (auto& entry : module.HtmColors)
        entry[kApplied] = entry[kEdited];
    return check;
}

void saveColorSettings(Module1& module, int check)
{
    for (const int entry : kFileOrder) {
        const std::int64_t stored =
            static_cast<std::int64_t>(module.HtmColors[static_cast<std::size_t>(entry)][kApplied]) +
            1;
        module.WriteIni(kSection, kKeys[static_cast<std::size_t>(entry)], std::to_string(stored));
    }
    module.WriteIni(kSection, "GR", std::to_string(check - 1));
}

void applyColors(automation::HtmlDocument* document, const ColorTable& colors, int check)
{
    if (!document)
        return;
    if (check == 1)
        skipOnFailure([&] { document->putBodyBackground(""); });
    automation::BaseColors sheet;
    sheet.noBackgroundImage = check == 1;
    for (std::size_t i = 0; i < kPageColors.size(); ++i) {
        sheet.rgb[static_cast<std::size_t>(kPageColors[i])] = ToHtmlColor(colors[i][kApplied]);
        skipOnFailure(
            [&] { document->putColor(kPageColors[i], ToHtmlColor(colors[i][kApplied])); });
    }
    // The properties above show only on pages without style sheets of their own.
    skipOnFailure([&] { document->putBaseColors(sheet); });
}

std::int32_t PickColor(ComDialog& dialog)
{
    return dialog.ShowColor() ? dialog.Color : -1;
}

} // namespace tabulon
