#pragma once

#include "arrange/ClosedWindows.h"
#include "arrange/Layouts.h"
#include "automation/Platform.h"
#include "core/Module1.h"
#include "winlist/WebWindowList.h"

#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QTreeWidget;

namespace tabulon {

class Form2;
class Form3;
class Form4;
class Form5;
class Form6;
class Form7;

// The main window's geometry in twips, outer edges.
struct TwipsRect
{
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    friend bool operator==(const TwipsRect&, const TwipsRect&) = default;
};

// The main window: the web-window list, the refresh timer, the menu bar from which
// every command is reached, always-on-top and the exit.
class Form1 : public QMainWindow, private automation::HostWindow
{
    Q_OBJECT

public:
    static constexpr const char* kCaption = "タブロン v1.06";

    // onEnd runs when the program has ended ("終了" or the close box).
    Form1(automation::Platform& platform, Module1& module, std::function<void()> onEnd);
    ~Form1() override;

    // The start-up sequence. A shell object that cannot be made raises automation::Error.
    void Form_Load();
    bool hasEnded() const { return m_ended; }

    automation::Platform& platform() { return m_platform; }
    Module1& module() { return m_module; }
    WebWindowList& webWindows() { return m_list; }
    // The saved layouts' names, in the order of the mLayout items.
    std::vector<std::string> layoutNames() const { return m_layouts.names(); }
    automation::Hwnd hWnd() const { return m_hwnd; }

    // The main window's own state.
    std::shared_ptr<automation::Shell> ShellApp;
    std::shared_ptr<automation::ShellWindows> ShellWindows;
    int TopMost = 0;
    int TopMostWanted = 0;
    bool AutoMin = false;
    std::vector<std::string> List1; // frame addresses collected by the frame expansion
    std::vector<std::string> List2; // handles AutoMinimize has already seen
    // The temporary favourite the frame expansion is waiting for; the clean-up spares it.
    std::string PendingFavorite;
    // Temporary favourites the expansion gave up waiting for; the clean-up deletes them
    // when they appear.
    std::vector<std::string> LateFavorites;

    // Procedures.
    void RefreshList();
    void ClrBM();
    void SavePosition();
    void ToggleTopMost();
    void SetTopMost(int state);
    void SuspendTopMost();
    void EndApp();
    // The menu arrays mSite and menuApp follow their tables.
    void syncSiteMenu();
    void syncAppMenu();
    // The array mLayout follows the saved layouts.
    void syncLayoutMenu();
    TwipsRect twipsGeometry() const;
    void setTwipsGeometry(const TwipsRect& rect);
    // Selects row i of the list (0: none), in the list and on screen.
    void selectRow(int i);

    // Handlers of the menu bar, the list and the timer.
    void menuTile_Click();
    void menuTile2_Click();
    void menuTile3_Click();
    void menuCascade_Click();
    void menuCascade2_Click();
    void menuMinAll_Click();
    void menuNorm_Click();
    void menuCloseAll_Click();
    void menuHidebar_Click();
    void menuAddressBar_Click();
    void menuEND_Click();
    void menuFrame_Click();
    void menuActivate_Click();
    void menuClose_Click();
    void menuIconExcept_Click();
    void menuCloseExcept_Click();
    void menuAddSite_Click();
    void menuCopy_Click();
    void fontp_Click();
    void menuCHGcolor_Click();
    void menuInfo_Click();
    void EverFront_Click();
    void menuAutoMin_Click();
    void menuAllRows_Click();
    void menuExportList_Click();
    void menuReopen_Click();
    void menuSaveLayout_Click();
    void mLayout_Click(int Index);
    void menuDelLayout_Click();
    void mSite_Click(int Index);
    void menuDelSite_Click();
    void menuApp_Click(int Index);
    void menuEditApp_Click();
    void menuSetColor_Click();
    void menuVersion_Click();
    void openHelp_Click();
    void Timer1_Timer();
    // The refresh timer's tick: the windows are read at once, and Timer1_Timer runs
    // when they have answered, or after a short while, without the window waiting.
    void startTick();
    void continueTick();
    void ListView1_MouseDown(Qt::MouseButton button, QPoint position);
    void ListView1_DblClick();

