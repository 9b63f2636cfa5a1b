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

// "アプリケーション／ファイルの登録・削除": adds and deletes registered applications and
// files. Works on AppList, the application menu and applist.txt together.
class Form4 : public QWidget
{
    Q_OBJECT

public:
    // onAppsChanged runs after the table changed, so the application menu can follow it.
    Form4(QWidget& owner, automation::Platform& platform, Module1& module,
          std::function<void()> onAppsChanged);

    QLabel* Label3 = nullptr;
    QLineEdit* Text2 = nullptr;
    QPushButton* Command1 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* Text1 = nullptr;
    QPushButton* Command6 = nullptr;
    QPushButton* Command2 = nullptr;
    QLabel* Label1 = nullptr;
    QTreeWidget* ListView1 = nullptr;

    void Form_Load();
    void Form_Resize();
    void Command1_Click();
    void Command2_Click();
    void Command6_Click();
    void ListView1_DblClick();

    // Fills the list again from AppList, keeping the selected row.
    void fillList();

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Twips twips() const;
    void fillList(int selected);

    QWidget& m_owner;
    automation::Platform& m_platform;
    Module1& m_module;
    std::function<void()> m_onAppsChanged;
};

} // namespace tabulon
