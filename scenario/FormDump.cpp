#include "scenario/FormDump.h"

#include "app/Program.h"
#include "core/CheckValue.h"
#include "core/Module1.h"
#include "page/Form2.h"
#include "page/Form3.h"
#include "page/Form6.h"
#include "page/Form7.h"

#include <QCheckBox>
#include <QLabel>
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

json colorColumn(const ColorTable& colors, int column)
{
    json values = json::array();
    for (const auto& entry : colors)
        values.push_back(entry[static_cast<std::size_t>(column)]);
    return values;
}

json previewLabels(const std::array<QLabel*, 4>& labels)
{
    json values = json::array();
    for (const QLabel* label : labels)
        values.push_back({{"fore", Form3::foreColor(*label)}, {"back", Form3::backColor(*label)}});
    return values;
}

// What the page windows show beyond their text boxes, lists and check boxes.
void dumpPageForm(json& result, const QWidget& form, Program& program)
{
    if (const auto* form2 = qobject_cast<const Form2*>(&form)) {
        result["FontRate"] = form2->FontRate();
    } else if (const auto* form3 = qobject_cast<const Form3*>(&form)) {
        const ColorTable& colors = program.module().HtmColors;
        result["applied"] = colorColumn(colors, 0);
        result["edited"] = colorColumn(colors, 1);
        result["Picture1"] = {{"back", Form3::backColor(*form3->Picture1)}};
        result["Picture2"] = {{"back", Form3::backColor(*form3->Picture2)}};
        result["Label1"] = previewLabels(form3->Label1);
        result["Label2"] = previewLabels(form3->Label2);
    } else if (const auto* form6 = qobject_cast<const Form6*>(&form)) {
        for (const QLabel* label :
             {form6->Label1, form6->Label2, form6->Label3, form6->Label4, form6->Label5})
            result[str(label->objectName())] = str(label->text());
    } else if (const auto* form7 = qobject_cast<const Form7*>(&form)) {
        result["Text1"] = form7->reportText();
    }
}

} // namespace

json dumpForm(const QWidget& form, Program& program, int twipsPerPixel)
{
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
    dumpPageForm(result, form, program);
    return result;
}

} // namespace tabulon::scenario