    // Procedures of the commands on web windows.
    void TileWebWindows();
    void CascadeWebWindows();
    void CloseAllWindows();
    void ShowAllBars();
    void CloseSelectedWindow();
    void CloseOtherWindows();
    void OpenSelectedAgain();
    void ExpandFrames();

    // Controls.
    QTreeWidget* ListView1 = nullptr;
    QMenu* Cmenu = nullptr;
    QAction* EverFront = nullptr;
    QAction* menuAutoMin = nullptr;
    QAction* menuAllRows = nullptr;
    QAction* menuReopen = nullptr;
    // The filter box above the list, shown while there is a filter.
    QWidget* FilterBar = nullptr;
    QLineEdit* FilterBox = nullptr;
    QLabel* FilterCount = nullptr;

    // Types text into the filter box, opening it; "" empties and closes it.
    void setFilterText(const QString& text);
    QString filterText() const;
    // The numbers of the rows the list shows, ascending: every row when unfiltered.
    std::vector<int> shownRows() const;
    // A menu item by its name: "menuTile3", "mSite(2)"; nullptr when there is none.
    QAction* menuItem(const QString& name) const;
    QMenu* submenu(const QString& name) const;
    // The name of the menu that popped up since the last call, "" when none did.
    QString takePopup();

    // The dialogs, made on first use; nullptr until then or after the user closed one.
    Form2* form2IfLoaded() const;
    Form3* form3IfLoaded() const;
    Form4* form4IfLoaded() const;
    Form5* form5IfLoaded() const;
    Form6* form6IfLoaded() const;
    Form7* form7IfLoaded() const;
    Form2& form2();
    Form3& form3();
    Form4& form4();
    Form5& form5();
    Form6& form6();
    Form7& form7();

Q_SIGNALS:
    // RefreshList has rebuilt and shown the list (its rows may be the same as before).
    void listRebuilt();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // automation::HostWindow
    std::uint64_t nativeId() const override;
    std::string caption() const override;
    bool isShown() const override;
    automation::WindowState state() const override;
    void setState(automation::WindowState state) override;
    automation::Rect frameBounds() const override;
    void bringForward() override;

    void buildMenus();
    void syncMenuArray(std::vector<QAction*>& items, const QString& arrayName, QAction* before,
                       QMenu* menu, const std::vector<std::string>& captions,
                       const std::function<void(int)>& onChoose);
    void setupColumns();
    void showList();
    TwipsRect readPosition() const;
    void Form_Resize();
    void placeOnceFramed();
    void onUserSelection();
    void onFilterEdited();
    void applyFilter();
    // A close through the program is remembered for "閉じたウィンドウを開き直す".
    void rememberClosed(ClosingGroup& group);
    void syncReopen();

    automation::Platform& m_platform;
    Module1& m_module;
    std::function<void()> m_onEnd;
    WebWindowList m_list;
    ClosedWindows m_closed;
    Layouts m_layouts;
    automation::Hwnd m_hwnd = 0;
    std::unique_ptr<automation::Timer> m_timer1;
    // While a tick waits for the windows to be read: the short timer that looks at the
    // answers, and when the tick began.
    std::unique_ptr<automation::Timer> m_tickWait;
    std::int64_t m_tickStart = 0;
    bool m_loaded = false;
    bool m_ended = false;
    bool m_showingList = false;
    std::optional<TwipsRect> m_lastSaved;
    // The start-up position, until the window manager's frame is known.
    std::optional<TwipsRect> m_placement;
    QString m_popup;
    std::vector<QAction*> m_mSite;
    std::vector<QAction*> m_menuApp;
    std::vector<QAction*> m_mLayout;
    QPointer<Form2> m_form2;
    QPointer<Form3> m_form3;
    QPointer<Form4> m_form4;
    QPointer<Form5> m_form5;
    QPointer<Form6> m_form6;
    QPointer<Form7> m_form7;
};

} // namespace tabulon
