#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace automation {

// Splits a command line into arguments the way a Windows program's command line is
// split: blanks and tabs separate arguments; double quotes group blanks into one
// argument and are removed; 2n backslashes before a quote become n backslashes and
// the quote acts; 2n+1 backslashes before a quote become n backslashes and a literal
// quote; other backslashes are kept as they are.
std::vector<std::string> splitCommandLine(std::string_view commandLine);

// The program and its arguments from a command line. An unquoted program path that
// holds blanks is found as Windows finds it: the shortest run of the line up to a
// blank (or the whole line) that names a program is the program, and the rest is
// split into arguments. Otherwise the line is split as splitCommandLine does.
std::vector<std::string>
programCommandLine(std::string_view commandLine,
                   const std::function<bool(const std::string&)>& isProgram);

// Whether path names an executable ordinary file.
bool isProgramFile(const std::string& path);

// Starts a program from an argument vector (never through a shell),
// in workingDir when it is not empty, detached: the child is reaped at once and the
// program never waits for it. False when it could not be started (no such program,
// not executable, an empty argument vector).
bool spawnDetached(const std::vector<std::string>& argv, const std::string& workingDir);

} // namespace automation
