#pragma once

#include <memory>
#include <string>

namespace automation {
class HtmlDocument;
}

namespace tabulon {

class WebWindowList;

// The factor as a page's font size takes it, without the "em": at most 15
// significant digits, no trailing zeros, "." as the decimal point whatever the
// locale, and plain decimal notation even where a general conversion would write
// an exponent (below 0.0001, from 1e15 on). Empty for a factor that is not finite.
std::string fontFactorText(double factor);

// The font-size window's target page and factor: "+" and "-" act on the page taken
// at the last GetFontSize, not on the row selected when they are pressed.
class FontSize
{
public:
    // Takes the selected row's page and sets its text to "1em" and its zoom to 1.
    // False when no row is selected (the window then hides); nothing else changes then.
    bool GetFontSize(const WebWindowList& list);
    // Multiplies the factor by step and writes it to the page, as the body's text size
    // and as the page's zoom. False when no row is selected (the window then hides);
    // nothing changes then.
    bool changeBy(const WebWindowList& list, double step);

    const std::shared_ptr<automation::HtmlDocument>& FontDoc() const { return m_fontDoc; }
    double FontRate() const { return m_fontRate; }

private:
    std::shared_ptr<automation::HtmlDocument> m_fontDoc;
    double m_fontRate = 1;
};

} // namespace tabulon
