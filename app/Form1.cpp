#include "app/Form1.h"

#include "automation/Guarded.h"
#include "core/Twips.h"
#include "winlist/Favorites.h"
#include "winlist/ListRebuild.h"
#include "winlist/RowFilter.h"

#include <QAction>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QScopedValueRollback>
#include <QTreeWidget>
#include <cmath>

namespace tabulon {

using automation::guarded;
using automation::skipOnFailure;

namespace {

QString qs(const std::string& text)
{
    return QString::fromStdString(text);
}

struct ColumnSpec
{
    const char* caption;
    int widthTwips;
};

constexpr ColumnSpec kColumns[] = {{"Name", 2500}, {"st", 400},  {"高さ", 600},
                                   {"幅", 600},    {"frm", 500}, {"URL", 6000}};

constexpr TwipsRect kDefaultPosition{105, 600, 6540, 1830};

} // namespace

Form1::Form1(automation::Platform& platform, Module1& module, std::function<void()> onEnd)
    : m_platform(platform), m_module(module), m_onEnd(std::move(onEnd)),
      m_closed(platform.files, module.files().folder),
      m_layouts(platform.files, module.files().folder)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QString::fromUtf8(kCaption));

    // The client area: the filter box on top while there is a filter, the list below.
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("Client"));
    auto* column = new QVBoxLayout(client);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    FilterBar = new QWidget(client);
    FilterBar->setObjectName(QStringLiteral("FilterBar"));
    auto* bar = new QHBoxLayout(FilterBar);
    bar->setContentsMargins(2, 2, 4, 2);
    FilterBox = new QLineEdit(FilterBar);
    FilterBox->setObjectName(QStringLiteral("FilterBox"));
    FilterBox->setPlaceholderText(QStringLiteral("絞り込み（名前・URL）"));
    FilterBox->setClearButtonEnabled(true);
    FilterBox->installEventFilter(this);
    FilterCount = new QLabel(FilterBar);
    FilterCount->setObjectName(QStringLiteral("FilterCount"));
    FilterCount->setTextFormat(Qt::PlainText);
    bar->addWidget(FilterBox, 1);
    bar->addWidget(FilterCount);
    FilterBar->hide();
    column->addWidget(FilterBar);
    connect(FilterBox, &QLineEdit::textChanged, this,
            [this] { guarded("FilterBox_Change", [this] { onFilterEdited(); }); });

    ListView1 = new QTreeWidget(client);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setRootIsDecorated(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setAllColumnsShowFocus(true);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setContextMenuPolicy(Qt::NoContextMenu);
    ListView1->viewport()->installEventFilter(this);
    ListView1->installEventFilter(this);
    column->addWidget(ListView1, 1);
    setCentralWidget(client);
    connect(ListView1, &QTreeWidget::itemSelectionChanged, this,
            [this] { guarded("onUserSelection", [this] { onUserSelection(); }); });

    buildMenus();
}

Form1::~Form1()
{
    m_timer1.reset();
    m_tickWait.reset();
    if (m_hwnd != 0)
        m_platform.windows.detachMainWindow();
}

// ---- start-up ----

void Form1::Form_Load()
{
    AutoMin = false;
    List2.clear();

    ShellApp = m_platform.objects.createShell();
    ShellWindows = ShellApp->windows();

    std::string desktop;
    {
        const auto scripting = m_platform.objects.createScriptingShell();
        desktop = scripting->SpecialFolders("Desktop");
        m_module.MyDocPath = scripting->SpecialFolders("MyDocuments");
    }
    m_module.WinDir = guessWinDir(desktop);
    // Only "1" turns it on: a missing or damaged setting keeps the 20-row limit.
    m_list.setAllRows(m_module.ReadIni("Option", "AllRows") == "1");
    menuAllRows->setChecked(m_list.allRows());

    m_closed.load();
    syncReopen();
    m_layouts.load();
    syncLayoutMenu();

    m_module.LoadSiteList();
    syncSiteMenu();
    m_module.LoadAppList();
    syncAppMenu();

    m_hwnd = m_platform.windows.attachMainWindow(*this);
    TopMost = 0;
    EverFront_Click();

    setupColumns();
    RefreshList();

    const TwipsRect position = readPosition();
    show();
    m_placement = position;
    setTwipsGeometry(position);
    placeOnceFramed();
    m_loaded = true;

    m_timer1 = m_platform.clock.startTimer(
        kRefreshPeriodMs, [this] { guarded("Timer1_Timer", [this] { startTick(); }); });
}

