#pragma once

#include <QDBusArgument>
#include <QList>
#include <QMetaType>
#include <QString>

namespace tabulon {

// One row of the list as the bus carries it, signature (issssss): the row number (from
// 1), then the texts as the window shows them: name, state, height, width, frames,
// address.
struct BusRow
{
    int row = 0;
    QString name;
    QString state;
    QString height;
    QString width;
    QString frames;
    QString address;
};

// Makes BusRow and QList<BusRow> known to Qt's bus marshalling; call before use.
void registerBusTypes();

QDBusArgument& operator<<(QDBusArgument& argument, const BusRow& row);
const QDBusArgument& operator>>(const QDBusArgument& argument, BusRow& row);

} // namespace tabulon

Q_DECLARE_METATYPE(tabulon::BusRow)
