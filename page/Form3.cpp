#include "page/Form3.h"

#include "automation/Guarded.h"
#include "automation/Platform.h"
#include "core/CheckValue.h"
#include "core/Module1.h"
#include "core/Twips.h"
#include "page/ColorSettings.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

namespace tabulon {

namespace {

constexpr int kButtonWidth = 975;
constexpr int kButtonHeight = 375;
constexpr int kPreviewLeft = 1140;
constexpr int kPreviewWidth = 4335;
constexpr int kPreviewHeight = 495;

QColor toQColor(std::int32_t c)
{
    const auto value = static_cast<std::uint32_t>(c);
    return {static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
            static_cast<int>((value >> 16) & 0xFF)};
}

std::int32_t fromQColor(const QColor& color)
{
    return color.red() | (color.green() << 8) | (color.blue() << 16);
}

void setColors(QWidget* control, std::int32_t fore, std::int32_t back)
{
    QPalette palette = control->palette();
    palette.setColor(QPalette::WindowText, toQColor(fore));
    palette.setColor(QPalette::Window, toQColor(back));
    control->setPalette(palette);
}

void setFore(QWidget* control, std::int32_t fore)
{
    QPalette palette = control->palette();
    palette.setColor(QPalette::WindowText, toQColor(fore));
    control->setPalette(palette);
}

void setBack(QWidget* control, std::int32_t back)
{
    QPalette palette = control->palette();
    palette.setColor(QPalette::Window, toQColor(back));
    control->setPalette(palette);
}

} // namespace

Form3::Form3(QWidget& owner, automation::Platform& platform, Module1& module)
    : QWidget(&owner, Qt::Window), m_module(module)
{
    setObjectName(QStringLiteral("Form3"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("色の設定"));

    const Twips twips(platform.windows.screen());
    const auto label = [&](QWidget* parent, const char* name, const QString& caption) {
        auto* control = new QLabel(caption, parent);
        control->setTextFormat(Qt::PlainText);
        control->setObjectName(QString::fromUtf8(name));
        return control;
    };
    const auto button = [&](const QString& name, const QString& caption, QRect where) {
        auto* command = new QPushButton(caption, this);
        command->setObjectName(name);
        command->setGeometry(where);
        return command;
    };

    // The heading and the five colour buttons in one row.
    Label3 = label(this, "Label3", QStringLiteral("変更選択"));
    Label3->setGeometry(twips.rect(120, 165, 960, 255));
    const QString captions[] = {QStringLiteral("前景色"), QStringLiteral("背景色"),
                                QStringLiteral("リンク"), QStringLiteral("アクティブ"),
                                QStringLiteral("訪問済み")};
    for (int slot = 0; slot < 5; ++slot) {
        const QRect where =
            twips.rect(kPreviewLeft + slot * (kButtonWidth + 60), 105, kButtonWidth, kButtonHeight);
        if (slot == 1) {
            Command2 = button(QStringLiteral("Command2"), captions[slot], where);
            continue;
        }
        const int index = slot == 0 ? 0 : slot - 1;
        Command1[static_cast<std::size_t>(index)] =
            button(QStringLiteral("Command1(%1)").arg(index), captions[slot], where);
        connect(Command1[static_cast<std::size_t>(index)], &QPushButton::clicked, this,
                [this, index] {
                    automation::guarded("Form3.Command1_Click", [&] { Command1_Click(index); });
                });
    }
    using automation::guardedHandler;
    connect(Command2, &QPushButton::clicked, this,
            guardedHandler("Form3.Command2_Click", this, &Form3::Command2_Click));

    // The two previews, each headed on its left.
    const QString texts[] = {QStringLiteral("TEXT"), QStringLiteral("リンク"),
                             QStringLiteral("アクティブ"), QStringLiteral("訪問済み")};
    const auto preview = [&](const char* name, int top, std::array<QLabel*, 4>& labels,
                             const char* labelName) {
        auto* picture = new QWidget(this);
        picture->setObjectName(QString::fromUtf8(name));
        picture->setAutoFillBackground(true);
        picture->setGeometry(twips.rect(kPreviewLeft, top, kPreviewWidth, kPreviewHeight));
        const int width = kPreviewWidth / 4;
        for (int i = 0; i < 4; ++i) {
            auto* text = new QLabel(texts[i], picture);
            text->setTextFormat(Qt::PlainText);
            text->setObjectName(QStringLiteral("%1(%2)").arg(QString::fromUtf8(labelName)).arg(i));
            text->setAlignment(Qt::AlignCenter);
            text->setAutoFillBackground(true);
            text->setGeometry(twips.rect(i * width, 0, width, kPreviewHeight));
            labels[static_cast<std::size_t>(i)] = text;
        }
        return picture;
    };
    Label15 = label(this, "Label15", QStringLiteral("現在"));
    Label15->setGeometry(twips.rect(120, 720, 960, 255));
    Picture1 = preview("Picture1", 600, Label1, "Label1");
    Label4 = label(this, "Label4", QStringLiteral("変更後"));
    Label4->setGeometry(twips.rect(120, 1320, 960, 255));
    Picture2 = preview("Picture2", 1200, Label2, "Label2");

    Check1 = new QCheckBox(QStringLiteral("背景画像は消去する"), this);
    Check1->setObjectName(QStringLiteral("Check1"));
    Check1->setGeometry(twips.rect(kPreviewLeft, 1860, 3600, 300));

    // At the bottom, left to right: 現在値, 初期値, 中止, 設定.
    const int bottom = 2430;
    const int width = 1215;
    Command8 = button(QStringLiteral("Command8"), QStringLiteral("現在値"),
                      twips.rect(kPreviewLeft, bottom, width, kButtonHeight));
    Command9 = button(QStringLiteral("Command9"), QStringLiteral("初期値"),
                      twips.rect(kPreviewLeft + (width + 90), bottom, width, kButtonHeight));
    Command7 = button(QStringLiteral("Command7"), QStringLiteral("中止"),
                      twips.rect(kPreviewLeft + 2 * (width + 90), bottom, width, kButtonHeight));
    Command6 = button(QStringLiteral("Command6"), QStringLiteral("設定"),
                      twips.rect(kPreviewLeft + 3 * (width + 90), bottom, width, kButtonHeight));
    connect(Command8, &QPushButton::clicked, this,
            guardedHandler("Form3.Command8_Click", this, &Form3::Command8_Click));
    connect(Command9, &QPushButton::clicked, this,
            guardedHandler("Form3.Command9_Click", this, &Form3::Command9_Click));
    connect(Command7, &QPushButton::clicked, this,
            guardedHandler("Form3.Command7_Click", this, &Form3::Command7_Click));
    connect(Command6, &QPushButton::clicked, this,
            guardedHandler("Form3.Command6_Click", this, &Form3::Command6_Click));

    twips.centre(*this, 6360, 2985);
    Form_Load();
}

void Form3::Form_Load()
{
    const int state = loadColorSettings(m_module);
    Check1->setCheckState(state == 1 ? Qt::Checked : Qt::Unchecked);
    initCset();
}

int Form3::check() const
{
    return checkValue(Check1->checkState());
}

void Form3::paintPreview(QWidget* picture, const std::array<QLabel*, 4>& labels, int column)
{
    const auto& colors = m_module.HtmColors;
    const std::int32_t back = colors[4][static_cast<std::size_t>(column)];
    setBack(picture, back);
    for (std::size_t i = 0; i < labels.size(); ++i)
        setColors(labels[i], colors[i][static_cast<std::size_t>(column)], back);
}

void Form3::initCset()
{
    for (auto& entry : m_module.HtmColors)
        entry[kEdited] = entry[kApplied];
    paintPreview(Picture1, Label1, kApplied);
    paintPreview(Picture2, Label2, kEdited);
}

void Form3::ResetCset()
{
    for (auto& entry : m_module.HtmColors)
        entry[kEdited] = entry[kApplied];
    paintPreview(Picture2, Label2, kEdited);
}

void Form3::Command1_Click(int Index)
{
    const std::int32_t c = PickColor(m_module.ComDialog1);
    if (c < 0)
        return;
    m_module.HtmColors[static_cast<std::size_t>(Index)][kEdited] = c;
    setFore(Label2[static_cast<std::size_t>(Index)], c);
}

void Form3::Command2_Click()
{
    const std::int32_t c = PickColor(m_module.ComDialog1);
    if (c < 0)
        return;
    m_module.HtmColors[4][kEdited] = c;
    setBack(Picture2, c);
    for (QLabel* text : Label2)
        setBack(text, c);
}

void Form3::Command8_Click()
{
    ResetCset();
}

void Form3::Command9_Click()
{
    DefaultColors(m_module);
    paintPreview(Picture2, Label2, kEdited);
}

void Form3::Command7_Click()
{
    ResetCset();
    hide();
}

void Form3::Command6_Click()
{
    for (auto& entry : m_module.HtmColors)
        entry[kApplied] = entry[kEdited];
    initCset();
    saveColorSettings(m_module, check());
    hide();
}

std::int32_t Form3::foreColor(const QWidget& control)
{
    return fromQColor(control.palette().color(QPalette::WindowText));
}

std::int32_t Form3::backColor(const QWidget& control)
{
    return fromQColor(control.palette().color(QPalette::Window));
}

} // namespace tabulon
