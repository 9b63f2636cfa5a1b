#include "page/Form2.h"

#include "automation/Guarded.h"
#include "automation/Platform.h"
#include "core/Twips.h"
#include "winlist/WebWindowList.h"

#include <QPushButton>

namespace tabulon {

namespace {

constexpr double kLarger = 1.1;
constexpr double kSmaller = 0.9;

} // namespace

Form2::Form2(QWidget& owner, automation::Platform& platform, WebWindowList& list)
    : QWidget(&owner, Qt::Window), m_list(list)
{
    setObjectName(QStringLiteral("Form2"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("FSize"));

    const Twips twips(platform.windows.screen());
    const auto button = [&](const char* name, const QString& caption, int left, int width) {
        auto* command = new QPushButton(caption, this);
        command->setObjectName(QString::fromUtf8(name));
        command->setGeometry(twips.rect(left, 0, width, 375));
        return command;
    };
    Command1 = button("Command1", QStringLiteral("+"), 0, 375);
    Command3 = button("Command3", QStringLiteral("RESET"), 360, 855);
    Command2 = button("Command2", QStringLiteral("-"), 1200, 375);
    using automation::guardedHandler;
    connect(Command1, &QPushButton::clicked, this,
            guardedHandler("Form2.Command1_Click", this, &Form2::Command1_Click));
    connect(Command2, &QPushButton::clicked, this,
            guardedHandler("Form2.Command2_Click", this, &Form2::Command2_Click));
    connect(Command3, &QPushButton::clicked, this,
            guardedHandler("Form2.Command3_Click", this, &Form2::Command3_Click));

    twips.centre(*this, 1560, 360);
}

void Form2::GetFontSize()
{
    if (!m_size.GetFontSize(m_list))
        hide();
}

void Form2::Command1_Click()
{
    if (!m_size.changeBy(m_list, kLarger))
        hide();
}

void Form2::Command2_Click()
{
    if (!m_size.changeBy(m_list, kSmaller))
        hide();
}

void Form2::Command3_Click()
{
    GetFontSize();
}

} // namespace tabulon
