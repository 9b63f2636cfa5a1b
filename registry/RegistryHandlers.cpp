// The main window's commands on the registered sites and applications.
#include "app/Form1.h"
#include "registry/AppLaunch.h"
#include "registry/Form4.h"
#include "registry/Form5.h"
#include "registry/RegisteredLists.h"

namespace tabulon {

using automation::skipOnFailure;

namespace {

// A window the user has closed is on its way out: it counts as unloaded.
template <typename Form> Form* loaded(const QPointer<Form>& form)
{
    return form && form->testAttribute(Qt::WA_DeleteOnClose) ? form.data() : nullptr;
}

void showModeless(QWidget& window)
{
    window.show();
    window.raise();
    window.activateWindow();
}

} // namespace

void Form1::mSite_Click(int Index)
{
    if (Index < 0 || Index > m_module.SiteLast || Index >= kSiteSlots)
        return;
    // A browser that cannot be made or driven opens nothing, and nothing says so.
    const std::string url = m_module.SiteList[static_cast<std::size_t>(Index)].URL;
    skipOnFailure([&] { m_module.OpenSiteWindow(url); });
}

void Form1::menuAddSite_Click()
{
    const int selected = m_list.selected();
    if (selected == 0)
        return;
    const ListRow& row = m_list.row(selected);
    if (!addSite(m_module, {row.text, row.sub[4]}))
        return;
    syncSiteMenu();
    if (Form5* editor = loaded(m_form5))
        editor->fillList();
}

void Form1::menuDelSite_Click()
{
    SuspendTopMost();
    const bool wasLoaded = loaded(m_form5) != nullptr;
    Form5& editor = form5();
    if (wasLoaded)
        editor.fillList();
    showModeless(editor);
}

void Form1::menuApp_Click(int Index)
{
    skipOnFailure([&] { openApp(m_module, Index, m_hwnd); });
}

void Form1::menuEditApp_Click()
{
    SuspendTopMost();
    const bool wasLoaded = loaded(m_form4) != nullptr;
    Form4& editor = form4();
    if (wasLoaded)
        editor.fillList();
    showModeless(editor);
}

Form4* Form1::form4IfLoaded() const
{
    return loaded(m_form4);
}

Form5* Form1::form5IfLoaded() const
{
    return loaded(m_form5);
}

Form4& Form1::form4()
{
    if (!loaded(m_form4)) {
        m_form4 = new Form4(*this);
        m_form4->Form_Load();
    }
    return *m_form4;
}

Form5& Form1::form5()
{
    if (!loaded(m_form5)) {
        m_form5 = new Form5(*this);
        m_form5->Form_Load();
    }
    return *m_form5;
}

} // namespace tabulon
