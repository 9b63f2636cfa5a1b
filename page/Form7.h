#pragma once

#include <QWidget>
#include <string>

class QPlainTextEdit;
class QPushButton;

namespace tabulon {

class Form1;

// "詳細情報": the report on the selected web window's page, editable and savable.
class Form7 : public QWidget
{
    Q_OBJECT

public:
    explicit Form7(Form1& main);

    // Builds the report of the selected row's window and puts it into Text1.
    void DispData();
    // Text1's text as the program holds it, every line ended with CR LF.
    std::string reportText() const;

    QPushButton* Command1 = nullptr; // "OK"
    QPushButton* Command2 = nullptr; // "テキストに保存"
    QPlainTextEdit* Text1 = nullptr;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void Command1_Click();
    void Command2_Click();
    void Form_Resize();

    Form1& m_main;
};

} // namespace tabulon
