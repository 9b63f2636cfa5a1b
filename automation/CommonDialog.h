#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace automation {

// A file chosen in a Save dialog that offers several kinds of file.
struct SaveChoice
{
    std::string fileName;
    int filter = 0; // the index of the kind chosen
};

// The common dialogs. Each returns nothing when the user cancels.
class CommonDialog
{
public:
    virtual ~CommonDialog() = default;

    // The colour dialog, starting from initial (0x00BBGGRR); the chosen colour.
    virtual std::optional<std::uint32_t> ShowColor(std::uint32_t initial) = 0;
    // The Open dialog, starting in initDir; the chosen file's full name.
    virtual std::optional<std::string> ShowOpen(const std::string& initDir) = 0;
    // The Save dialog, starting in initDir; it asks itself before an existing file is
    // replaced. The chosen file's full name.
    virtual std::optional<std::string> ShowSave(const std::string& initDir) = 0;
    // The Save dialog offering the kinds of file in filters ("CSV (*.csv)"), the first
    // one chosen at the start; the chosen file's full name and kind.
    virtual std::optional<SaveChoice> ShowSaveAs(const std::string& initDir,
                                                 const std::vector<std::string>& filters) = 0;
    // A small dialog asking for one line of text under the prompt; with choices, the
    // answer is one of them, picked from a list. The text, or nothing when cancelled.
    virtual std::optional<std::string> InputText(const std::string& title,
                                                 const std::string& prompt,
                                                 const std::vector<std::string>& choices) = 0;
};

enum class MsgBoxButtons
{
    OK,
    OKCancel
};
enum class MsgBoxAnswer
{
    OK,
    Cancel,
    Close
};

// Message boxes.
class MessageBox
{
public:
    virtual ~MessageBox() = default;

    // Shows the text and waits for the answer; Close when the box was closed without one.
    virtual MsgBoxAnswer MsgBox(const std::string& text, const std::string& title,
                                MsgBoxButtons buttons) = 0;
};

// Opens a compiled help file at a topic.
class HelpViewer
{
public:
    virtual ~HelpViewer() = default;

    virtual void HtmlHelp(const std::string& file, const std::string& topic) = 0;
};

} // namespace automation
