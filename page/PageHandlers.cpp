// The main window's commands on the selected page's appearance, the report, About and help.
#include "app/Form1.h"
#include "automation/Error.h"
#include "page/ColorSettings.h"
#include "page/Form2.h"
#include "page/Form3.h"
#include "page/Form6.h"
#include "page/Form7.h"
#include "page/HelpFile.h"
#include "page/SelectedPage.h"

namespace tabulon {

namespace {

// Shows a modeless dialog and brings it forward.
void showForward(QWidget& form)
{
    form.show();
    form.raise();
    form.activateWindow();
}

} // namespace

Form2* Form1::form2IfLoaded() const
{
    return m_form2.data();
}

Form3* Form1::form3IfLoaded() const
{
    return m_form3.data();
}

Form6* Form1::form6IfLoaded() const
{
    return m_form6.data();
}

Form7* Form1::form7IfLoaded() const
{
    return m_form7.data();
}

Form2& Form1::form2()
{
    if (!m_form2)
        m_form2 = new Form2(*this);
    return *m_form2;
}

Form3& Form1::form3()
{
    if (!m_form3)
        m_form3 = new Form3(*this);
    return *m_form3;
}

Form6& Form1::form6()
{
    if (!m_form6)
        m_form6 = new Form6(*this);
    return *m_form6;
}

Form7& Form1::form7()
{
    if (!m_form7)
        m_form7 = new Form7(*this);
    return *m_form7;
}

void Form1::fontp_Click()
{
    if (webWindows().selected() == 0)
        return;
    SuspendTopMost();
    form2().GetFontSize();
    showForward(form2());
}

void Form1::menuCHGcolor_Click()
{
    if (webWindows().selected() == 0)
        return;
    std::shared_ptr<automation::HtmlDocument> document;
    automation::skipOnFailure([&] { document = selectedDocument(webWindows()); });
    // Reading the option loads the colour dialog (and with it the stored colours).
    const int check = form3().check();
    applyColors(document.get(), module().HtmColors, check);
}

void Form1::menuSetColor_Click()
{
    SuspendTopMost();
    showForward(form3());
}

void Form1::menuInfo_Click()
{
    SuspendTopMost();
    form7().DispData();
    showForward(form7());
}

void Form1::menuVersion_Click()
{
    SuspendTopMost();
    showForward(form6());
}

void Form1::openHelp_Click()
{
    OpenHelpFile(module());
}

} // namespace tabulon
