#pragma once

#include "automation/WindowManager.h"

#include <QRect>
#include <QString>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace tabulon {

// Converts the design's twips to this screen's pixels for the program's windows,
// rounding to the nearest pixel.
class Twips
{
public:
    explicit Twips(const automation::ScreenMetrics& screen)
        : m_screen(screen), m_x(std::max(1, screen.twipsPerPixelX)),
          m_y(std::max(1, screen.twipsPerPixelY))
    {}

    int x(int twips) const { return pixels(twips, m_x); }
    int y(int twips) const { return pixels(twips, m_y); }
    QRect rect(int left, int top, int width, int height) const
    {
        return {x(left), y(top), x(width), y(height)};
    }
    // Pixels back to twips.
    int toTwipsX(int pixels) const { return pixels * m_x; }
    int toTwipsY(int pixels) const { return pixels * m_y; }

    // Gives a window its client size and puts it in the middle of the screen.
    void centre(QWidget& window, int widthTwips, int heightTwips) const
    {
        const int width = x(widthTwips);
        const int height = y(heightTwips);
        const int screenWidth = static_cast<int>(m_screen.widthTwips) / m_x;
        const int screenHeight = static_cast<int>(m_screen.heightTwips) / m_y;
        window.resize(width, height);
        window.move(std::max(0, (screenWidth - width) / 2),
                    std::max(0, (screenHeight - height) / 2));
    }

private:
    static int pixels(int twips, int perPixel)
    {
        return static_cast<int>(std::lround(static_cast<double>(twips) / perPixel));
    }

    automation::ScreenMetrics m_screen;
    int m_x;
    int m_y;
};

// Makes one of a window's controls with its design name, its text and its place in
// twips. A label shows its text as it is, never as markup.
template <typename Control>
Control* makeControl(QWidget& parent, const Twips& twips, const char* name, const QString& text,
                     int left, int top, int width, int height)
{
    auto* control = new Control(text, &parent);
    if constexpr (requires { control->setTextFormat(Qt::PlainText); })
        control->setTextFormat(Qt::PlainText);
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(twips.rect(left, top, width, height));
    return control;
}

} // namespace tabulon
