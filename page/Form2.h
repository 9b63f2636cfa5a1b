#pragma once

#include "page/FontSize.h"

#include <QWidget>

class QPushButton;

namespace tabulon {

class Form1;

// "FSize": enlarges, reduces and resets the text of the page taken when it was opened.
class Form2 : public QWidget
{
    Q_OBJECT

public:
    explicit Form2(Form1& main);

    // Takes the selected row's page and resets it to "1em"; hides when no row is selected.
    void GetFontSize();
    double FontRate() const { return m_size.FontRate(); }

    QPushButton* Command1 = nullptr; // "+"
    QPushButton* Command3 = nullptr; // "RESET"
    QPushButton* Command2 = nullptr; // "-"

private:
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();

    Form1& m_main;
    FontSize m_size;
};

} // namespace tabulon
