#pragma once

#include <QWidget>
#include <array>
#include <cstdint>

class QCheckBox;
class QLabel;
class QPushButton;

namespace automation {
struct Platform;
}

namespace tabulon {

class Module1;

// "色の設定": edits and saves the five base colours and the background-image option.
class Form3 : public QWidget
{
    Q_OBJECT

public:
    Form3(QWidget& owner, automation::Platform& platform, Module1& module);

    // The background-image option: 1 on, 0 off, 2 grey (counts as off).
    int check() const;

    // Copies the applied colours into the edits and paints both previews.
    void initCset();
    // Copies the applied colours into the edits and paints the after-change preview.
    void ResetCset();

    // A colour as a control shows it, 0x00BBGGRR.
    static std::int32_t foreColor(const QWidget& control);
    static std::int32_t backColor(const QWidget& control);

    QLabel* Label3 = nullptr;
    std::array<QPushButton*, 4> Command1{};
    QPushButton* Command2 = nullptr;
    QLabel* Label15 = nullptr;
    QWidget* Picture1 = nullptr;
    std::array<QLabel*, 4> Label1{};
    QLabel* Label4 = nullptr;
    QWidget* Picture2 = nullptr;
    std::array<QLabel*, 4> Label2{};
    QCheckBox* Check1 = nullptr;
    QPushButton* Command8 = nullptr;
    QPushButton* Command9 = nullptr;
    QPushButton* Command7 = nullptr;
    QPushButton* Command6 = nullptr;

private:
    void Form_Load();
    void Command1_Click(int Index);
    void Command2_Click();
    void Command8_Click();
    void Command9_Click();
    void Command7_Click();
    void Command6_Click();
    // Paints one preview from one column of the table.
    void paintPreview(QWidget* picture, const std::array<QLabel*, 4>& labels, int column);

    Module1& m_module;
};

} // namespace tabulon
