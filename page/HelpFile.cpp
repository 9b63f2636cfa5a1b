#include "page/HelpFile.h"

#include "core/Module1.h"

namespace tabulon {

void OpenHelpFile(Module1& module)
{
    automation::Platform& platform = module.platform();
    const std::string path = module.files().helpPath();
    if (!platform.files.isFile(path))
        return;
    platform.help.HtmlHelp(path, kHelpTopic);
}

} // namespace tabulon
