#include "page/Form6.h"

#include "automation/Error.h"
#include "automation/Guarded.h"
#include "automation/Platform.h"
#include "core/Module1.h"
#include "core/Twips.h"

#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>

namespace tabulon {

namespace {

// "ＭＳ Ｐゴシック" where it is installed, else its metric-compatible twin.
QFont gothic(double points, bool italic = false)
{
    QFont font;
    font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"),
                      QStringLiteral("IPAGothic")});
    font.setPointSizeF(points);
    font.setBold(true);
    font.setItalic(italic);
    return font;
}

// The program's icon: a window holding a list of pages.
QPixmap programIcon(int size)
{
    QPixmap icon(size, size);
    icon.fill(Qt::transparent);
    QPainter painter(&icon);
    painter.setRenderHint(QPainter::Antialiasing);
    const double unit = size / 32.0;
    painter.setPen(QPen(QColor(0x1f, 0x3a, 0x68), unit * 1.5));
    painter.setBrush(QColor(0xf4, 0xf7, 0xfb));
    painter.drawRoundedRect(QRectF(unit * 2, unit * 3, unit * 28, unit * 26), unit * 3, unit * 3);
    painter.fillRect(QRectF(unit * 2.8, unit * 3.8, unit * 26.4, unit * 5),
                     QColor(0x2f, 0x6f, 0xc0));
    painter.setPen(Qt::NoPen);
    const QColor rows[] = {QColor(0x2f, 0x6f, 0xc0), QColor(0x8a, 0x9b, 0xb5),
                           QColor(0x8a, 0x9b, 0xb5), QColor(0x8a, 0x9b, 0xb5)};
    for (int i = 0; i < 4; ++i) {
        painter.setBrush(rows[i]);
        painter.drawRect(
            QRectF(unit * 6, unit * (12 + i * 4.2), unit * (i == 0 ? 20 : 16), unit * 2));
    }
    return icon;
}

} // namespace

Form6::Form6(QWidget& owner, automation::Platform& platform, Module1& module)
    : QWidget(&owner, Qt::Window), m_owner(owner), m_module(module)
{
    setObjectName(QStringLiteral("Form6"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QString::fromUtf8(kCaption));

    const Twips twips(platform.windows.screen());
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setTextFormat(Qt::PlainText);
    Image1->setGeometry(twips.rect(480, 480, 480, 480));
    Image1->setPixmap(programIcon(Image1->width()));

    const auto label = [&](const char* name, const QString& caption, int left, int top,
                           const QFont& font) {
        auto* control = new QLabel(caption, this);
        control->setTextFormat(Qt::PlainText);
        control->setObjectName(QString::fromUtf8(name));
        control->setFont(font);
        control->move(twips.x(left), twips.y(top));
        control->adjustSize();
        return control;
    };
    QFont underlined = gothic(9.75);
    underlined.setUnderline(true);
    Label1 = label("Label1", QString(), 1680, 360, gothic(9.75));
    Label2 = label("Label2", QStringLiteral("Tabulon"), 2280, 840, gothic(11.25, true));
    Label3 = label("Label3", QString::fromUtf8(kMail), 1800, 1200, gothic(9.75));
    Label4 = label("Label4", QString::fromUtf8(kHomePage), 600, 1560, underlined);
    Label5 = label("Label5", QString::fromUtf8(kSecondPage), 600, 2040, underlined);
    for (QLabel* address : {Label4, Label5}) {
        address->setCursor(Qt::PointingHandCursor);
        address->installEventFilter(this);
    }

    Command1 = new QPushButton(QStringLiteral("OK"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(twips.rect(4800, 360, 1095, 375));
    connect(Command1, &QPushButton::clicked, this,
            automation::guardedHandler("Form6.Command1_Click", this, &Form6::Command1_Click));

    twips.centre(*this, 6300, 2640);
    Form_Load();
}

void Form6::Form_Load()
{
    Label1->setText(m_owner.windowTitle());
    Label1->adjustSize();
}

void Form6::Command1_Click()
{
    hide();
}

bool Form6::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonDblClick) {
        if (watched == Label4)
            automation::guarded("Form6.Label4_DblClick", [this] { Label4_DblClick(); });
        else if (watched == Label5)
            automation::guarded("Form6.Label5_DblClick", [this] { Label5_DblClick(); });
    }
    return QWidget::eventFilter(watched, event);
}

void Form6::Label4_DblClick()
{
    openAddress(*Label4);
}

void Form6::Label5_DblClick()
{
    openAddress(*Label5);
}

void Form6::openAddress(const QLabel& label)
{
    Module1& module = m_module;
    module.CurURL = label.text().toStdString();
    // A browser that cannot be started opens nothing; the About box stays as it is.
    automation::skipOnFailure([&] { module.OpenSiteWindow(module.CurURL); });
}

} // namespace tabulon
