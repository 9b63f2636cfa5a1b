#include "automation/PageStyle.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace automation {

namespace {

// Matches every element (no element has three ids) and lends a rule the weight of
// three ids, so that it wins over the page's own !important rules by class and id.
constexpr const char* kWeight = ":not(#tabulon-a#tabulon-b#tabulon-c)";

// Elements whose pixels are their own.
constexpr const char* kOwnPixels = ":not(img, video, canvas, picture, svg, svg *)";

std::string weighted(const std::string& selector)
{
    return selector + kWeight;
}

std::string number(double value)
{
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6);
    std::string out(text, end.ptr);
    while (!out.empty() && out.back() == '0')
        out.pop_back();
    if (!out.empty() && out.back() == '.')
        out.pop_back();
    return out;
}

std::string linkRule(const char* state, std::int32_t rgb)
{
    const std::string link = std::string("a") + state;
    return weighted(link) + ", " + weighted(link + " *" + kOwnPixels) +
           " { color: " + cssColor(rgb) + " !important; }\n";
}

} // namespace

double boundedZoom(double factor)
{
    if (std::isnan(factor))
        return 1;
    return std::fmin(std::fmax(factor, kMinZoom), kMaxZoom);
}

std::string cssColor(std::int32_t rgb)
{
    char text[8];
    std::snprintf(text, sizeof text, "#%06x", static_cast<unsigned>(rgb) & 0xFFFFFFu);
    return text;
}

std::string baseColorSheet(const BaseColors& colors)
{
    const auto& c = colors.rgb;
    std::string sheet = weighted(std::string("*") + kOwnPixels) + " { color: " + cssColor(c[0]) +
                        " !important; background-color: " + cssColor(c[4]) + " !important; }\n";
    // In the order that lets an active visited link show as active.
    sheet += linkRule(":link", c[1]);
    sheet += linkRule(":visited", c[3]);
    sheet += linkRule(":active", c[2]);
    if (colors.noBackgroundImage)
        sheet += weighted("*") + ", " + weighted("*") + "::before, " + weighted("*") +
                 "::after { background-image: none !important; }\n";
    return sheet;
}

std::string keepBodySizeSheet(double factor)
{
    if (boundedZoom(factor) == 1)
        return {};
    // The body's own size property carries the factor too; shown as well, it would
    // scale text in em and percent twice.
    return weighted("body") + " { font-size: 1em !important; }\n";
}

std::string zoomSheet(double factor)
{
    const double zoom = boundedZoom(factor);
    if (zoom == 1)
        return {};
    return weighted(":root") + " { zoom: " + number(zoom) + " !important; }\n" +
           keepBodySizeSheet(factor);
}

} // namespace automation
