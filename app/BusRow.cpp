#include "app/BusRow.h"

#include <QDBusMetaType>

namespace tabulon {

void registerBusTypes()
{
    qDBusRegisterMetaType<BusRow>();
    qDBusRegisterMetaType<QList<BusRow>>();
}

QDBusArgument& operator<<(QDBusArgument& argument, const BusRow& row)
{
    argument.beginStructure();
    argument << row.row << row.name << row.state << row.height << row.width << row.frames
             << row.address;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, BusRow& row)
{
    argument.beginStructure();
    argument >> row.row >> row.name >> row.state >> row.height >> row.width >> row.frames >>
        row.address;
    argument.endStructure();
    return argument;
}

} // namespace tabulon
