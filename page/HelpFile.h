#pragma once

namespace tabulon {

class Module1;

// The topic the help opens at.
inline constexpr const char* kHelpTopic = "introduction.html";

// Opens the program's help file (the executable's name with ".chm", in the program
// folder) at its introduction; does nothing when there is no such file.
void OpenHelpFile(Module1& module);

} // namespace tabulon
