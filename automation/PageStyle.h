#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace automation {

// The base colours a page is shown in, each 0xRRGGBB in the order of DocumentColor,
// and whether the page's background images go.
struct BaseColors
{
    std::array<std::int32_t, 5> rgb{};
    bool noBackgroundImage = false;
};

// The zoom a browser shows a page at, at least and at most: a text factor beyond
// them shows as the nearest.
inline constexpr double kMinZoom = 0.3;
inline constexpr double kMaxZoom = 5;

// The factor within the zoom's bounds; 1 for one that is not a number.
double boundedZoom(double factor);

// A colour as style sheets write it: "#rrggbb" from the low 24 bits of 0xRRGGBB.
std::string cssColor(std::int32_t rgb);

// The style sheet that shows a page in the base colours over the page's own styles,
// the page's !important ones by class or id included: text and background on every
// element (form fields and code blocks too), the three link colours on links, and no
// background images when they are to go. Images, video, canvas and SVG keep their
// own pixels. Only the numbers of the colours reach the text.
std::string baseColorSheet(const BaseColors& colors);

// The style sheet that zooms a page by the bounded factor and keeps the body's text
// at the size the page had at factor 1, so that the zoom alone scales what is seen.
// Empty at factor 1.
std::string zoomSheet(double factor);
// The same without the zoom, for a browser that zooms the page itself.
std::string keepBodySizeSheet(double factor);

} // namespace automation
