#include "scenario/FormDump.h"

#include "app/Program.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QTreeWidget>

namespace tabulon::scenario {

using nlohmann::json;

namespace {

std::string str(const QString& text)
{
    return text.toStdString();
}

json treeRows(const QTreeWidget& tree)
{
    json rows = json::array();
    for (int i = 0; i < tree.topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = tree.topLevelItem(i);
        json sub = json::array();
        for (int c = 1; c < tree.columnCount(); ++c)
            sub.push_back(str(item->text(c)));
        rows.push_back({{"text", str(item->text(0))}, {"sub", sub}});
    }
    return rows;
}

int selectedRow(const QTreeWidget& tree)
{
    const auto items = tree.selectedItems();
    return items.isEmpty() ? 0 : tree.indexOfTopLevelItem(items.first()) + 1;
}

// A check box's value as the program counts it: 0 off, 1 on, 2 grey.
int checkValue(Qt::CheckState state)
{
    switch (state) {
    case Qt::Checked:
        return 1;
    case Qt::PartiallyChecked:
        return 2;
    case Qt::Unchecked:
        break;
    }
    return 0;
}

} // namespace

json dumpForm(const QWidget& form, Program& program, int twipsPerPixel)
{
    (void)program;
    json result = {
        {"loaded", true}, {"visible", form.isVisible()}, {"caption", str(form.windowTitle())}};
    for (const QLineEdit* edit : form.findChildren<QLineEdit*>()) {
        if (!edit->objectName().isEmpty())
            result[str(edit->objectName())] = str(edit->text());
    }
    for (const QPlainTextEdit* edit : form.findChildren<QPlainTextEdit*>()) {
        if (!edit->objectName().isEmpty())
            result[str(edit->objectName())] = str(edit->toPlainText());
    }
    for (const QTextEdit* edit : form.findChildren<QTextEdit*>()) {
        if (!edit->objectName().isEmpty())
            result[str(edit->objectName())] = str(edit->toPlainText());
    }
    for (const QCheckBox* box : form.findChildren<QCheckBox*>()) {
        if (!box->objectName().isEmpty())
            result[str(box->objectName())] = checkValue(box->checkState());
    }
    for (const QTreeWidget* tree : form.findChildren<QTreeWidget*>()) {
        const std::string name = str(tree->objectName());
        if (name.empty())
            continue;
        result[name] = treeRows(*tree);
        result["selected"] = selectedRow(*tree);
        result[name + "Height"] = tree->height() * twipsPerPixel;
    }
    return result;
}

} // namespace tabulon::scenario
