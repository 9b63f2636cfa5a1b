#pragma once

#include <QPointer>
#include <QWidget>

namespace tabulon {

// A dialog the user has closed is on its way out (Qt takes WA_DeleteOnClose off it and
// deletes it later): it counts as unloaded, so it is neither handed out nor shown again.
template <typename Form> Form* loadedDialog(const QPointer<Form>& form)
{
    return form && form->testAttribute(Qt::WA_DeleteOnClose) ? form.data() : nullptr;
}

// The dialog in its slot, made by make() on first use and again after the user closed it.
template <typename Form, typename Make> Form& lazyDialog(QPointer<Form>& slot, Make&& make)
{
    if (!loadedDialog(slot))
        slot = make();
    return *slot;
}

// Shows a modeless dialog and brings it forward.
inline void showForward(QWidget& window)
{
    window.show();
    window.raise();
    window.activateWindow();
}

} // namespace tabulon
