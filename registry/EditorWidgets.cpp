#include "registry/EditorWidgets.h"

#include "core/Module1.h"
#include "core/Twips.h"

#include <QHeaderView>
#include <QTreeWidget>
#include <cmath>

namespace tabulon {

namespace {

constexpr int kListTopTwips = 1200;
constexpr int kListMinHeightTwips = 100;

} // namespace

QTreeWidget* makeListView(QWidget& parent)
{
    auto* list = new QTreeWidget(&parent);
    list->setObjectName(QStringLiteral("ListView1"));
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setAllColumnsShowFocus(true);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->header()->setStretchLastSection(false);
    return list;
}

void fitListView(QTreeWidget& list, const QWidget& window, const Twips& twips)
{
    const int innerHeight = twips.toTwipsY(window.height());
    const int height = Module1::MaxLong(innerHeight - kListTopTwips, kListMinHeightTwips);
    list.setGeometry(0, twips.y(kListTopTwips), window.width(), twips.y(height));
}

void fillListView(QTreeWidget& list, const std::vector<std::pair<std::string, std::string>>& rows,
                  int selected)
{
    list.clear();
    for (const auto& [name, value] : rows) {
        auto* item = new QTreeWidgetItem(&list);
        item->setText(0, QString::fromStdString(name));
        item->setText(1, QString::fromStdString(value));
    }
    list.clearSelection();
    list.setCurrentItem(nullptr);
    if (QTreeWidgetItem* item = selected > 0 ? list.topLevelItem(selected - 1) : nullptr) {
        list.setCurrentItem(item);
        item->setSelected(true);
    }
}

int selectedRowOf(const QTreeWidget& list)
{
    const auto items = list.selectedItems();
    return items.isEmpty() ? 0 : list.indexOfTopLevelItem(items.first()) + 1;
}

bool confirmDeletion(automation::MessageBox& messages, const std::string& name)
{
    return messages.MsgBox(name + "を削除します。", "アプリケーション削除の確認",
                           automation::MsgBoxButtons::OKCancel) == automation::MsgBoxAnswer::OK;
}

} // namespace tabulon
