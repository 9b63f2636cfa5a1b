#include "page/ReportFile.h"

#include "base/Cp932.h"
#include "core/Module1.h"

namespace tabulon {

namespace {

const char* const kTitle = "テキストに保存";

} // namespace

std::string reportFileName(const std::string& chosen)
{
    std::string name = chosen;
    const std::size_t slash = name.find_last_of('/');
    const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
    for (std::size_t i = start; i < name.size(); ++i) {
        if (name[i] >= 'A' && name[i] <= 'Z')
            name[i] = static_cast<char>(name[i] - 'A' + 'a');
    }
    if (!name.ends_with(".txt"))
        name += ".txt";
    return name;
}

std::string reportFileBytes(const std::string& text)
{
    std::string lines;
    lines.reserve(text.size() + text.size() / 16 + 2);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            lines += "\r\n";
        } else if (text[i] == '\n') {
            lines += "\r\n";
        } else {
            lines += text[i];
        }
    }
    lines += "\r\n";
    return toCp932(lines);
}

std::optional<std::string> ChooseSaveFile(Module1& module)
{
    module.ComDialog1.InitDir = module.MyDocPath;
    if (!module.ComDialog1.ShowSave())
        return std::nullopt;
    return module.ComDialog1.FileName;
}

ReportSave saveReport(Module1& module, const std::string& text)
{
    const auto chosen = ChooseSaveFile(module);
    if (!chosen)
        return ReportSave::Cancelled;
    const std::string name = reportFileName(*chosen);
    automation::Platform& platform = module.platform();

    // The dialog asked about the name it gave; the name written may be another file.
    if (name != *chosen && platform.files.isFile(name) &&
        platform.messages.MsgBox(name + " は既に存在します。\n置き換えますか?", kTitle,
                                 automation::MsgBoxButtons::OKCancel) !=
            automation::MsgBoxAnswer::OK)
        return ReportSave::Cancelled;

    if (!platform.files.replaceFile(name, reportFileBytes(text))) {
        platform.messages.MsgBox(name + " に保存できませんでした。", kTitle,
                                 automation::MsgBoxButtons::OK);
        return ReportSave::Failed;
    }
    return ReportSave::Saved;
}

} // namespace tabulon