TwipsRect Form1::readPosition() const
{
    const auto value = [this](const char* key) {
        return toLong(leadingNumber(m_module.ReadIni("Wposition", key)));
    };
    TwipsRect position{value("x1"), value("y1"), value("x2"), value("y2")};
    // An unusable stored size brings back all four defaults; a position off the
    // screen is used as it is.
    if (position.Width < 30 || position.Height <= 30)
        position = kDefaultPosition;
    return position;
}

void Form1::setupColumns()
{
    const Twips twips(m_platform.windows.screen());
    ListView1->clear();
    QStringList captions;
    for (const ColumnSpec& column : kColumns)
        captions << QString::fromUtf8(column.caption);
    ListView1->setColumnCount(static_cast<int>(captions.size()));
    ListView1->setHeaderLabels(captions);
    for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i)
        ListView1->setColumnWidth(i, twips.x(kColumns[i].widthTwips));
}

// ---- geometry ----

TwipsRect Form1::twipsGeometry() const
{
    const Twips twips(m_platform.windows.screen());
    const QRect frame = frameGeometry();
    return TwipsRect{twips.toTwipsX(frame.x()), twips.toTwipsY(frame.y()),
                     twips.toTwipsX(frame.width()), twips.toTwipsY(frame.height())};
}

void Form1::setTwipsGeometry(const TwipsRect& rect)
{
    const Twips twips(m_platform.windows.screen());
    // A stored position far off any screen is kept within what a window system takes.
    const auto pixels = [](int value) { return std::clamp(value, -1000000, 1000000); };
    // The stored size is the outer one; the window manager's frame comes off it.
    const int frameWidth = frameGeometry().width() - width();
    const int frameHeight = frameGeometry().height() - height();
    move(pixels(twips.x(rect.Left)), pixels(twips.y(rect.Top)));
    resize(std::max(1, pixels(twips.x(rect.Width)) - frameWidth),
           std::max(1, pixels(twips.y(rect.Height)) - frameHeight));
}

// A window manager frames the window only after it is shown, so the stored outer
// size is applied once more when the frame is first known.
void Form1::placeOnceFramed()
{
    if (!m_placement || frameGeometry().size() == size())
        return;
    const TwipsRect position = *std::exchange(m_placement, std::nullopt);
    setTwipsGeometry(position);
}

void Form1::Form_Resize()
{
    // The list fills the client area by itself; start-up places the window before
    // its position counts.
    if (!m_loaded || m_ended)
        return;
    SavePosition();
}

void Form1::SavePosition()
{
    const TwipsRect now = twipsGeometry();
    if (m_lastSaved && *m_lastSaved == now)
        return;
    // A minimised or maximised window, or one whose corner is within 30 twips of the
    // screen's top or left edge, never changes the stored position.
    if (state() != automation::WindowState::Normal || now.Left < 30 || now.Top < 30)
        return;
    // A position that could not be stored is tried again on the next move or tick.
    bool stored = m_module.WriteIni("Wposition", "x1", std::to_string(now.Left));
    stored = m_module.WriteIni("Wposition", "y1", std::to_string(now.Top)) && stored;
    stored = m_module.WriteIni("Wposition", "x2", std::to_string(now.Width)) && stored;
    stored = m_module.WriteIni("Wposition", "y2", std::to_string(now.Height)) && stored;
    if (stored)
        m_lastSaved = now;
}

// ---- always on top ----

void Form1::EverFront_Click()
{
    TopMostWanted = 1 - TopMost;
    ToggleTopMost();
}

void Form1::ToggleTopMost()
{
    TopMost = 1 - TopMost;
    EverFront->setChecked(TopMost != 0);
    SetTopMost(TopMost);
}

void Form1::SetTopMost(int state)
{
    m_platform.windows.SetWindowPos(m_hwnd, state - 2, 0, 0, 0, 0,
                                    automation::SWP_NOSIZE | automation::SWP_NOMOVE);
}

void Form1::SuspendTopMost()
{
    TopMostWanted = TopMost;
    if (TopMost == 1)
        ToggleTopMost();
}

// ---- the list ----

