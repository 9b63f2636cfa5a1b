#pragma once

#include <Qt>

namespace tabulon {

// A check box's value as the program counts it: 0 off, 1 on, 2 grey.
inline int checkValue(Qt::CheckState state)
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

} // namespace tabulon
