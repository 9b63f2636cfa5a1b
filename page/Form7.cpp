#include "page/Form7.h"

#include "automation/Guarded.h"
#include "automation/Platform.h"
#include "core/Module1.h"
#include "core/Twips.h"
#include "page/PageReport.h"
#include "page/ReportBox.h"
#include "page/ReportFile.h"
#include "winlist/WebWindowList.h"

#include <QPlainTextEdit>
#include <QPushButton>

namespace tabulon {

namespace {

constexpr int kTextTop = 600;

} // namespace

Form7::Form7(QWidget& owner, automation::Platform& platform, Module1& module, WebWindowList& list)
    : QWidget(&owner, Qt::Window), m_platform(platform), m_module(module), m_list(list)
{
    setObjectName(QStringLiteral("Form7"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("詳細情報"));

    const Twips twips(platform.windows.screen());
    Command1 = new QPushButton(QStringLiteral("OK"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(twips.rect(360, 120, 615, 375));
    Command2 = new QPushButton(QStringLiteral("テキストに保存"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command2->setGeometry(twips.rect(1320, 120, 1455, 375));
    using automation::guardedHandler;
    connect(Command1, &QPushButton::clicked, this,
            guardedHandler("Form7.Command1_Click", this, &Form7::Command1_Click));
    connect(Command2, &QPushButton::clicked, this,
            guardedHandler("Form7.Command2_Click", this, &Form7::Command2_Click));

    Text1 = new QPlainTextEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    resize(twips.x(7740), twips.y(8565));
    Form_Resize();
    DispData();
}

void Form7::DispData()
{
    // A page with thousands of links takes a while: the windows keep painting meanwhile,
    // while the browser reads the page and while the report goes into the box.
    m_platform.clock.whileAnswering([this] {
        fillInParts(*Text1, DispDataText(m_list.selectedWebWin()),
                    [this] { m_platform.clock.betweenParts(); });
    });
}

std::string Form7::reportText() const
{
    QString text = Text1->toPlainText();
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return text.toStdString();
}

void Form7::Command1_Click()
{
    hide();
}

void Form7::Command2_Click()
{
    saveReport(m_module, reportText());
}

void Form7::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

void Form7::Form_Resize()
{
    // Never a negative height, however small the window is made.
    const Twips twips(m_platform.windows.screen());
    const int height = Module1::MaxLong(twips.toTwipsY(this->height()) - kTextTop, 100);
    Text1->setGeometry(0, twips.y(kTextTop), width(), twips.y(height));
}

} // namespace tabulon
