// The main window's commands on the selected page's appearance, the report, About and help.
#include "app/Form1.h"

namespace tabulon {

void Form1::fontp_Click() {}
void Form1::menuCHGcolor_Click() {}
void Form1::menuSetColor_Click() {}
void Form1::menuInfo_Click() {}
void Form1::menuVersion_Click() {}
void Form1::openHelp_Click() {}

} // namespace tabulon
