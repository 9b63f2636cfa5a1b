#pragma once

#include <QStringList>
#include <iosfwd>

namespace tabulon {

// Whether the arguments ask for the command line rather than the window: any argument
// does ("tabulon" alone starts or raises the window), except the session manager's
// "-session ID" when it restores the window.
bool wantsCommandLine(int argc, char** argv);

// Runs the command line (the program's arguments, the program's name first): --help,
// --version, the browser bridge's set-up, and the commands that drive the running
// instance over the session bus, starting one first when none runs. Needs a
// QCoreApplication. Returns the exit status: 0 done, 1 failed (one line on err), 2 the
// arguments are wrong (what is wrong and the usage on err).
int runCommandLine(const QStringList& arguments, std::ostream& out, std::ostream& err);

} // namespace tabulon
