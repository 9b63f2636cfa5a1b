#pragma once

#include <QWidget>
#include <string>

class QPlainTextEdit;
class QPushButton;

namespace automation {
struct Platform;
}

namespace tabulon {

class Module1;
class WebWindowList;

// "詳細情報": the report on the selected web window's page, editable and savable.
class Form7 : public QWidget
{
    Q_OBJECT

public:
    Form7(QWidget& owner, automation::Platform& platform, Module1& module, WebWindowList& list);

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

    automation::Platform& m_platform;
    Module1& m_module;
    WebWindowList& m_list;
};

} // namespace tabulon
