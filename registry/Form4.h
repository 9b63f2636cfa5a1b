#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace tabulon {

class Twips;

class Form1;

// "アプリケーション／ファイルの登録・削除": adds and deletes registered applications and
// files. Works on AppList, the application menu and applist.txt together.
class Form4 : public QWidget
{
    Q_OBJECT

public:
    explicit Form4(Form1& owner);

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

    Form1& m_owner;
};

} // namespace tabulon
