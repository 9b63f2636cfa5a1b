// "子フレームを展開": opening every frame of the selected page in a window of its own.
#include "app/Form1.h"

namespace tabulon {

void Form1::menuFrame_Click()
{
    if (webWindows().selected() > 0)
        ExpandFrames();
}

void Form1::ExpandFrames() {}

} // namespace tabulon
