#pragma once

#include <optional>
#include <string>

namespace tabulon {

class Module1;

// The name a report is saved under: the file name part of the chosen name lower-
// cased (the folders kept as chosen, so the file lands where the user pointed), and
// ".txt" appended unless it then ends so.
std::string reportFileName(const std::string& chosen);

// The bytes of a saved report: the text with every line end made CR LF, followed by
// one more CR LF, in CP932.
std::string reportFileBytes(const std::string& text);

// The Save dialog on the main window's common dialog, starting in the documents
// folder: the chosen name, or nothing when the user cancels.
std::optional<std::string> ChooseSaveFile(Module1& module);

enum class ReportSave
{
    Saved,
    Cancelled, // the Save dialog, or the question before replacing a file
    Failed     // the file could not be written; a message said so
};

// "テキストに保存": asks for a name and writes the report there. A file that the
// name rule turned into another existing file is replaced only after a question.
ReportSave saveReport(Module1& module, const std::string& text);

} // namespace tabulon
