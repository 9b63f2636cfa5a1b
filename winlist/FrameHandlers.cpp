// "子フレームを展開": opening every frame of the selected page in a window of its own.
#include "app/Form1.h"
#include "winlist/FrameExpansion.h"

namespace tabulon {

void Form1::menuFrame_Click()
{
    // While an expansion waits for its favourite, events run: a second one started then
    // would pick the same free name and read the first one's file.
    if (!PendingFavorite.empty())
        return;
    if (webWindows().selected() > 0)
        ExpandFrames();
}

void Form1::ExpandFrames()
{
    FavoriteWait wait{PendingFavorite, LateFavorites, [this] { return hasEnded(); }};
    FrameExpansion expansion{m_platform, m_module, m_list, List1, wait, kCaption};
    tabulon::ExpandFrames(expansion);
}

} // namespace tabulon