void Form1::RefreshList()
{
    if (ShellWindows)
        rebuildRows(m_list, *ShellWindows, m_module);
    else
        m_list.clearRows();
    showList();
    ClrBM();
    if (TopMost != TopMostWanted)
        ToggleTopMost();
    emit listRebuilt();
}

void Form1::ClrBM()
{
    std::string folder;
    skipOnFailure(
        [&] { folder = m_platform.objects.createScriptingShell()->SpecialFolders("Favorites"); });
    cleanFavorites(m_platform.files, folder, PendingFavorite);
    removeLateFavorites(m_platform.files, LateFavorites);
}

// Shows the rows. Items whose texts did not change are kept, so the list neither
// flickers nor loses its scroll position when a rebuild finds the same windows.
void Form1::showList()
{
    {
        // Set back however this ends: left on, it would make the list deaf to the user.
        const QScopedValueRollback showing(m_showingList, true);
        const auto& rows = m_list.rows();
        const int count = static_cast<int>(rows.size());
        while (ListView1->topLevelItemCount() > count)
            delete ListView1->takeTopLevelItem(ListView1->topLevelItemCount() - 1);
        for (int i = 0; i < count; ++i) {
            QTreeWidgetItem* item = ListView1->topLevelItem(i);
            if (!item)
                item = new QTreeWidgetItem(ListView1);
            const ListRow& row = rows[static_cast<std::size_t>(i)];
            const auto setText = [item](int column, const std::string& text) {
                const QString value = qs(text);
                if (item->text(column) != value)
                    item->setText(column, value);
            };
            setText(0, row.text);
            for (int c = 0; c < 5; ++c)
                setText(c + 1, row.sub[static_cast<std::size_t>(c)]);
        }
        applyFilter();
    }
    selectRow(m_list.selected());
}

// ---- the filter ----

void Form1::setFilterText(const QString& text)
{
    if (!text.isEmpty())
        FilterBar->show();
    // An unchanged text emits nothing; the box still closes when it is empty.
    if (FilterBox->text() == text)
        onFilterEdited();
    else
        FilterBox->setText(text);
}

QString Form1::filterText() const
{
    return FilterBox->text();
}

std::vector<int> Form1::shownRows() const
{
    std::vector<int> shown;
    for (int i = 1; i <= m_list.count(); ++i) {
        const QTreeWidgetItem* item = ListView1->topLevelItem(i - 1);
        if (item && !item->isHidden())
            shown.push_back(i);
    }
    return shown;
}

void Form1::onFilterEdited()
{
    if (FilterBox->text().isEmpty() && FilterBar->isVisible()) {
        const bool hadFocus = FilterBox->hasFocus();
        FilterBar->hide();
        if (hadFocus)
            ListView1->setFocus();
    }
    const QScopedValueRollback showing(m_showingList, true);
    applyFilter();
}

// Hides the rows the filter leaves out and tells the list which rows the commands over
// every web window now reach.
void Form1::applyFilter()
{
    const RowFilter filter(FilterBox->text());
    const std::vector<int> shown = filter.shownRows(m_list);
    std::vector<bool> visible(static_cast<std::size_t>(m_list.count()) + 1, false);
    for (const int i : shown)
        visible[static_cast<std::size_t>(i)] = true;
    for (int i = 1; i <= m_list.count(); ++i) {
        QTreeWidgetItem* item = ListView1->topLevelItem(i - 1);
        if (item && item->isHidden() == visible[static_cast<std::size_t>(i)])
            item->setHidden(!visible[static_cast<std::size_t>(i)]);
    }
    FilterCount->setText(QStringLiteral("%1 / %2").arg(shown.size()).arg(m_list.count()));
    m_list.setShownRows(filter.active() ? std::optional(shown) : std::nullopt);
}

void Form1::selectRow(int i)
{
    m_list.select(i);
    const QScopedValueRollback showing(m_showingList, true);
    ListView1->clearSelection();
    if (QTreeWidgetItem* item =
            m_list.selected() ? ListView1->topLevelItem(m_list.selected() - 1) : nullptr) {
        ListView1->setCurrentItem(item);
        item->setSelected(true);
    }
}

void Form1::onUserSelection()
{
    if (m_showingList)
        return;
    const auto items = ListView1->selectedItems();
    m_list.select(items.isEmpty() ? 0 : ListView1->indexOfTopLevelItem(items.first()) + 1);
}

