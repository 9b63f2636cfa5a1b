// The main window's commands: each handler hands the list, the tables and the
// platform to the plain procedures of its feature folder, and the dialogs are made
// on first use.
#include "app/Form1.h"
#include "app/LazyDialog.h"
#include "arrange/AllWindows.h"
#include "arrange/Arrange.h"
#include "arrange/SelectedWindow.h"
#include "automation/Error.h"
#include "automation/Guarded.h"
#include "page/ColorSettings.h"
#include "page/Form2.h"
#include "page/Form3.h"
#include "page/Form6.h"
#include "page/Form7.h"
#include "page/HelpFile.h"
#include "page/SelectedPage.h"
#include "registry/AppLaunch.h"
#include "registry/Form4.h"
#include "registry/Form5.h"
#include "registry/RegisteredLists.h"
#include "winlist/AutoMinimize.h"
#include "winlist/FrameExpansion.h"
#include "winlist/ListExport.h"

#include <QAction>

namespace tabulon {

using automation::guarded;
using automation::skipOnFailure;

// ---- the refresh timer and AutoMinimize ----

namespace {

// How long a tick waits at most for the windows to answer, and how often it looks. A
// window that has not answered by then is listed busy with what was read last.
constexpr std::int64_t kFreshWaitMs = 50;
constexpr int kTickLookMs = 1;

} // namespace

void Form1::startTick()
{
    // A tick still waiting goes on; ticks never overlap.
    if (m_tickWait)
        return;
    // A reading that fails is no reason to skip the tick: the list reads the usual way.
    bool ready = true;
    if (ShellWindows)
        skipOnFailure([&] { ready = ShellWindows->beginRefresh(); });
    if (ready) {
        Timer1_Timer();
        return;
    }
    m_tickStart = m_platform.clock.nowMs();
    m_tickWait = m_platform.clock.startTimer(
        kTickLookMs, [this] { guarded("Timer1_Timer", [this] { continueTick(); }); });
}

void Form1::continueTick()
{
    if (!m_tickWait)
        return;
    bool ready = true;
    if (ShellWindows)
        skipOnFailure([&] { ready = ShellWindows->continueRefresh(); });
    if (!ready && m_platform.clock.nowMs() - m_tickStart < kFreshWaitMs)
        return;
    m_tickWait.reset();
    Timer1_Timer();
}

void Form1::Timer1_Timer()
{
    if (!isVisible())
        show();
    SavePosition();
    const int selected = m_list.selected();
    RefreshList();
    if (AutoMin)
        autoMinimize(m_list, List2, m_module);
    // The selection is kept by row number; a row that no longer exists selects nothing.
    if (selected > 0)
        selectRow(selected);
}

void Form1::menuAutoMin_Click()
{
    AutoMin = !AutoMin;
    menuAutoMin->setChecked(AutoMin);
    if (AutoMin)
        List2 = seenHandles(m_list);
}

// Rows above the 20th get their browser objects from the next rebuild on, which is
// made at once so the commands reach them straight away.
void Form1::menuAllRows_Click()
{
    m_list.setAllRows(!m_list.allRows());
    menuAllRows->setChecked(m_list.allRows());
    m_module.WriteIni("Option", "AllRows", m_list.allRows() ? "1" : "0");
    const int selected = m_list.selected();
    RefreshList();
    if (selected > 0)
        selectRow(selected);
}

// ---- "子フレームを展開": every frame of the selected page in a window of its own ----

void Form1::menuFrame_Click()
{
    // While an expansion waits for its favourite, events run: a second one started then
    // would pick the same free name and read the first one's file.
    if (!PendingFavorite.empty())
        return;
    if (m_list.selected() > 0)
        ExpandFrames();
}

void Form1::ExpandFrames()
{
    FavoriteWait wait{PendingFavorite, LateFavorites, [this] { return hasEnded(); }};
    FrameExpansion expansion{m_platform, m_module, m_list, List1, wait, kCaption};
    tabulon::ExpandFrames(expansion);
}

// ---- tiling and cascading ----

namespace {

void arrange(Form1& form, ShellArrangement how)
{
    if (form.ShellApp)
        arrangeByShell(*form.ShellApp, form.module(), form.hWnd(), how);
}

} // namespace

void Form1::menuTile_Click()
{
    arrange(*this, ShellArrangement::TileVertically);
}

void Form1::menuTile2_Click()
{
    arrange(*this, ShellArrangement::TileHorizontally);
}

void Form1::menuCascade_Click()
{
    arrange(*this, ShellArrangement::CascadeWindows);
}

void Form1::menuTile3_Click()
{
    TileWebWindows();
}

void Form1::menuCascade2_Click()
{
    CascadeWebWindows();
}

void Form1::TileWebWindows()
{
    tileWebWindows(m_list, m_platform.windows);
}

void Form1::CascadeWebWindows()
{
    cascadeWebWindows(m_list, m_platform.windows);
}

// ---- every web window ----

void Form1::menuMinAll_Click()
{
    if (ShellApp)
        minimizeAllWindows(*ShellApp, m_module, m_hwnd);
}

void Form1::menuNorm_Click()
{
    restoreWebWindows(m_list, m_module);
}

void Form1::menuCloseAll_Click()
{
    CloseAllWindows();
}

void Form1::CloseAllWindows()
{
    ClosingGroup group(m_platform.windows);
    if (!closeWebWindows(m_list, &group))
        return;
    rememberClosed(group);
    RefreshList();
}

void Form1::menuHidebar_Click()
{
    hideBars(m_list);
}

void Form1::menuAddressBar_Click()
{
    ShowAllBars();
}

void Form1::ShowAllBars()
{
    showAllBars(m_list);
}

// ---- the selected web window ----

void Form1::menuActivate_Click()
{
    bringSelectedToFront(m_list, m_module, m_platform.windows);
}

void Form1::menuClose_Click()
{
    CloseSelectedWindow();
}

void Form1::CloseSelectedWindow()
{
    ClosingGroup group(m_platform.windows);
    if (!closeSelectedWindow(m_list, &group))
        return;
    rememberClosed(group);
    RefreshList();
}

void Form1::menuIconExcept_Click()
{
    minimizeOtherWindows(m_list, m_module);
}

void Form1::menuCloseExcept_Click()
{
    CloseOtherWindows();
}

void Form1::CloseOtherWindows()
{
    ClosingGroup group(m_platform.windows);
    if (!closeOtherWindows(m_list, &group))
        return;
    rememberClosed(group);
    RefreshList();
}

// ---- "閉じたウィンドウを開き直す": the last group closed, back where it was ----

void Form1::rememberClosed(ClosingGroup& group)
{
    m_closed.remember(group.take());
    syncReopen();
}

void Form1::syncReopen()
{
    menuReopen->setEnabled(!m_closed.empty());
}

void Form1::menuReopen_Click()
{
    if (m_closed.empty())
        return;
    // What could not be opened (no browser could be made) stays to be reopened later.
    m_closed.replaceLast(reopenWindows(m_closed.last(), m_platform.objects, m_platform.windows));
    syncReopen();
    RefreshList();
}

void Form1::menuCopy_Click()
{
    OpenSelectedAgain();
}

void Form1::OpenSelectedAgain()
{
    openSelectedAgain(m_list, m_module);
}

// The double-clicked window comes to the front with every other one minimised.
void Form1::ListView1_DblClick()
{
    menuIconExcept_Click();
    menuActivate_Click();
}

// ---- "一覧を保存...": every row, shown or not, to a file ----

void Form1::menuExportList_Click()
{
    SuspendTopMost();
    const auto chosen = m_platform.dialogs.ShowSaveAs(m_module.MyDocPath, listFormatFilters());
    if (!chosen)
        return;
    const std::string bytes = exportList(m_list, listFormatFor(chosen->fileName, chosen->filter));
    if (!m_platform.files.replaceFile(chosen->fileName, bytes))
        m_platform.messages.MsgBox(chosen->fileName + " に保存できませんでした。", kCaption,
                                   automation::MsgBoxButtons::OK);
}

// ---- layouts: the web windows' places saved under a name and put back ----

namespace {

constexpr const char* kSaveLayoutTitle = "配置を保存";
constexpr const char* kDelLayoutTitle = "配置の削除";

std::string trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

} // namespace

void Form1::menuSaveLayout_Click()
{
    SuspendTopMost();
    const auto answer =
        m_platform.dialogs.InputText(kSaveLayoutTitle, "この配置の名前を入力してください。", {});
    if (!answer)
        return;
    const std::string name = storableText(trimmed(*answer));
    if (name.empty())
        return;
    std::vector<SavedWindow> windows = readLayout(m_list, m_platform.windows);
    if (windows.empty()) {
        m_platform.messages.MsgBox("保存するWebウィンドウがありません。", kCaption,
                                   automation::MsgBoxButtons::OK);
        return;
    }
    const auto names = m_layouts.names();
    if (std::find(names.begin(), names.end(), name) != names.end() &&
        m_platform.messages.MsgBox("配置「" + name + "」を置き換えますか？", kCaption,
                                   automation::MsgBoxButtons::OKCancel) !=
            automation::MsgBoxAnswer::OK)
        return;
    m_layouts.save(name, std::move(windows));
    syncLayoutMenu();
}

void Form1::mLayout_Click(int Index)
{
    if (Index < 0 || static_cast<std::size_t>(Index) >= m_layouts.all().size())
        return;
    restoreLayout(m_layouts.all()[static_cast<std::size_t>(Index)], m_list, m_platform.objects,
                  m_platform.windows);
    RefreshList();
}

// The layout to delete is picked from the saved names, in the same small dialog.
void Form1::menuDelLayout_Click()
{
    const auto names = m_layouts.names();
    if (names.empty())
        return;
    SuspendTopMost();
    const auto answer =
        m_platform.dialogs.InputText(kDelLayoutTitle, "削除する配置を選んでください。", names);
    if (answer && m_layouts.remove(*answer))
        syncLayoutMenu();
}

// ---- the registered sites and applications ----

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
    if (Form5* editor = form5IfLoaded())
        editor->fillList();
}

