#pragma once

#include "core/Module1.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace automation {
class HtmlDocument;
}

namespace tabulon {

class ComDialog;

// The table's two columns.
inline constexpr int kApplied = 0;
inline constexpr int kEdited = 1;

// The five base colours' defaults (0x00BBGGRR): text black, link blue, active link
// magenta, visited link dark violet, background white.
inline constexpr std::array<std::int32_t, 5> kDefaultColors = {0, 0xFF0000, 0xFF00FF, 13828244,
                                                               0xFFFFFF};

// 0x00BBGGRR to 0x00RRGGBB, the order in which a page's colour properties take a number.
std::int32_t ToHtmlColor(std::int32_t c);

// A colour as the "HTMColor" section stores it: the number in the text, less one.
// Nothing when the key is missing, reads 0 or less, or does not fit 32 bits.
std::optional<std::int32_t> readStoredColor(const std::string& text);
// The check box state a "GR" value stands for: on (1) for "0" and for a missing key,
// off (0) for "-1" and for any other value.
int readStoredCheck(const std::string& text);

// The five defaults into the edited colours only.
void DefaultColors(Module1& module);

// Reads the "HTMColor" section into the edited colours, then copies them to the
// applied ones; a missing text colour brings back all five defaults, another missing
// colour only its own. Returns the background-image option's check box state.
int loadColorSettings(Module1& module);

// Writes the applied colours and the check box state to the "HTMColor" section.
void saveColorSettings(Module1& module, int check);

// Puts the applied colours on a page: with check 1 it first removes the page's
// background image. The colour properties are followed by a style sheet in the same
// colours (without background images with check 1) that shows on pages with style
// sheets of their own. Each step that fails is skipped; no document changes nothing.
void applyColors(automation::HtmlDocument* document, const ColorTable& colors, int check);

// The colour dialog, starting from the colour last chosen in it: the chosen colour,
// or -1 when the user cancels.
std::int32_t PickColor(ComDialog& dialog);

} // namespace tabulon
