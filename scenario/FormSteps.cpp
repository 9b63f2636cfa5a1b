// Steps on the dialog windows: typing, clicking, choosing rows, closing and sizing.
#include "app/Form1.h"
#include "scenario/Runner.h"
#include "scenario/Steps.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextEdit>
#include <QTreeWidget>

namespace tabulon::scenario {

using nlohmann::json;

namespace {

template <typename T>
T& control(QWidget& owner, const std::string& formName, const std::string& name)
{
    T* widget = owner.findChild<T*>(QString::fromStdString(name));
    if (!widget)
        throw Unusable(formName + " has no control " + name);
    return *widget;
}

} // namespace

QWidget& Runner::findForm(const std::string& name)
{
    form();
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QString::fromStdString(name))
            return *widget;
    }
    throw Unusable(name + " is not loaded");
}

// The step was checked before the run began: it has the window's name and one action
// of the table's.
void Runner::formStep(const json& step)
{
    const std::string name = step["form"].get<std::string>();
    QWidget& window = findForm(name);
    for (const auto& [key, value] : step.items()) {
        if (const FormAction* action = findFormAction(key))
            (this->*action->run)(window, name, value);
    }
}

void Runner::formSet(QWidget& window, const std::string& name, const json& boxes)
{
    for (const auto& [box, text] : boxes.items()) {
        const QString value = QString::fromStdString(text.get<std::string>());
        if (auto* line = window.findChild<QLineEdit*>(QString::fromStdString(box)))
            line->setText(value);
        else if (auto* plain = window.findChild<QPlainTextEdit*>(QString::fromStdString(box)))
            plain->setPlainText(value);
        else
            control<QTextEdit>(window, name, box).setPlainText(value);
    }
}

void Runner::formClick(QWidget& window, const std::string& name, const json& button)
{
    control<QAbstractButton>(window, name, button.get<std::string>()).click();
}

void Runner::formSelect(QWidget& window, const std::string& name, const json& value)
{
    auto& list = control<QTreeWidget>(window, name, "ListView1");
    const int row = value.get<int>();
    if (row == 0) {
        list.clearSelection();
        return;
    }
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                      list.visualItemRect(rowItem(list, row)).center());
}

// A row of the window's list (0: none selected), or a label by name.
void Runner::formDblclick(QWidget& window, const std::string& name, const json& target)
{
    if (target.is_string()) {
        auto& label = control<QWidget>(window, name, target.get<std::string>());
        QTest::mouseDClick(&label, Qt::LeftButton, {}, label.rect().center());
        return;
    }
    auto& list = control<QTreeWidget>(window, name, "ListView1");
    const int row = target.get<int>();
    QPoint where(list.viewport()->width() - 2, list.viewport()->height() - 2);
    if (row == 0) {
        list.clearSelection();
        list.setCurrentItem(nullptr);
    } else {
        where = list.visualItemRect(rowItem(list, row)).center();
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, where);
    }
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, where);
}

void Runner::formCheck(QWidget& window, const std::string& name, const json& value)
{
    const int state = value.get<int>();
    control<QCheckBox>(window, name, "Check1")
        .setCheckState(state == 1   ? Qt::Checked
                       : state == 2 ? Qt::PartiallyChecked
                                    : Qt::Unchecked);
}

void Runner::formClose(QWidget& window, const std::string&, const json&)
{
    window.close();
}

void Runner::formResize(QWidget& window, const std::string&, const json& size)
{
    const int tpp = twipsPerPixel();
    window.resize(size[0].get<int>() / tpp, size[1].get<int>() / tpp);
}

} // namespace tabulon::scenario
