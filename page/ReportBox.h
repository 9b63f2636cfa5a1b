#pragma once

#include <functional>
#include <string>

class QPlainTextEdit;

namespace tabulon {

// Puts a report (lines ended with CR LF, or CR alone) into the box, a few hundred lines
// at a time with between() called after each part, so that a report of tens of
// thousands of lines never holds the windows for long. The box shows what it showed
// before until the whole report is in, then the report at once, from its top.
void fillInParts(QPlainTextEdit& box, const std::string& report,
                 const std::function<void()>& between);

} // namespace tabulon
