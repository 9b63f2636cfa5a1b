#pragma once

#include <QWidget>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace automation {
struct Platform;
}

namespace tabulon {

class Module1;
class Twips;

// "登録サイトの編集": renames, re-addresses and deletes registered sites. Works on
// SiteList, the site menu and sitelist.txt together.
class Form5 : public QWidget
{
    Q_OBJECT

public:
    // onSitesChanged runs after the table changed, so the site menu can follow it.
    Form5(QWidget& owner, automation::Platform& platform, Module1& module,
          std::function<void()> onSitesChanged);

    QLabel* Label1 = nullptr;
    QLineEdit* Text1 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* Text2 = nullptr;
    QLabel* Label3 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QTreeWidget* ListView1 = nullptr;

    void Form_Load();
    void Form_Resize();
    void ListView1_Click();
    void ListView1_DblClick();
    void Command1_Click();
    void Command2_Click();

    // Fills the list again from SiteList, keeping the selected row; the boxes keep
    // their text. Sites may have been added while the window was loaded.
    void fillList();

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Twips twips() const;
    void fillList(int selected);
    void onSelectionChanged();

    automation::Platform& m_platform;
    Module1& m_module;
    std::function<void()> m_onSitesChanged;
    // Set while the program itself changes the list, which is not the user's choice.
    bool m_filling = false;
};

} // namespace tabulon
