// Steps on the main window: its menu, its list, its own geometry and state, the
// timer's ticks, and the program's end and new start.
#include "app/Form1.h"
#include "app/Program.h"
#include "automation/sim/SimDesktop.h"
#include "scenario/Runner.h"
#include "winlist/ListRebuild.h"

#include <QAction>
#include <QTest>
#include <QTreeWidget>

namespace tabulon::scenario {

using nlohmann::json;

namespace {

// Where a click on row lands: the row's middle, or an empty corner of the list for 0.
QPoint rowPoint(QTreeWidget& list, QTreeWidgetItem* item)
{
    return item ? list.visualItemRect(item).center()
                : QPoint(list.viewport()->width() - 2, list.viewport()->height() - 2);
}

} // namespace

QTreeWidgetItem* Runner::rowItem(QTreeWidget& list, int row)
{
    if (row < 1 || row > list.topLevelItemCount())
        throw Unusable("the list has no row " + std::to_string(row));
    QTreeWidgetItem* item = list.topLevelItem(row - 1);
    list.scrollToItem(item);
    return item;
}

void Runner::menuStep(const json& step)
{
    std::string name = step["menu"].get<std::string>();
    if (step.contains("index"))
        name += "(" + std::to_string(step["index"].get<int>()) + ")";
    QAction* action = form().menuItem(QString::fromStdString(name));
    if (!action)
        throw Unusable("the menu has no item " + name);
    action->trigger();
}

void Runner::selectRow(int row)
{
    QTreeWidget& list = *form().ListView1;
    if (row == 0) {
        list.clearSelection();
        return;
    }
    QTreeWidgetItem* item = rowItem(list, row);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualItemRect(item).center());
}

void Runner::selectStep(const json& step)
{
    selectRow(step["select"].get<int>());
}

void Runner::dblclickStep(const json& step)
{
    const int row = step["dblclick"].get<int>();
    QTreeWidget& list = *form().ListView1;
    selectRow(row);
    const QPoint where = rowPoint(list, row > 0 ? rowItem(list, row) : nullptr);
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, where);
}

void Runner::rightclickStep(const json& step)
{
    const int row = step["rightclick"].get<int>();
    QTreeWidget& list = *form().ListView1;
    const QPoint where = rowPoint(list, row > 0 ? rowItem(list, row) : nullptr);
    QTest::mousePress(list.viewport(), Qt::RightButton, {}, where);
    QTest::mouseRelease(list.viewport(), Qt::RightButton, {}, where);
}

void Runner::tickStep(const json& step)
{
    const int periods = step["tick"].get<int>();
    form();
    for (int i = 0; i < periods && m_program && !m_endRequested; ++i)
        desktop().clock().advance(kRefreshPeriodMs);
}

void Runner::filterStep(const json& step)
{
    form().setFilterText(QString::fromStdString(step["filter"].get<std::string>()));
}

void Runner::mainStep(const json& step)
{
    Form1& main = form();
    const auto [key, value] = *step["main"].items().begin();
    if (key == "move") {
        TwipsRect rect = main.twipsGeometry();
        rect.Left = value[0].get<int>();
        rect.Top = value[1].get<int>();
        main.setTwipsGeometry(rect);
    } else if (key == "resize") {
        TwipsRect rect = main.twipsGeometry();
        rect.Width = value[0].get<int>();
        rect.Height = value[1].get<int>();
        main.setTwipsGeometry(rect);
    } else if (key == "state") {
        const std::string state = value.get<std::string>();
        if (state == "minimized")
            main.setWindowState(main.windowState() | Qt::WindowMinimized);
        else if (state == "maximized")
            main.setWindowState(Qt::WindowMaximized);
        else
            main.setWindowState(Qt::WindowNoState);
    } else if (key == "hide") {
        main.hide();
    } else if (key == "close") {
        main.close();
    }
}

void Runner::restartStep(const json&)
{
    form().menuEND_Click();
    settle();
    startProgram();
}

void Runner::startStep(const json&)
{
    if (m_program)
        throw Unusable("the program is running already");
    startProgram();
}

} // namespace tabulon::scenario
