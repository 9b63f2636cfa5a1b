#pragma once

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

// Starts a program with posix_spawn from an argument vector (never through a shell),
// in workingDir when it is not empty, detached: the child is reaped at once and the
// program never waits for it. False when it could not be started (no such program,
// not executable, an empty argument vector).
bool spawnDetached(const std::vector<std::string>& argv, const std::string& workingDir);

} // namespace automation
