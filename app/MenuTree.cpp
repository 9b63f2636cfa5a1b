#include "app/MenuTree.h"

namespace tabulon {

namespace {

MenuSpec item(const char* name, const char* caption, bool checkable = false)
{
    return MenuSpec{name, caption, {}, false, checkable};
}

MenuSpec separator(const char* name)
{
    return MenuSpec{name, "-", {}, false, false};
}

MenuSpec submenu(const char* name, const char* caption, std::vector<MenuSpec> items)
{
    return MenuSpec{name, caption, std::move(items), true, false};
}

std::vector<MenuSpec> buildTree()
{
    return {
        submenu("menu1", "ファイル",
                {submenu("menuTileA", "タイル配置にする",
                         {item("menuTile", "垂直優先(全ウィンドウ）"),
                          item("menuTile2", "水平優先(全ウィンドウ）"),
                          item("menuTile3", "均等（Webウィンドウのみ）")}),
                 submenu("menuCasc", "カスケード配置にする",
                         {item("menuCascade", "全ウィンドウ"),
                          item("menuCascade2", "Webウィンドウのみ")}),
                 separator("menuline5"), item("menuMinAll", "全ウィンドウを最小化する"),
                 item("menuNorm", "全ウィンドウを通常サイズに戻す"),
                 item("menuCloseAll", "全ウィンドウを閉じる"),
                 item("menuReopen", "閉じたウィンドウを開き直す"), separator("menuline23"),
                 item("menuSaveLayout", "配置を保存..."),
                 submenu("menuLayout", "配置を復元",
                         {item("mLayout", "（なし）"), separator("menuline24"),
                          item("menuDelLayout", "配置の削除...")}),
                 separator("menuline22"), item("menuExportList", "一覧を保存..."),
                 separator("menuline20"), item("menuHidebar", "バーをできるだけ隠す"),
                 item("menuAddressBar", "バーをできるだけ表示する"), separator("menuLine3"),
                 item("menuEND", "終了")}),
        submenu("Cmenu", "個別操作",
                {item("menuFrame", "子フレームを展開"),
                 item("menuActivate", "このウィンドウを最前面にする"),
                 item("menuClose", "このウィンドウを閉じる"), separator("menuline18"),
                 item("menuIconExcept", "他のウィンドウを全て最小化する"),
                 item("menuCloseExcept", "他のウィンドウを全て閉じる"), separator("menuline9"),
                 item("menuAddSite", "このサイトを登録する"),
                 item("menuCopy", "このサイトをもうひとつ開く"), separator("menuline17"),
                 item("fontp", "フォントサイズを変更"), item("menuCHGcolor", "基本色を変更"),
                 separator("menulin10"), item("menuInfo", "詳細情報の表示")}),
        submenu("menuoption", "オプション",
                {item("EverFront", "常に前面に表示", true),
                 item("menuAutoMin", "AutoMinimizeを有効にする", true), separator("menuline19"),
                 submenu("menuSite", "サイトを開く",
                         {item("mSite", "天気予報"), separator("menuline1"),
                          item("menuDelSite", "登録サイトの編集")}),
                 submenu("menuOPenApp", "アプリケーション／ファイルを開く",
                         {item("menuApp", "メモ帳"), separator("menuline16"),
                          item("menuEditApp", "ファイルの登録・削除")}),
                 separator("menuline12"), item("menuSetColor", "基本色の設定"),
                 separator("menuline21"), item("menuAllRows", "21行目以降も操作する", true)}),
        submenu("menuHelp", "ヘルプ",
                {item("menuVersion", "CopyRight表示"), item("openHelp", "ヘルプを開く")}),
    };
}

bool contains(const std::vector<MenuSpec>& items, std::string_view name)
{
    for (const MenuSpec& item : items) {
        if (item.name == name || contains(item.items, name))
            return true;
    }
    return false;
}

} // namespace

const std::vector<MenuSpec>& mainMenuTree()
{
    static const std::vector<MenuSpec> tree = buildTree();
    return tree;
}

bool isMenuName(std::string_view name)
{
    return contains(mainMenuTree(), name);
}

} // namespace tabulon
