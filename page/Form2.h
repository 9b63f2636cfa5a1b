#pragma once

#include "page/FontSize.h"

#include <QWidget>

class QPushButton;

namespace automation {
struct Platform;
}

namespace tabulon {

class WebWindowList;

// "FSize": enlarges, reduces and resets the text of the page taken when it was opened.
class Form2 : public QWidget
{
    Q_OBJECT

public:
    // The page is the list's selected row's; owner is the window it belongs to.
    Form2(QWidget& owner, automation::Platform& platform, WebWindowList& list);

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

    WebWindowList& m_list;
    FontSize m_size;
};

} // namespace tabulon
