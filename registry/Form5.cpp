#include "registry/Form5.h"

#include "automation/Guarded.h"
#include "automation/Platform.h"
#include "core/Module1.h"
#include "core/Twips.h"
#include "registry/EditorWidgets.h"
#include "registry/RegisteredLists.h"

#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QTreeWidget>
#include <utility>

namespace tabulon {

namespace {

constexpr int kClientWidth = 6345;
constexpr int kClientHeight = 3195;

QString qs(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

} // namespace

Form5::Form5(QWidget& owner, automation::Platform& platform, Module1& module,
             std::function<void()> onSitesChanged)
    : QWidget(&owner, Qt::Window), m_platform(platform), m_module(module),
      m_onSitesChanged(std::move(onSitesChanged))
{
    setObjectName(QStringLiteral("Form5"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(qs("登録サイトの編集"));
    const Twips twips = this->twips();
    resize(twips.x(kClientWidth), twips.y(kClientHeight));

    Label1 = makeControl<QLabel>(*this, twips, "Label1", qs("名称"), 120, 240, 375, 255);
    Text1 = makeControl<QLineEdit>(*this, twips, "Text1", QString(), 600, 120, 4095, 270);
    Label2 = makeControl<QLabel>(*this, twips, "Label2", qs("URL"), 120, 720, 375, 255);
    Text2 = makeControl<QLineEdit>(*this, twips, "Text2", QString(), 600, 600, 5535, 270);
    Label3 = makeControl<QLabel>(*this, twips, "Label3", qs("＊ダブルクリックで削除"), 240, 960,
                                 2055, 255);
    Command1 = makeControl<QPushButton>(*this, twips, "Command1", qs("変更"), 4800, 120, 615, 375);
    Command2 = makeControl<QPushButton>(*this, twips, "Command2", qs("終了"), 5520, 120, 615, 375);
    ListView1 = makeListView(*this);
    ListView1->setGeometry(twips.rect(0, 1200, 6255, 1935));

    using automation::guardedHandler;
    connect(Command1, &QPushButton::clicked, this,
            guardedHandler("Form5.Command1_Click", this, &Form5::Command1_Click));
    connect(Command2, &QPushButton::clicked, this,
            guardedHandler("Form5.Command2_Click", this, &Form5::Command2_Click));
    connect(ListView1, &QTreeWidget::itemClicked, this,
            guardedHandler("Form5.ListView1_Click", this, &Form5::ListView1_Click));
    connect(ListView1, &QTreeWidget::itemSelectionChanged, this,
            guardedHandler("Form5.onSelectionChanged", this, &Form5::onSelectionChanged));
    ListView1->viewport()->installEventFilter(this);
}

Twips Form5::twips() const
{
    return Twips(m_platform.windows.screen());
}

void Form5::Form_Load()
{
    ListView1->clear();
    ListView1->setColumnCount(2);
    ListView1->setHeaderLabels({qs("登録名"), qs("URL")});
    const int half = ListView1->width() / 2;
    ListView1->setColumnWidth(0, half);
    ListView1->setColumnWidth(1, half);
    fillList(1);
    ListView1_Click();
}

void Form5::fillList()
{
    fillList(selectedRowOf(*ListView1));
}

void Form5::fillList(int selected)
{
    const Module1& module = m_module;
    std::vector<std::pair<std::string, std::string>> rows;
    for (int i = 0; i <= module.SiteLast && i < kSiteSlots; ++i) {
        const SiteEntry& entry = module.SiteList[static_cast<std::size_t>(i)];
        rows.emplace_back(entry.Name, entry.URL);
    }
    const QScopedValueRollback filling(m_filling, true);
    fillListView(*ListView1, rows, selected);
}

void Form5::Form_Resize()
{
    fitListView(*ListView1, *this, twips());
}

void Form5::ListView1_Click()
{
    const int r = selectedRowOf(*ListView1);
    if (r == 0)
        return;
    const QTreeWidgetItem* item = ListView1->topLevelItem(r - 1);
    Text1->setText(item->text(0));
    Text2->setText(item->text(1));
}

// The boxes follow the row the user picks, by mouse or by keyboard, so that "変更"
// never stores one site's boxes into another row.
void Form5::onSelectionChanged()
{
    if (!m_filling)
        ListView1_Click();
}

void Form5::Command1_Click()
{
    const int r = selectedRowOf(*ListView1);
    if (r == 0)
        return;
    if (!changeSite(m_module, r - 1, {Text1->text().toStdString(), Text2->text().toStdString()}))
        return;
    fillList(r);
    m_onSitesChanged();
}

void Form5::ListView1_DblClick()
{
    const int n = ListView1->topLevelItemCount();
    const int r = selectedRowOf(*ListView1);
    // The last remaining site cannot be deleted, and nothing says so.
    if (n <= 1 || r == 0)
        return;
    const std::string name = ListView1->topLevelItem(r - 1)->text(0).toStdString();
    if (!confirmDeletion(m_platform.messages, name))
        return;
    if (!deleteSite(m_module, r - 1))
        return;
    // No row is selected afterwards: the boxes still show the deleted site.
    fillList(0);
    m_onSitesChanged();
}

void Form5::Command2_Click()
{
    hide();
}

void Form5::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

bool Form5::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ListView1->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        // The press before it has selected the row under the pointer, or none.
        automation::guarded("Form5.ListView1_DblClick", [this] { ListView1_DblClick(); });
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace tabulon
