#include "registry/Form4.h"

#include "automation/Guarded.h"
#include "automation/Platform.h"
#include "core/Module1.h"
#include "core/Twips.h"
#include "registry/AppLaunch.h"
#include "registry/EditorWidgets.h"
#include "registry/RegisteredLists.h"

#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <utility>

namespace tabulon {

namespace {

constexpr int kClientWidth = 5895;
constexpr int kClientHeight = 2775;

QString qs(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

} // namespace

Form4::Form4(QWidget& owner, automation::Platform& platform, Module1& module,
             std::function<void()> onAppsChanged)
    : QWidget(&owner, Qt::Window), m_owner(owner), m_platform(platform), m_module(module),
      m_onAppsChanged(std::move(onAppsChanged))
{
    setObjectName(QStringLiteral("Form4"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(qs("アプリケーション／ファイルの登録・削除"));
    const Twips twips = this->twips();
    resize(twips.x(kClientWidth), twips.y(kClientHeight));

    Label3 = makeControl<QLabel>(*this, twips, "Label3", qs("file name"), 120, 120, 855, 255);
    Text2 = makeControl<QLineEdit>(*this, twips, "Text2", QString(), 1080, 120, 3975, 270);
    Command1 = makeControl<QPushButton>(*this, twips, "Command1", qs("参照"), 5160, 120, 615, 375);
    Label2 = makeControl<QLabel>(*this, twips, "Label2", qs("登録名"), 120, 600, 735, 255);
    Text1 = makeControl<QLineEdit>(*this, twips, "Text1", qs("（登録名）"), 1080, 600, 3255, 270);
    Command6 = makeControl<QPushButton>(*this, twips, "Command6", qs("登録"), 4440, 600, 615, 375);
    Command2 = makeControl<QPushButton>(*this, twips, "Command2", qs("終了"), 5160, 600, 615, 375);
    Label1 = makeControl<QLabel>(*this, twips, "Label1", qs("＊ダブルクリックで削除"), 120, 960,
                                 2175, 255);
    ListView1 = makeListView(*this);
    ListView1->setGeometry(twips.rect(0, 1200, 5775, 1455));

    using automation::guardedHandler;
    connect(Command1, &QPushButton::clicked, this,
            guardedHandler("Form4.Command1_Click", this, &Form4::Command1_Click));
    connect(Command2, &QPushButton::clicked, this,
            guardedHandler("Form4.Command2_Click", this, &Form4::Command2_Click));
    connect(Command6, &QPushButton::clicked, this,
            guardedHandler("Form4.Command6_Click", this, &Form4::Command6_Click));
    ListView1->viewport()->installEventFilter(this);
}

Twips Form4::twips() const
{
    return Twips(m_platform.windows.screen());
}

void Form4::Form_Load()
{
    ListView1->clear();
    ListView1->setColumnCount(2);
    ListView1->setHeaderLabels({qs("登録名"), qs("場所")});
    const Twips twips = this->twips();
    ListView1->setColumnWidth(0, twips.x(2600));
    ListView1->setColumnWidth(1, twips.x(4000));
    fillList(0);
}

void Form4::fillList()
{
    fillList(selectedRowOf(*ListView1));
}

void Form4::fillList(int selected)
{
    const Module1& module = m_module;
    std::vector<std::pair<std::string, std::string>> rows;
    for (int i = 0; i <= module.AppLast && i < kAppSlots; ++i) {
        const AppEntry& entry = module.AppList[static_cast<std::size_t>(i)];
        rows.emplace_back(entry.Name, entry.Path);
    }
    fillListView(*ListView1, rows, selected);
}

void Form4::Form_Resize()
{
    fitListView(*ListView1, *this, twips());
}

void Form4::Command1_Click()
{
    // A cancelled dialog leaves the path box as it was.
    if (const auto chosen = ChooseOpenFile(m_module))
        Text2->setText(QString::fromStdString(*chosen));
}

void Form4::Command6_Click()
{
    const std::string name = Text1->text().toStdString();
    const std::string path = Text2->text().toStdString();
    if (name.empty() || path.empty())
        return;
    if (!addApp(m_module, {name, path}))
        return;
    m_onAppsChanged();
    fillList();
}

void Form4::ListView1_DblClick()
{
    const int n = ListView1->topLevelItemCount();
    const int r = selectedRowOf(*ListView1);
    if (n <= 1 || r == 0)
        return;
    const std::string name = ListView1->topLevelItem(r - 1)->text(0).toStdString();
    if (!confirmDeletion(m_platform.messages, name))
        return;
    if (!deleteApp(m_module, r - 1))
        return;
    fillList(0);
    m_onAppsChanged();
}

void Form4::Command2_Click()
{
    hide();
    // A minimised or maximised main window comes back to its normal size and place.
    m_owner.setWindowState(m_owner.windowState() &
                           ~(Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));
}

void Form4::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

bool Form4::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ListView1->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        automation::guarded("Form4.ListView1_DblClick", [this] { ListView1_DblClick(); });
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace tabulon
