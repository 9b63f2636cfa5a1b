// The main window's commands on the registered sites and applications.
#include "app/Form1.h"

namespace tabulon {

void Form1::mSite_Click(int) {}
void Form1::menuAddSite_Click() {}
void Form1::menuDelSite_Click() {}
void Form1::menuApp_Click(int) {}
void Form1::menuEditApp_Click() {}

} // namespace tabulon