void Form1::ListView1_MouseDown(Qt::MouseButton button, QPoint position)
{
    if (button != Qt::RightButton)
        return;
    m_popup = QStringLiteral("Cmenu");
    Cmenu->popup(ListView1->viewport()->mapToGlobal(position));
}

QString Form1::takePopup()
{
    return std::exchange(m_popup, QString());
}

namespace {

// A key that types a character: the filter takes it. Shortcuts and editing keys are
// the list's.
bool typesText(const QKeyEvent& key)
{
    const Qt::KeyboardModifiers held =
        key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    const QString text = key.text();
    return held == Qt::NoModifier && !text.isEmpty() && text.at(0).isPrint() &&
           key.key() != Qt::Key_Space;
}

} // namespace

bool Form1::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ListView1 && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (typesText(*key)) {
            guarded("ListView1_KeyPress", [&] {
                setFilterText(FilterBox->text() + key->text());
                FilterBox->setFocus();
            });
            return true;
        }
    } else if (watched == ListView1 && event->type() == QEvent::InputMethod) {
        // Japanese is typed through an input method: what it commits opens the box too.
        const QString committed = static_cast<QInputMethodEvent*>(event)->commitString();
        if (!committed.isEmpty()) {
            guarded("ListView1_InputMethod", [&] {
                setFilterText(FilterBox->text() + committed);
                FilterBox->setFocus();
            });
            return true;
        }
    } else if (watched == FilterBox && event->type() == QEvent::KeyPress) {
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            guarded("FilterBox_Escape", [this] { setFilterText(QString()); });
            return true;
        }
    } else if (watched == ListView1->viewport()) {
        if (event->type() == QEvent::MouseButtonPress) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            guarded("ListView1_MouseDown",
                    [&] { ListView1_MouseDown(mouse->button(), mouse->position().toPoint()); });
        } else if (event->type() == QEvent::MouseButtonDblClick) {
            // The row under the pointer is selected by the press before it.
            guarded("ListView1_DblClick", [this] { ListView1_DblClick(); });
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---- exit ----

void Form1::menuEND_Click()
{
    EndApp();
}

void Form1::EndApp()
{
    if (m_ended)
        return;
    m_ended = true;
    m_timer1.reset();
    m_tickWait.reset();
    m_module.CurIE.reset();
    m_list.releaseAll();
    // The program ends whatever the clean-up runs into.
    guarded("ClrBM", [this] { ClrBM(); });
    if (m_onEnd)
        m_onEnd();
}

void Form1::closeEvent(QCloseEvent* event)
{
    // The close box ends the program the same way as "終了".
    guarded("Form_Unload", [this] { EndApp(); });
    event->accept();
}

void Form1::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    guarded("Form_Resize", [this] {
        placeOnceFramed();
        Form_Resize();
    });
}

void Form1::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    placeOnceFramed();
}

void Form1::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        guarded("Form_Resize", [this] { Form_Resize(); });
}

// ---- the main window as the window manager sees it ----

std::uint64_t Form1::nativeId() const
{
    return static_cast<std::uint64_t>(winId());
}

std::string Form1::caption() const
{
    return windowTitle().toStdString();
}

bool Form1::isShown() const
{
    return isVisible();
}

automation::WindowState Form1::state() const
{
    const Qt::WindowStates states = windowState();
    if (states & Qt::WindowMinimized)
        return automation::WindowState::Minimized;
    if (states & (Qt::WindowMaximized | Qt::WindowFullScreen))
        return automation::WindowState::Maximized;
    return automation::WindowState::Normal;
}

void Form1::setState(automation::WindowState state)
{
    switch (state) {
    case automation::WindowState::Minimized:
        setWindowState(windowState() | Qt::WindowMinimized);
        break;
    case automation::WindowState::Maximized:
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
        break;
    case automation::WindowState::Normal:
        // Back from minimised to what it was before; otherwise to the normal state.
        if (windowState() & Qt::WindowMinimized)
            setWindowState(windowState() & ~Qt::WindowMinimized);
        else
            setWindowState(windowState() & ~(Qt::WindowMaximized | Qt::WindowFullScreen));
        break;
    }
}

automation::Rect Form1::frameBounds() const
{
    const QRect frame = frameGeometry();
    return automation::Rect{frame.x(), frame.y(), frame.width(), frame.height()};
}

void Form1::bringForward()
{
    raise();
    activateWindow();
}

} // namespace tabulon
