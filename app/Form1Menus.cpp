// The main window's menu bar: built from the menu tree, each item bound to its
// handler by name, and the site and application arrays kept in step with their tables.
#include "app/Form1.h"
#include "app/MenuTree.h"
#include "automation/Guarded.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <map>

namespace tabulon {

using automation::guarded;

namespace {

const char* const kCaptionProperty = "tabulonCaption";

QString qs(const std::string& text)
{
    return QString::fromStdString(text);
}

// Captions are shown as they are: an ampersand in a site's name is a character, never
// an access key (no item has one). A name from a damaged list can be a megabyte long;
// the menu shows its beginning.
QString menuText(const std::string& caption)
{
    constexpr qsizetype kShown = 200;
    QString text = qs(caption);
    if (text.size() > kShown)
        text = text.left(kShown) + QChar(0x2026);
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

void setCaption(QAction* action, const std::string& caption)
{
    action->setText(menuText(caption));
    action->setProperty(kCaptionProperty, qs(caption));
}

using Handler = void (Form1::*)();

const std::map<std::string, Handler>& handlers()
{
    static const std::map<std::string, Handler> table = {
        {"menuTile", &Form1::menuTile_Click},
        {"menuTile2", &Form1::menuTile2_Click},
        {"menuTile3", &Form1::menuTile3_Click},
        {"menuCascade", &Form1::menuCascade_Click},
        {"menuCascade2", &Form1::menuCascade2_Click},
        {"menuMinAll", &Form1::menuMinAll_Click},
        {"menuNorm", &Form1::menuNorm_Click},
        {"menuCloseAll", &Form1::menuCloseAll_Click},
        {"menuHidebar", &Form1::menuHidebar_Click},
        {"menuAddressBar", &Form1::menuAddressBar_Click},
        {"menuEND", &Form1::menuEND_Click},
        {"menuFrame", &Form1::menuFrame_Click},
        {"menuActivate", &Form1::menuActivate_Click},
        {"menuClose", &Form1::menuClose_Click},
        {"menuIconExcept", &Form1::menuIconExcept_Click},
        {"menuCloseExcept", &Form1::menuCloseExcept_Click},
        {"menuAddSite", &Form1::menuAddSite_Click},
        {"menuCopy", &Form1::menuCopy_Click},
        {"fontp", &Form1::fontp_Click},
        {"menuCHGcolor", &Form1::menuCHGcolor_Click},
        {"menuInfo", &Form1::menuInfo_Click},
        {"EverFront", &Form1::EverFront_Click},
        {"menuAutoMin", &Form1::menuAutoMin_Click},
        {"menuAllRows", &Form1::menuAllRows_Click},
        {"menuExportList", &Form1::menuExportList_Click},
        {"menuReopen", &Form1::menuReopen_Click},
        {"menuSaveLayout", &Form1::menuSaveLayout_Click},
        {"menuDelLayout", &Form1::menuDelLayout_Click},
        {"menuDelSite", &Form1::menuDelSite_Click},
        {"menuEditApp", &Form1::menuEditApp_Click},
        {"menuSetColor", &Form1::menuSetColor_Click},
        {"menuVersion", &Form1::menuVersion_Click},
        {"openHelp", &Form1::openHelp_Click},
    };
    return table;
}

} // namespace

void Form1::buildMenus()
{
    const std::function<void(QMenu*, const std::vector<MenuSpec>&)> addItems =
        [&](QMenu* menu, const std::vector<MenuSpec>& items) {
            for (const MenuSpec& item : items) {
                if (item.submenu) {
                    QMenu* sub = menu->addMenu(menuText(item.caption));
                    sub->setObjectName(qs(item.name));
                    sub->menuAction()->setObjectName(qs(item.name));
                    sub->menuAction()->setProperty(kCaptionProperty, qs(item.caption));
                    addItems(sub, item.items);
                } else if (item.separator()) {
                    QAction* line = menu->addSeparator();
                    line->setObjectName(qs(item.name));
                } else if (item.name == "mSite" || item.name == "menuApp" ||
                           item.name == "mLayout") {
                    // The arrays are made by syncSiteMenu and syncAppMenu.
                } else {
                    QAction* action = menu->addAction(QString());
                    setCaption(action, item.caption);
                    action->setObjectName(qs(item.name));
                    action->setCheckable(item.checkable);
                    const Handler handler = handlers().at(item.name);
                    connect(action, &QAction::triggered, this,
                            [this, handler, what = item.name + "_Click"] {
                                guarded(what, [this, handler] { (this->*handler)(); });
                            });
                }
            }
        };
    for (const MenuSpec& top : mainMenuTree()) {
        QMenu* menu = menuBar()->addMenu(menuText(top.caption));
        menu->setObjectName(qs(top.name));
        menu->menuAction()->setObjectName(qs(top.name));
        menu->menuAction()->setProperty(kCaptionProperty, qs(top.caption));
        addItems(menu, top.items);
    }
    Cmenu = submenu(QStringLiteral("Cmenu"));
    EverFront = menuItem(QStringLiteral("EverFront"));
    menuAutoMin = menuItem(QStringLiteral("menuAutoMin"));
    menuAllRows = menuItem(QStringLiteral("menuAllRows"));
    menuReopen = menuItem(QStringLiteral("menuReopen"));
    menuReopen->setEnabled(false);
    syncSiteMenu();
    syncAppMenu();
    syncLayoutMenu();
}

QAction* Form1::menuItem(const QString& name) const
{
    return findChild<QAction*>(name);
}

QMenu* Form1::submenu(const QString& name) const
{
    return findChild<QMenu*>(name);
}

// Makes the array's items 0 to captions.size() - 1, the new ones directly after the
// highest existing one (before the separator), and gives them their captions.
void Form1::syncMenuArray(std::vector<QAction*>& items, const QString& arrayName, QAction* before,
                          QMenu* menu, const std::vector<std::string>& captions,
                          const std::function<void(int)>& onChoose)
{
    while (items.size() > std::max<std::size_t>(1, captions.size())) {
        delete items.back();
        items.pop_back();
    }
    while (items.size() < std::max<std::size_t>(1, captions.size())) {
        const int index = static_cast<int>(items.size());
        auto* action = new QAction(menu);
        action->setObjectName(QStringLiteral("%1(%2)").arg(arrayName).arg(index));
        menu->insertAction(before, action);
        connect(action, &QAction::triggered, this,
                [onChoose, index, what = arrayName.toStdString() + "_Click"] {
                    guarded(what, [&] { onChoose(index); });
                });
        items.push_back(action);
    }
    for (std::size_t i = 0; i < captions.size(); ++i)
        setCaption(items[i], captions[i]);
}

void Form1::syncSiteMenu()
{
    std::vector<std::string> names;
    for (int i = 0; i <= m_module.SiteLast && i < kSiteSlots; ++i)
        names.push_back(m_module.SiteList[static_cast<std::size_t>(i)].Name);
    if (names.empty())
        names.emplace_back("天気予報");
    syncMenuArray(m_mSite, QStringLiteral("mSite"), menuItem(QStringLiteral("menuline1")),
                  submenu(QStringLiteral("menuSite")), names, [this](int i) { mSite_Click(i); });
}

// With no layout saved, the array's one item says so, greyed out, as is the deletion.
void Form1::syncLayoutMenu()
{
    std::vector<std::string> names = m_layouts.names();
    const bool none = names.empty();
    if (none)
        names.emplace_back("（なし）");
    syncMenuArray(m_mLayout, QStringLiteral("mLayout"), menuItem(QStringLiteral("menuline24")),
                  submenu(QStringLiteral("menuLayout")), names,
                  [this](int i) { mLayout_Click(i); });
    m_mLayout.front()->setEnabled(!none);
    menuItem(QStringLiteral("menuDelLayout"))->setEnabled(!none);
}

void Form1::syncAppMenu()
{
    std::vector<std::string> names;
    for (int i = 0; i <= m_module.AppLast && i < kAppSlots; ++i)
        names.push_back(m_module.AppList[static_cast<std::size_t>(i)].Name);
    if (names.empty())
        names.emplace_back("メモ帳");
    syncMenuArray(m_menuApp, QStringLiteral("menuApp"), menuItem(QStringLiteral("menuline16")),
                  submenu(QStringLiteral("menuOPenApp")), names,
                  [this](int i) { menuApp_Click(i); });
}

} // namespace tabulon
