#include "registry/AppLaunch.h"

#include "base/AsciiText.h"
#include "core/Module1.h"

namespace tabulon {

bool startsAsProgram(const std::string& name)
{
    const std::size_t dot = name.rfind('.');
    const std::string ext = asciiLower(dot == std::string::npos ? name : name.substr(dot + 1));
    return ext == "exe" || ext == "com";
}

void ShellOpenFile(Module1& module, const std::string& path, automation::Hwnd owner)
{
    module.platform().launcher.ShellExecute(owner, "Open", path, "", module.files().folder,
                                            automation::SW_SHOWNORMAL);
}

std::optional<std::string> ChooseOpenFile(Module1& module)
{
    module.ComDialog1.InitDir = module.MyDocPath;
    if (!module.ComDialog1.ShowOpen())
        return std::nullopt;
    return module.ComDialog1.FileName;
}

void openApp(Module1& module, int index, automation::Hwnd owner)
{
    if (index < 0 || index > module.AppLast || index >= kAppSlots)
        return;
    const AppEntry& entry = module.AppList[static_cast<std::size_t>(index)];
    if (startsAsProgram(entry.Name))
        module.platform().launcher.StartProgram(entry.Path, automation::SW_SHOWNORMAL);
    else
        ShellOpenFile(module, entry.Path, owner);
}

} // namespace tabulon