void Form1::menuDelSite_Click()
{
    SuspendTopMost();
    const bool wasLoaded = form5IfLoaded() != nullptr;
    Form5& editor = form5();
    if (wasLoaded)
        editor.fillList();
    showForward(editor);
}

void Form1::menuApp_Click(int Index)
{
    skipOnFailure([&] { openApp(m_module, Index, m_hwnd); });
}

void Form1::menuEditApp_Click()
{
    SuspendTopMost();
    const bool wasLoaded = form4IfLoaded() != nullptr;
    Form4& editor = form4();
    if (wasLoaded)
        editor.fillList();
    showForward(editor);
}

// ---- the selected page's appearance, the report, About and help ----

void Form1::fontp_Click()
{
    if (m_list.selected() == 0)
        return;
    SuspendTopMost();
    form2().GetFontSize();
    showForward(form2());
}

void Form1::menuCHGcolor_Click()
{
    if (m_list.selected() == 0)
        return;
    std::shared_ptr<automation::HtmlDocument> document;
    skipOnFailure([&] { document = selectedDocument(m_list); });
    // Reading the option loads the colour dialog (and with it the stored colours).
    const int check = form3().check();
    applyColors(document.get(), m_module.HtmColors, check);
}

void Form1::menuSetColor_Click()
{
    SuspendTopMost();
    showForward(form3());
}

