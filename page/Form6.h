#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

namespace automation {
struct Platform;
}

namespace tabulon {

class Module1;

// The About box: the program's name and version and where to reach its makers; a
// double-click on either web address opens it in a new browser window.
class Form6 : public QWidget
{
    Q_OBJECT

public:
    static constexpr const char* kCaption = "バージョン情報";
    // The project's contact addresses.
    static constexpr const char* kMail = "tabulon@example.org";
    static constexpr const char* kHomePage = "https://tabulon.example.org/";
    static constexpr const char* kSecondPage = "https://tabulon.example.org/ja/";

    // Shows the owner's caption as the program's name.
    Form6(QWidget& owner, automation::Platform& platform, Module1& module);

    QLabel* Image1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QPushButton* Command1 = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Load();
    void Command1_Click();
    void Label4_DblClick();
    void Label5_DblClick();
    void openAddress(const QLabel& label);

    QWidget& m_owner;
    Module1& m_module;
};

} // namespace tabulon
