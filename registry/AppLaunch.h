#pragma once

#include "automation/Types.h"

#include <optional>
#include <string>

namespace tabulon {

class Module1;

// Whether an entry starts as a program rather than being opened through the shell:
// its name's extension (after the last ".", or the whole name without one) is "exe"
// or "com" in any case. The path does not count.
bool startsAsProgram(const std::string& name);

// Opens a file or starts a program through the shell ("Open") in the program's own
// folder. Nothing is reported when it cannot be opened.
void ShellOpenFile(Module1& module, const std::string& path, automation::Hwnd owner);

// The Open dialog of ComDialog1 in the documents folder; nothing when the user cancels
// it (or chooses no file).
std::optional<std::string> ChooseOpenFile(Module1& module);

// Starts or opens application-list entry index; an index outside the list does nothing.
void openApp(Module1& module, int index, automation::Hwnd owner);

} // namespace tabulon