void Form1::menuInfo_Click()
{
    SuspendTopMost();
    // A report window made now built the report as it loaded: once is enough.
    if (Form7* loaded = form7IfLoaded())
        loaded->DispData();
    showForward(form7());
}

void Form1::menuVersion_Click()
{
    SuspendTopMost();
    showForward(form6());
}

void Form1::openHelp_Click()
{
    OpenHelpFile(m_module);
}

// ---- the dialogs ----

Form2* Form1::form2IfLoaded() const
{
    return loadedDialog(m_form2);
}

Form3* Form1::form3IfLoaded() const
{
    return loadedDialog(m_form3);
}

Form4* Form1::form4IfLoaded() const
{
    return loadedDialog(m_form4);
}

Form5* Form1::form5IfLoaded() const
{
    return loadedDialog(m_form5);
}

Form6* Form1::form6IfLoaded() const
{
    return loadedDialog(m_form6);
}

Form7* Form1::form7IfLoaded() const
{
    return loadedDialog(m_form7);
}

Form2& Form1::form2()
{
    return lazyDialog(m_form2, [this] { return new Form2(*this, m_platform, m_list); });
}

Form3& Form1::form3()
{
    return lazyDialog(m_form3, [this] { return new Form3(*this, m_platform, m_module); });
}

Form4& Form1::form4()
{
    return lazyDialog(m_form4, [this] {
        auto* form = new Form4(*this, m_platform, m_module, [this] { syncAppMenu(); });
        form->Form_Load();
        return form;
    });
}

Form5& Form1::form5()
{
    return lazyDialog(m_form5, [this] {
        auto* form = new Form5(*this, m_platform, m_module, [this] { syncSiteMenu(); });
        form->Form_Load();
        return form;
    });
}

Form6& Form1::form6()
{
    return lazyDialog(m_form6, [this] { return new Form6(*this, m_platform, m_module); });
}

Form7& Form1::form7()
{
    return lazyDialog(m_form7, [this] { return new Form7(*this, m_platform, m_module, m_list); });
}

} // namespace tabulon
