#include "base/ProgramFiles.h"

namespace tabulon {

std::string joinPath(const std::string& folder, const std::string& name)
{
    if (folder.empty())
        return name;
    const char last = folder.back();
    if (last == '/' || last == '\\')
        return folder + name;
    const bool windowsStyle =
        folder.find('\\') != std::string::npos && folder.find('/') == std::string::npos;
    return folder + (windowsStyle ? "\\" : "/") + name;
}

} // namespace tabulon
