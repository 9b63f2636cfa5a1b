#pragma once

#include "base/ProgramFiles.h"

#include <QString>

namespace tabulon {

// Where the program started from exePath keeps its files. A build or a portable copy
// keeps them beside the executable when that folder can be written; an installed copy
// (one with share/tabulon beside its bin folder) and a copy in a folder it cannot write
// keep them in $XDG_CONFIG_HOME/tabulon, made when missing, and an installed copy reads
// its help from share/tabulon.
ProgramFiles locateProgramFiles(const QString& exePath);

} // namespace tabulon
