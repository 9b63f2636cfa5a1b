#include "page/FontSize.h"

#include "automation/Error.h"
#include "automation/HtmlDocument.h"
#include "page/SelectedPage.h"
#include "winlist/WebWindowList.h"

#include <charconv>
#include <cmath>

namespace tabulon {

using automation::skipOnFailure;

namespace {

constexpr int kDigits = 15;

// Writes the factor's text to the page; a page that is gone or has no body keeps
// its size.
void putFactor(automation::HtmlDocument* page, double factor)
{
    const std::string text = fontFactorText(factor);
    if (!page || text.empty())
        return;
    skipOnFailure([&] { page->putBodyFontSize(text + "em"); });
    // The body's size shows only on pages that size their text from it.
    skipOnFailure([&] { page->putZoom(factor); });
}

} // namespace

std::string fontFactorText(double factor)
{
    if (!std::isfinite(factor))
        return {};
    char buffer[64];
    const auto general =
        std::to_chars(buffer, buffer + sizeof buffer, factor, std::chars_format::general, kDigits);
    std::string text(buffer, general.ptr);
    if (text.find('e') == std::string::npos)
        return text;

    // The same 15 digits, placed around the decimal point by hand.
    const auto scientific = std::to_chars(buffer, buffer + sizeof buffer, factor,
                                          std::chars_format::scientific, kDigits - 1);
    const std::string sci(buffer, scientific.ptr);
    const std::size_t e = sci.find('e');
    std::string sign;
    std::string digits;
    for (std::size_t i = 0; i < e; ++i) {
        if (sci[i] == '-')
            sign = "-";
        else if (sci[i] != '.')
            digits += sci[i];
    }
    int exponent = 0;
    std::from_chars(sci.data() + e + (sci[e + 1] == '+' ? 2 : 1), sci.data() + sci.size(),
                    exponent);
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    const int count = static_cast<int>(digits.size());
    if (exponent < 0)
        return sign + "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
    if (exponent >= count - 1)
        return sign + digits + std::string(static_cast<std::size_t>(exponent - (count - 1)), '0');
    return sign + digits.substr(0, static_cast<std::size_t>(exponent) + 1) + "." +
           digits.substr(static_cast<std::size_t>(exponent) + 1);
}

bool FontSize::GetFontSize(const WebWindowList& list)
{
    if (list.selected() == 0)
        return false;
    // A row whose page cannot be reached leaves the window with no page, so the
    // buttons never go on changing the page of an earlier target.
    m_fontDoc.reset();
    skipOnFailure([&] { m_fontDoc = selectedDocument(list); });
    if (m_fontDoc) {
        skipOnFailure([&] { m_fontDoc->putBodyFontSize("1em"); });
        skipOnFailure([&] { m_fontDoc->putZoom(1); });
    }
    m_fontRate = 1;
    return true;
}

bool FontSize::changeBy(const WebWindowList& list, double step)
{
    if (list.selected() == 0)
        return false;
    m_fontRate *= step;
    putFactor(m_fontDoc.get(), m_fontRate);
    return true;
}

} // namespace tabulon
